#include "import/scene_text.hpp"

#include <cstdint>
#include <optional>

#include "format/text.hpp"

namespace trevanix {

namespace {

// The Windows-1252 byte of a code point, when the code page has one.
std::optional<unsigned char> windows_1252_byte(char32_t code) noexcept
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<unsigned char>(code);
    static constexpr char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                          0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (unsigned i = 0; i < 32; ++i)
        if (high[i] != 0 && high[i] == code)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

// Decodes one UTF-8 character at `at`; nullopt when the bytes there are not UTF-8.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& at) noexcept
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t extra = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07u;
    } else {
        return std::nullopt;
    }
    if (at + extra >= text.size())
        return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    at += extra + 1;
    return code;
}

bool is_utf8(std::string_view text) noexcept
{
    for (std::size_t at = 0; at < text.size();)
        if (!next_code_point(text, at))
            return false;
    return true;
}

} // namespace

std::string scene_text_from_utf8(std::string_view text)
{
    if (!is_utf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char32_t code = *next_code_point(text, at);
        const auto byte = windows_1252_byte(code);
        out.push_back(byte ? static_cast<char>(*byte) : '_');
    }
    return out;
}

std::string clean_name(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || byte < 0x20 || byte == 0x7F)
            continue;
        // " , " separates the name from the texture in a catalogue cell.
        if (c == ',' && out.size() > 0 && out.back() == ' ')
            out.pop_back();
        out.push_back(c);
    }
    return out;
}

std::string UniqueNames::claim(const std::string& name)
{
    if (taken_.insert(name).second)
        return name;
    for (std::int64_t k = 2;; ++k) {
        std::string candidate = name + "_";
        append_decimal(candidate, k);
        if (taken_.insert(candidate).second)
            return candidate;
    }
}

} // namespace trevanix
