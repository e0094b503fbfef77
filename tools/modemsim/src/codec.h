// Byte-level helpers of the simulated modem: the HDLC frame check sequence used by the
// diagnostic packets, hexadecimal text, GSM 7-bit packing and UCS-2 for USSD answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace modemsim {

// FCS-16 (CRC-16/X-25): initial value 0xFFFF, reflected polynomial 0x8408, final complement.
std::uint16_t fcs16(std::string_view data);
// Running form without the final complement, for the "good final value" check.
std::uint16_t fcs16_update(std::uint16_t fcs, std::string_view data);
inline constexpr std::uint16_t kFcs16Init = 0xFFFF;
inline constexpr std::uint16_t kFcs16Good = 0xF0B8;

std::string to_hex(std::string_view bytes);
// Upper- or lower-case hex digits, even count; nullopt otherwise.
std::optional<std::string> from_hex(std::string_view hex);

// Packs GSM default-alphabet septets (one per byte, values below 0x80) into octets.
std::string pack_septets(std::string_view septets);
// Unpacks `count` septets; without a count, all complete septets of the octets.
std::string unpack_septets(std::string_view octets, std::optional<std::size_t> count = {});

// Latin-1/ASCII or UTF-8 text to GSM default alphabet and back, for the characters of the
// default table; anything else becomes '?'.
std::string text_to_gsm(std::string_view text);
std::string gsm_to_text(std::string_view septets);

// UTF-8 (Latin-1 bytes tolerated) to UCS-2 big-endian as upper-case hex.
std::string text_to_ucs2_hex(std::string_view text);

// Text in a terminal character set of AT+CSCS: "IRA" (ASCII), "GSM" (default alphabet codes
// as bytes), "8859-1", "PCCP437", "UCS2" (hex); characters the set lacks become '?'.
std::string text_to_charset(std::string_view text, std::string_view cscs);

// Packed 7-bit hex as sent by a host for a USSD code; nullopt when not such a text.
// A final septet 0 that only fills the last octet is dropped.
std::optional<std::string> decode_packed_hex_text(std::string_view hex);

// Copy of `s` with characters outside 0x20..0x7E written as \xHH, for the transcript.
std::string escape_bytes(std::string_view s);

} // namespace modemsim
