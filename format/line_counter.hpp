#pragma once
// The counting pass of an analysis: the number of lines of a scene file and
// the number of lines that start an object, found without visiting each line.
#include <cstdint>
#include <string>
#include <string_view>

namespace trevanix {

struct LineCount {
    std::int64_t lines = 0;
    std::int64_t object_starts = 0;
};

// Tells whether a line starts an object, given the line's text from its first
// character (at least the keyword's length when the line is that long).
using ObjectStartTest = bool (*)(std::string_view line_start);

struct ObjectStartKeyword {
    ObjectStartTest test;
    char first_lower; // the keyword's first character in both cases; a line
    char first_upper; // starting otherwise cannot start an object
};

struct CountOptions {
    bool lf_ends_line = false;                       // a lone LF ends a line too
    std::int64_t window_size = std::int64_t{8} << 20; // mapped windows (whole pages)
    bool map_files = true;                           // false: plain reads
};

// Counts with the line rules of LineSource (a line ends at CR or CR LF; with
// lf_ends_line a lone LF ends one too). Returns false with a sentence in
// `error` when the file cannot be read.
bool count_lines_and_objects(const std::string& path, const CountOptions& options, const ObjectStartKeyword& keyword,
                             LineCount& count, std::string& error);

} // namespace trevanix
