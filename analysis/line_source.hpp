#pragma once
// Streaming line reader over a scene file.
//
// A line ends at a carriage return or at a carriage return and line feed pair;
// neither belongs to the line. A lone line feed stays inside the line unless
// the reader is told that line feeds end lines too (scenes written by Unix
// tools). The file is read in large blocks and lines are handed out as views
// into the block, so reading costs no allocation and no copy per line; memory
// is bounded by the block size and the longest line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace trevanix {

struct LineSourceOptions {
    bool lf_ends_line = false;
    std::size_t block_size = std::size_t{1} << 20;
};

class LineSource {
public:
    explicit LineSource(LineSourceOptions options = {});
    ~LineSource();
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // Opens the file for reading only. On failure returns false and sets error
    // to a sentence the user can act on.
    bool open(const std::string& path, std::string& error);
    void close() noexcept;
    bool is_open() const noexcept { return file_ != nullptr; }

    // Reads the next line into `line`; the view stays valid until the next call.
    // Returns false when no character is left (or on a read error).
    bool next(std::string_view& line);

    // True when no character is left to read.
    bool at_end();

    // Lines handed out since open().
    std::int64_t lines_read() const noexcept { return lines_read_; }
    // True when the operating system reported an error while reading.
    bool read_failed() const noexcept { return read_failed_; }
    // True when the file held at least one lone line feed (seen so far).
    bool saw_lone_line_feed() const noexcept { return saw_lone_lf_; }

private:
    bool refill();
    std::size_t find_line_end(std::size_t from) noexcept;
    void note_lone_line_feeds(const char* begin, const char* end) noexcept;

    LineSourceOptions options_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t begin_ = 0; // first unread byte
    std::size_t end_ = 0;   // one past the last byte held
    bool eof_ = false;
    bool skip_line_feed_ = false; // the previous line ended with a CR at the block's end
    bool read_failed_ = false;
    bool saw_lone_lf_ = false;
    std::int64_t lines_read_ = 0;
};

} // namespace trevanix
