#pragma once
// Byte-level text helpers shared by every reader and writer of scene files.
//
// Scene files are 8-bit text: these helpers never decode UTF-8 and only map
// the ASCII letters when they change case, so every other byte passes through
// untouched. Positions are 1-based, as the line rules of the readers count
// them; 0 means "not found".
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace trevanix {

constexpr char to_lower_ascii(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char to_upper_ascii(char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Prefix tests on the first keyword.size() characters of a line. A line shorter
// than the keyword is compared whole, so it never matches. They run on every
// line of a scene, so they live here to be inlined.
inline bool starts_with_exact(std::string_view line, std::string_view keyword) noexcept
{
    return line.size() >= keyword.size() && line.substr(0, keyword.size()) == keyword;
}

// Eight bytes at once with their ASCII capitals lower-cased (or, below, their
// ASCII small letters upper-cased); every other byte stays as it is. Each
// byte's low seven bits plus an offset set its top bit exactly when the byte
// is at or above a bound, without a carry into the next byte.
inline std::uint64_t lower_cased_eight(std::uint64_t bytes) noexcept
{
    const std::uint64_t ascii = ~bytes & 0x8080808080808080ULL;
    const std::uint64_t low_bits = bytes & 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t from_a = low_bits + 0x3F3F3F3F3F3F3F3FULL; // 'A' and above
    const std::uint64_t past_z = low_bits + 0x2525252525252525ULL; // past 'Z'
    return bytes | ((ascii & from_a & ~past_z) >> 2);
}

inline std::uint64_t upper_cased_eight(std::uint64_t bytes) noexcept
{
    const std::uint64_t ascii = ~bytes & 0x8080808080808080ULL;
    const std::uint64_t low_bits = bytes & 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t from_a = low_bits + 0x1F1F1F1F1F1F1F1FULL; // 'a' and above
    const std::uint64_t past_z = low_bits + 0x0505050505050505ULL; // past 'z'
    return bytes & ~((ascii & from_a & ~past_z) >> 2);
}

// The prefix test of both cases: the first character alone first (most lines
// differ there), then eight characters at a time, then one at a time.
template <char (*map_one)(char) noexcept, std::uint64_t (*map_eight)(std::uint64_t) noexcept>
inline bool starts_with_mapped(std::string_view line, std::string_view keyword) noexcept
{
    if (line.size() < keyword.size())
        return false;
    if (keyword.empty())
        return true;
    if (map_one(line[0]) != keyword[0])
        return false;
    std::size_t i = 0;
    for (; i + 8 <= keyword.size(); i += 8) {
        std::uint64_t text = 0;
        std::uint64_t word = 0;
        std::memcpy(&text, line.data() + i, 8);
        std::memcpy(&word, keyword.data() + i, 8);
        if (map_eight(text) != word)
            return false;
    }
    for (; i < keyword.size(); ++i)
        if (map_one(line[i]) != keyword[i])
            return false;
    return true;
}

// The line's first characters, lower-cased, equal keyword (given in lower case).
inline bool starts_with_lower(std::string_view line, std::string_view keyword) noexcept
{
    return starts_with_mapped<to_lower_ascii, lower_cased_eight>(line, keyword);
}

// The line's first characters, upper-cased, equal keyword (given in upper case).
inline bool starts_with_upper(std::string_view line, std::string_view keyword) noexcept
{
    return starts_with_mapped<to_upper_ascii, upper_cased_eight>(line, keyword);
}

// 1-based position of the first occurrence of `what` at or after position
// `from` (1-based), case-sensitive; 0 when it does not occur.
std::size_t position_of(std::string_view text, std::string_view what, std::size_t from = 1) noexcept;
// Same, for a single character.
std::size_t position_of(std::string_view text, char what, std::size_t from = 1) noexcept;

// The `length` characters starting at 1-based position `start`, clipped to the
// text: a start past the end or a length of 0 gives an empty text.
std::string_view mid(std::string_view text, std::size_t start, std::size_t length) noexcept;
// Everything from 1-based position `start` to the end of the text.
std::string_view mid(std::string_view text, std::size_t start) noexcept;

// A plain integer: blanks and tabs around an optional sign and 1 to 15
// digits, and nothing else. The readers' fast path: most numbers in scene
// files (indices, counts, ids) are written so, and for them this gives what
// the lenient reading below gives.
struct PlainInteger {
    std::int64_t magnitude = 0;
    bool negative = false;
    std::int64_t value() const noexcept { return negative ? -magnitude : magnitude; }
    // As the lenient reading gives it ("-0" is negative zero).
    double as_double() const noexcept { return negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude); }
};
std::optional<PlainInteger> plain_integer(std::string_view text) noexcept;

// Lenient number reading: blanks, tabs and line feeds are ignored wherever they
// stand; a sign, a decimal point and an exponent (E or D) are accepted; reading
// stops at the first character that cannot continue the number; a text without
// a number reads 0. Results beyond the double range saturate to +-infinity,
// below it to 0. The decimal separator is always ".", whatever the locale.
double number_value(std::string_view text) noexcept;

// Round to the nearest integer, halves to even. nullopt when the value is not
// finite or falls outside the target range.
std::optional<std::int16_t> to_int16(double value) noexcept;
std::optional<std::int32_t> to_int32(double value) noexcept;
std::optional<std::int64_t> to_int64(double value) noexcept;

// Plain decimal text of a count: integers without sign padding, leading zeros
// or exponent; other values in their shortest round-trip form.
std::string format_number(double value);
std::string format_number(std::int64_t value);

std::string to_lower_copy(std::string_view text);

// The text without the blanks and tabs around it.
std::string_view trim_blanks(std::string_view text) noexcept;

// Appends the decimal digits of value to out (no allocation beyond growth of out).
void append_decimal(std::string& out, std::int64_t value);

// A control byte: below 0x20 (NUL, TAB, LF, CR, ESC...) or DEL.
constexpr bool is_control_byte(char c) noexcept
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}
bool has_control_byte(std::string_view text) noexcept;

// The text with each control byte written as an escape ("\n", "\r", "\t",
// otherwise "\x" and two hex digits), so that a name or a path shown on a
// terminal can neither start an escape sequence nor begin a line of its own.
// Every other byte stays as it is.
std::string printable_text(std::string_view text);

} // namespace trevanix
