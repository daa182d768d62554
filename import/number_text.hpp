#pragma once
// Numbers of the general reader as ".asc" value texts.
#include <string>

namespace trevanix {

// Appends the shortest plain decimal text (no exponent) that reads back to
// the same single-precision value: 0.1f gives "0.1", 1e-7f "0.0000001".
// Negative zero is written "0", so the flips' sign toggle meets one zero.
// Precondition: the value is finite.
void append_number_text(std::string& out, float value);

} // namespace trevanix
