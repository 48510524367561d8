#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>

#include "syslog/os/code_page.h"

namespace ostrel::os {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsUtf8(int code_page) { return code_page == 0 || code_page == 65001; }

std::string ConverterName(int code_page) {
  if (code_page == 20127) return "ASCII";
  if (code_page == 1200) return "UTF-16LE";
  if (code_page == 1201) return "UTF-16BE";
  if (code_page == 20932) return "EUC-JP";
  if (code_page == 50220) return "ISO-2022-JP";
  if (code_page == 51949) return "EUC-KR";
  if (code_page == 54936) return "GB18030";
  if (code_page == 20866) return "KOI8-R";
  if (code_page == 21866) return "KOI8-U";
  if (code_page >= 28591 && code_page <= 28606)
    return "ISO-8859-" + std::to_string(code_page - 28590);
  if (code_page > 0 && code_page < 2000) return "CP" + std::to_string(code_page);
  return {};
}

const char* NativeUtf16() {
  return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : handle_(to.empty() || from.empty() ? reinterpret_cast<iconv_t>(-1)
                                           : ::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `input`; on a unit that cannot be converted, appends
  // `replacement` and skips `skip(position)` bytes of input.
  template <typename Skip>
  std::string Run(const char* input, size_t length, std::string_view replacement, Skip skip) {
    std::string output;
    char buffer[1024];
    char* in = const_cast<char*>(input);
    size_t in_left = length;
    while (in_left > 0) {
      char* out = buffer;
      size_t out_left = sizeof buffer;
      const size_t result = ::iconv(handle_, &in, &in_left, &out, &out_left);
      output.append(buffer, out - buffer);
      if (result == static_cast<size_t>(-1) && errno != E2BIG) {
        output.append(replacement);
        const size_t step = std::min(in_left, skip(in, in_left));
        in += step;
        in_left -= step;
        ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* out = buffer;
    size_t out_left = sizeof buffer;
    ::iconv(handle_, nullptr, nullptr, &out, &out_left);
    output.append(buffer, out - buffer);
    return output;
  }

 private:
  iconv_t handle_;
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string WideToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;  // a lone surrogate
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf8ToWide(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int extra;
    char32_t c;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0)
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    else if ((lead & 0xF0) == 0xE0)
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    else if ((lead & 0xF8) == 0xF0)
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    else
      extra = -1, c = 0, minimum = 0;
    bool valid = extra > 0;
    int taken = 0;
    if (valid) {
      for (int k = 1; k <= extra; ++k) {
        if (i + k >= bytes.size()) {
          valid = false;
          break;
        }
        const auto next = static_cast<uint8_t>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) {
          valid = false;
          break;
        }
        c = (c << 6) | (next & 0x3F);
        taken = k;
      }
    }
    if (valid && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
    if (!valid) {
      out.push_back(kReplacement);
      i += 1 + taken;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += 1 + extra;
  }
  return out;
}

}  // namespace

bool IsSupportedCodePage(int code_page) {
  if (IsUtf8(code_page)) return true;
  Converter probe(ConverterName(code_page), NativeUtf16());
  if (!probe.ok()) return false;
  // Every setting, address and the Config text itself are ASCII; a code page
  // that does not keep ASCII as it is (UTF-16, say) would garble them all,
  // including the Config call that could undo it.
  const auto ascii = WideToBytes(u"CodePage=0 127.0.0.1", code_page);
  return ascii && *ascii == "CodePage=0 127.0.0.1";
}

std::optional<std::string> WideToBytes(std::u16string_view text, int code_page) {
  if (IsUtf8(code_page)) return WideToUtf8(text);
  Converter converter(ConverterName(code_page), NativeUtf16());
  if (!converter.ok()) return std::nullopt;
  // A unit the code page lacks becomes "?"; a surrogate pair counts as one.
  return converter.Run(reinterpret_cast<const char*>(text.data()), text.size() * 2, "?",
                       [](const char* at, size_t left) -> size_t {
                         char16_t unit;
                         std::memcpy(&unit, at, 2);
                         return unit >= 0xD800 && unit <= 0xDBFF && left >= 4 ? 4 : 2;
                       });
}

std::optional<std::u16string> BytesToWide(std::string_view bytes, int code_page) {
  if (IsUtf8(code_page)) return Utf8ToWide(bytes);
  Converter converter(NativeUtf16(), ConverterName(code_page));
  if (!converter.ok()) return std::nullopt;
  const char16_t replacement = kReplacement;
  const std::string raw = converter.Run(
      bytes.data(), bytes.size(), std::string_view(reinterpret_cast<const char*>(&replacement), 2),
      [](const char*, size_t) -> size_t { return 1; });
  std::u16string out(raw.size() / 2, u'\0');
  std::memcpy(out.data(), raw.data(), out.size() * 2);
  return out;
}

}  // namespace ostrel::os
