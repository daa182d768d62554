#include "format/code_pages.hpp"

namespace trevanix {

namespace {

// Code points of the Windows-1252 bytes 0x80 to 0x9F (0 where the code page
// leaves the byte undefined).
constexpr char16_t windows_1252_high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The number of bytes that follow a lead byte, and the lead's own bits;
// nullopt for a byte that leads no UTF-8 character.
std::optional<std::size_t> continuation_bytes(unsigned char lead, char32_t& code) noexcept
{
    if ((lead & 0xE0) == 0xC0) {
        code = lead & 0x1Fu;
        return 1;
    }
    if ((lead & 0xF0) == 0xE0) {
        code = lead & 0x0Fu;
        return 2;
    }
    if ((lead & 0xF8) == 0xF0) {
        code = lead & 0x07u;
        return 3;
    }
    return std::nullopt;
}

} // namespace

std::optional<char32_t> next_utf8_code_point(std::string_view text, std::size_t& at) noexcept
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    char32_t code = 0;
    const std::optional<std::size_t> extra = continuation_bytes(lead, code);
    if (!extra || at + *extra >= text.size())
        return std::nullopt;
    for (std::size_t k = 1; k <= *extra; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[*extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    at += *extra + 1;
    return code;
}

bool is_utf8(std::string_view text) noexcept
{
    for (std::size_t at = 0; at < text.size();)
        if (!next_utf8_code_point(text, at))
            return false;
    return true;
}

void append_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t windows_1252_code_point(unsigned char byte) noexcept
{
    if (byte >= 0x80 && byte < 0xA0 && windows_1252_high[byte - 0x80] != 0)
        return windows_1252_high[byte - 0x80];
    return byte;
}

std::optional<unsigned char> windows_1252_byte(char32_t code) noexcept
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<unsigned char>(code);
    for (unsigned i = 0; i < 32; ++i)
        if (windows_1252_high[i] != 0 && windows_1252_high[i] == code)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

} // namespace trevanix
