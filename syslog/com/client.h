#pragma once
// A host's side of creation by programmatic identifier: looks the identifier
// up in the registry file, loads the library it names and asks its class
// factory for the object. Hosts link this; the library itself does not.

#include <filesystem>
#include <string>

#include "syslog/com/com.h"

namespace ostrel {

// `registry_file` is the registry beside the installed library.
Status CreateObject(const std::filesystem::path& registry_file, const std::string& prog_id,
                    const Guid& iid, void** object, std::string* error = nullptr);

// The error information the library left on this thread (kFalse when none).
Status LastErrorInfo(const std::filesystem::path& library, ErrorInfo* info);

}  // namespace ostrel
