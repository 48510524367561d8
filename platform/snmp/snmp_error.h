#pragma once
// The failure of a call on the SNMP agent: bad input or a socket that
// refused. It carries the description for the caller's error entry.

#include <stdexcept>

namespace corvane::platform {

class SnmpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace corvane::platform
