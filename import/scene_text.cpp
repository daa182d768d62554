#include "import/scene_text.hpp"

#include <cstdint>
#include <optional>

#include "format/code_pages.hpp"
#include "format/text.hpp"

namespace trevanix {

std::string scene_text_from_utf8(std::string_view text)
{
    if (!is_utf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char32_t code = *next_utf8_code_point(text, at);
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
