// Bytes from outside as the syslog component meets them: Config arguments
// and received text decoded by code page, then encoded back.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "syslog/config_request.h"
#include "syslog/os/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static constexpr int kCodePages[] = {0, 1252, 932, 936, 28591};
  const int code_page = kCodePages[data[0] % 5];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const ostrel::ConfigRequest request = ostrel::ParseConfigRequest(bytes);
  if (request.name.size() + request.value.size() > bytes.size()) __builtin_trap();
  (void)ostrel::ConfigBool(request.value);
  (void)ostrel::ConfigNumber(request.value);

  const auto wide = ostrel::os::BytesToWide(bytes, code_page);
  if (!wide) __builtin_trap();
  const auto back = ostrel::os::WideToBytes(*wide, code_page);
  if (!back) __builtin_trap();
  // Valid UTF-8 comes back byte for byte.
  if (code_page == 0 && back->find("\xef\xbf\xbd") == std::string::npos &&
      wide->find(u'\uFFFD') == std::u16string::npos && *back != bytes) {
    __builtin_trap();
  }
  return 0;
}
