#include "import/number_text.hpp"

#include <cassert>
#include <charconv>
#include <cmath>

namespace trevanix {

void append_number_text(std::string& out, float value)
{
    assert(std::isfinite(value));
    // The longest fixed text of a float is a subnormal's: "0.", 44 zeros and
    // a digit, with its sign.
    char text[64];
    const float written = value == 0.0f ? 0.0f : value;
    const auto end = std::to_chars(text, text + sizeof text, written, std::chars_format::fixed).ptr;
    out.append(text, end);
}

} // namespace trevanix
