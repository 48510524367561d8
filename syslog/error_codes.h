#pragma once
// The control's component codes and texts, and how a code becomes the error
// number and status a caller sees. Codes from 10000 up are Winsock codes.

#include <cstdint>
#include <string>
#include <string_view>

#include "syslog/com/com.h"

namespace ostrel {

namespace code {
constexpr int kOk = 0;
constexpr int kUnknownConfig = -1;
constexpr int kAlreadyActive = 104;
constexpr int kLocalPortWhileActive = 106;
constexpr int kLocalHostWhileActive = 107;
constexpr int kNotActive = 109;
constexpr int kMaxPacketSizeWhileActive = 112;
constexpr int kRemoteHostWithConnection = 114;
constexpr int kRemotePortWithConnection = 115;
constexpr int kRemotePortZero = 116;
constexpr int kUseConnectionWhileActive = 117;
constexpr int kOutOfMemory = 200;
constexpr int kQosInit = 307;
constexpr int kQosSetup = 308;
constexpr int kNoValidTime = 451;

constexpr int kWouldBlock = 10035;
constexpr int kNotSocket = 10038;
constexpr int kMessageSize = 10040;
constexpr int kConnectionReset = 10054;
constexpr int kNotInitialised = 10093;
}  // namespace code

namespace text {
inline constexpr char kUnknownConfig[] = "Unknown config setting.";
inline constexpr char kAlreadyActive[] = "UDPPort is already Active.";
inline constexpr char kLocalPortWhileActive[] =
    "You cannot change the LocalPort while the control is Active.";
inline constexpr char kLocalHostWhileActive[] =
    "Cannot change LocalHost while the control is Active.";
inline constexpr char kNotActive[] = "The control must be Active for this operation.";
inline constexpr char kMaxPacketSizeWhileActive[] =
    "Cannot change the MaxPacketSize while control is Active.";
inline constexpr char kRemoteHostWithConnection[] =
    "Cannot change RemoteHost when UseConnection is set and the control is Active.";
inline constexpr char kRemotePortWithConnection[] =
    "Cannot change RemotePort when UseConnection is set and the control is Active.";
inline constexpr char kRemotePortZero[] =
    "RemotePort can't be zero. Please specify a valid service port number.";
inline constexpr char kRemotePortZeroConnected[] =
    "RemotePort can't be zero when UseConnection is set. Please specify a valid service port "
    "number.";
inline constexpr char kUseConnectionWhileActive[] =
    "Cannot change UseConnection option while the control is Active.";
inline constexpr char kOutOfMemory[] = "Out of memory.";
inline constexpr char kNoValidTime[] = "Unable to acquire valid system time.";
inline constexpr char kRuntimeOnly[] = "Property is runtime only (no supported in design time).";
inline constexpr char kReadOnly[] = "Property is read-only.";
inline constexpr char kDestinationUnreachable[] = "Destination unreachable (service unavailable?).";
inline constexpr char kReceiveError[] = "Winsock error in recv()";
}  // namespace text

constexpr Status kStatusRuntimeOnly = static_cast<Status>(0x800A018A);  // error 394
constexpr Status kStatusReadOnly = static_cast<Status>(0x800A017F);     // error 383

// The Winsock text table's entry, or nothing for a code it does not hold.
std::string_view WinsockText(int code);
// "[code] text", or "[code] (no description available)".
std::string CodeDescription(int code);

constexpr int32_t ErrorNumber(int code) { return code <= 10000 ? code + 20001 : code + 15001; }
constexpr Status StatusForCode(int code) {
  return code == 0                    ? kOk
         : code == code::kOutOfMemory ? kControlOutOfMemory
                                      : StatusForErrorNumber(ErrorNumber(code));
}

}  // namespace ostrel
