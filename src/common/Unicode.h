#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace reradav {

// The character of strict UTF-8 that starts at `at`, which is moved past it; nullopt (and `at`
// left) for an invalid or truncated sequence, an overlong form or a surrogate.
std::optional<char32_t> DecodeUtf8Character(std::string_view utf8, std::size_t& at);
// Every character of strict UTF-8 text; nullopt when any is invalid.
std::optional<std::u32string> DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);

// UTF-16 bytes (no byte-order mark) in the given byte order; nullopt for an odd length or an
// unpaired surrogate.
std::optional<std::u32string> DecodeUtf16(std::string_view bytes, bool bigEndian);
std::string EncodeUtf16(std::u32string_view text, bool bigEndian);

}  // namespace reradav
