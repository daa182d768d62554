#pragma once
// The counting pass of an analysis: the number of lines of a scene file and
// the number of lines that start an object, found without visiting each line.
// It sees every byte of the file, so it also finds the line-end rule that
// every later pass over the file follows.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "format/object_starts.hpp"
#include "format/scene_file.hpp"

namespace trevanix {

struct LineCount {
    std::int64_t lines = 0;
    std::int64_t object_starts = 0;
    // The rule the counts follow, for every later pass: a lone LF ends a line
    // (asked for, or the file holds LF and no CR at all).
    bool lf_ends_line = false;
    // The file holds an LF that no CR precedes.
    bool lone_line_feeds = false;
};

struct CountOptions {
    bool lf_ends_line = false;                     // a lone LF ends a line in any file
    std::size_t block_size = std::size_t{1} << 20; // bytes read at a time
    const std::atomic<bool>* stop = nullptr;       // when true, counting ends at the next block
};

enum class CountEnd {
    Counted,
    Unreadable, // `error` says why: the file could not be read, or changed meanwhile
    Stopped,    // a stop was requested
};

// Counts with the line rules of LineSource. A file that holds no CR and
// holds LF has its lines end at each LF, as if options.lf_ends_line were set.
CountEnd count_lines_and_objects(const SceneFile& file, const CountOptions& options,
                                 const ObjectStartKeyword& keyword, LineCount& count, std::string& error);
// The same on a file opened for the count alone.
CountEnd count_lines_and_objects(const std::string& path, const CountOptions& options,
                                 const ObjectStartKeyword& keyword, LineCount& count, std::string& error);

} // namespace trevanix
