#pragma once
// The few BER (X.690) encodings an SNMP version 1 trap needs, with definite
// lengths in their shortest form, and the parsers for the texts the callers
// hand in (object identifiers, dotted IPv4 addresses, decimal numbers). Pure
// functions: no sockets, no state.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace corvane::platform::ber {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kInteger = 0x02;
inline constexpr uint8_t kOctetString = 0x04;
inline constexpr uint8_t kObjectIdentifier = 0x06;
inline constexpr uint8_t kSequence = 0x30;
inline constexpr uint8_t kIpAddress = 0x40;  // [APPLICATION 0] IMPLICIT OCTET STRING (SIZE (4))
inline constexpr uint8_t kTimeTicks = 0x43;  // [APPLICATION 3] IMPLICIT INTEGER (0..4294967295)
inline constexpr uint8_t kTrapPdu = 0xA4;    // [4] IMPLICIT SEQUENCE

// Appends a tag, the length of `content` and the content.
void AppendTlv(Bytes& out, uint8_t tag, const Bytes& content);
void AppendLength(Bytes& out, size_t length);
// INTEGER content in the fewest two's-complement octets, under `tag`.
void AppendInteger(Bytes& out, int64_t value, uint8_t tag = kInteger);
void AppendOctetString(Bytes& out, std::string_view text, uint8_t tag = kOctetString);
// Arcs as ParseObjectIdentifier returns them (at least two, valid first pair).
void AppendObjectIdentifier(Bytes& out, const std::vector<uint32_t>& arcs);

// "1.3.6.1.4.1.7365": decimal arcs separated by single dots, at least two,
// no leading zeros, each below 2^32, the first 0, 1 or 2 and the second
// below 40 unless the first is 2. Nothing for any other text.
std::optional<std::vector<uint32_t>> ParseObjectIdentifier(std::string_view text);
// Four decimal octets 0..255 separated by dots, nothing else.
std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text);
// An optional '-' and decimal digits, no blanks, within signed 32 bits.
std::optional<int32_t> ParseDecimal32(std::string_view text);

}  // namespace corvane::platform::ber
