#pragma once
// The lines that start an object, as the passes over a scene count them.
#include <cstdint>
#include <string_view>

namespace trevanix {

// Tells whether a line starts an object, given the line's text from its first
// character (at least the keyword's length when the line is that long).
using ObjectStartTest = bool (*)(std::string_view line_start);

struct ObjectStartKeyword {
    ObjectStartTest test;
    char first_lower; // the keyword's first character in both cases; a line
    char first_upper; // starting otherwise cannot start an object

    bool starts_object(std::string_view line) const noexcept
    {
        return !line.empty() && (line[0] == first_lower || line[0] == first_upper) && test(line);
    }
};

// Counts the lines that start an object, each once, as a scan takes them
// from the file.
struct ObjectStartTally {
    ObjectStartKeyword keyword;
    std::int64_t count = 0;

    void see(std::string_view line) noexcept
    {
        if (keyword.starts_object(line))
            ++count;
    }
};

} // namespace trevanix
