#pragma once
// Scene texts are Windows-1252 bytes; file names on disk, JSON and the
// scenes of other tools are UTF-8. The few conversions between the two.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trevanix {

// Decodes the UTF-8 character at `at` and moves past it; nullopt (and `at`
// unmoved) when the bytes there are not well-formed UTF-8 (overlong forms,
// surrogates and code points beyond U+10FFFF included).
std::optional<char32_t> next_utf8_code_point(std::string_view text, std::size_t& at) noexcept;

// The text is well-formed UTF-8 throughout.
bool is_utf8(std::string_view text) noexcept;

// Appends the UTF-8 bytes of a code point below U+10000.
void append_utf8(std::string& out, char32_t code_point);

// The code point a Windows-1252 byte stands for; bytes the code page leaves
// undefined keep their Latin-1 meaning.
char32_t windows_1252_code_point(unsigned char byte) noexcept;

// The Windows-1252 byte of a code point, when the code page has one.
std::optional<unsigned char> windows_1252_byte(char32_t code_point) noexcept;

} // namespace trevanix
