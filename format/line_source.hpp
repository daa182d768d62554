#pragma once
// Streaming line reader over a scene file.
//
// A line ends at a carriage return or at a carriage return and line feed pair;
// neither belongs to the line. A lone line feed stays inside the line unless
// the reader is told that line feeds end lines too (scenes written by Unix
// tools). Lines are handed out as views, so reading costs no allocation and no
// copy per line. Regular files are mapped into memory a window at a time (the
// page cache is read in place, and memory stays bounded by the window and the
// longest line); other files are read in large blocks.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace trevanix {

struct LineSourceOptions {
    bool lf_ends_line = false;
    std::size_t block_size = std::size_t{1} << 20;    // blocks of plain reads
    std::size_t window_size = std::size_t{8} << 20;   // mapped windows (rounded to whole pages)
    bool map_files = true;                             // false: always use plain reads
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
    bool is_open() const noexcept { return fd_ >= 0; }

    // Reads the next line into `line`; the view stays valid until the next call.
    // Returns false when no character is left (or on a read error).
    bool next(std::string_view& line)
    {
        // Fast path: the whole line lies in what is held.
        if (begin_ < end_ && !skip_line_feed_) {
            const std::size_t stop = find_line_end(data_, begin_, end_);
            if (stop + 1 < end_) {
                line = std::string_view(data_ + begin_, stop - begin_);
                begin_ = stop + 1;
                if (data_[stop] == '\r' && data_[begin_] == '\n')
                    ++begin_;
                ++lines_read_;
                return true;
            }
        }
        return next_slow(line);
    }

    // True when no character is left to read.
    bool at_end();

    // Lines handed out since open().
    std::int64_t lines_read() const noexcept { return lines_read_; }
    // True when the operating system reported an error while reading.
    bool read_failed() const noexcept { return read_failed_; }
    // True when reading ended because a stop was requested: what was read is
    // not the whole file, and nothing may be written from it.
    bool stopped() const noexcept { return false; }
    // True when the line last handed out was longer than max_line_length:
    // the view then holds only its first max_line_length bytes. Readers that
    // look at a line's start may go on; a writer that copies the line must not.
    bool line_cut() const noexcept { return false; }
    static constexpr std::size_t max_line_length = std::size_t{1} << 20;

private:
    bool next_slow(std::string_view& line);
    bool load_more();
    bool map_next_window();
    bool read_next_block();
    void unmap() noexcept;
    std::size_t find_line_end(const char* data, std::size_t from, std::size_t end) const noexcept
    {
        const void* cr = std::memchr(data + from, '\r', end - from);
        const std::size_t cr_at = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : end;
        if (!options_.lf_ends_line)
            return cr_at;
        const void* lf = std::memchr(data + from, '\n', cr_at - from);
        return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : cr_at;
    }

    LineSourceOptions options_;
    int fd_ = -1;
    bool mapped_mode_ = false;
    std::uint64_t file_size_ = 0;
    std::uint64_t file_offset_ = 0; // file offset of the next window or block

    // The bytes held now: a mapped window or the read buffer.
    const char* data_ = nullptr;
    std::size_t begin_ = 0; // first unread byte
    std::size_t end_ = 0;   // one past the last byte held
    void* window_ = nullptr;
    std::size_t window_length_ = 0;
    std::vector<char> buffer_;
    std::string carry_; // a line that spans two windows

    bool eof_ = true;
    bool skip_line_feed_ = false; // the previous line ended with a CR at the end of what was held
    bool read_failed_ = false;
    std::int64_t lines_read_ = 0;
};

// True when the file holds a line feed that no carriage return precedes: a
// scene written with Unix line ends.
bool file_has_lone_line_feed(const std::string& path);

} // namespace trevanix
