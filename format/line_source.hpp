#pragma once
// Streaming line reader over a scene file.
//
// A line ends at a carriage return or at a carriage return and line feed pair;
// neither belongs to the line. A lone line feed stays inside the line unless
// the reader is told that line feeds end lines too (scenes written by Unix
// tools). Lines are handed out as views, so reading costs no allocation and no
// copy per line.
//
// The file is read in large blocks into one reused buffer, and the line ends
// of a whole block are found at once by a vector scan; handing out a line is
// then a look-up. Memory stays bounded whatever the input: a line longer than
// max_line_length is handed out cut to that length and the rest of it is
// skipped without being kept.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "format/scene_file.hpp"

namespace trevanix {

struct LineSourceOptions {
    bool lf_ends_line = false;
    std::size_t block_size = std::size_t{1} << 20; // bytes read at a time
    // When set and true, reading ends at the next block: a stop was requested.
    const std::atomic<bool>* stop = nullptr;
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
    // Reads `file` from its start, as another pass over a file that an earlier
    // pass of the same action opened. Fails when the file changed since.
    bool open(const SceneFile& file, std::string& error);
    void close() noexcept;
    bool is_open() const noexcept { return file_ != nullptr; }

    // Reads the next line into `line`; the view stays valid until the next call.
    // Returns false when no character is left, or when reading failed or was
    // stopped (see read_failed() and stopped()).
    [[gnu::always_inline]] bool next(std::string_view& line)
    {
        // Fast path: the line's end is among the line ends found in the block.
        if (next_end_ < end_count_) {
            const std::size_t at = ends_[next_end_];
            if (at - begin_ <= max_line_length) {
                ++next_end_;
                line = std::string_view(data_ + begin_, at - begin_);
                line_cut_ = false;
                pass_line_end(at);
                ++lines_read_;
                return true;
            }
        }
        return next_slow(line);
    }

    // True when no character is left to read (or nothing more can be read).
    bool at_end();

    // Lines handed out since open().
    std::int64_t lines_read() const noexcept { return lines_read_; }
    // True when the file was not read to its end: the operating system
    // reported an error, the file changed while it was read, or a stop was
    // requested. What was read is then not the whole file, and nothing may
    // be written from it.
    bool read_failed() const noexcept { return failure_ != Failure::None; }
    // True when reading ended because a stop was requested.
    bool stopped() const noexcept { return failure_ == Failure::Stopped; }
    // True when the file shrank or was written to while it was read.
    bool changed() const noexcept { return failure_ == Failure::Changed; }
    // The sentence for the user when read_failed() (empty after a stop).
    std::string failure_message() const;
    // True when the line last handed out was longer than max_line_length:
    // the view then holds only its first max_line_length bytes. Readers that
    // look at a line's start may go on; a writer that copies the line must not.
    bool line_cut() const noexcept { return line_cut_; }
    static constexpr std::size_t max_line_length = std::size_t{1} << 20;

private:
    enum class Failure { None, Failed, Changed, Stopped };

    bool start(std::string& error);
    bool next_slow(std::string_view& line);
    bool read_block();
    void keep_unfinished_line();
    void skip_rest_of_cut_line();
    // Moves past the line end at `at`: a CR followed by an LF ends the line
    // with both (the LF is then never a line end of its own).
    void pass_line_end(std::size_t at) noexcept
    {
        begin_ = at + 1;
        if (data_[at] == '\r' && data_[begin_] == '\n') {
            ++begin_;
            if (next_end_ < end_count_ && ends_[next_end_] == at + 1)
                ++next_end_;
        }
    }

    LineSourceOptions options_;
    SceneFile own_file_;
    const SceneFile* file_ = nullptr;
    std::uint64_t file_offset_ = 0; // where the next block is read

    // buffer_: [consumed][the line being read ... held bytes][sentinel 0]
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    char* data_ = nullptr;
    std::size_t begin_ = 0;       // first byte of the next line
    std::size_t scanned_to_ = 0;  // bytes before this have had their line ends found
    std::size_t end_ = 0;         // one past the last byte held

    // Offsets of the line ends found in [begin_, scanned_to_), in order.
    std::unique_ptr<std::uint32_t[]> ends_;
    std::size_t next_end_ = 0;
    std::size_t end_count_ = 0;

    bool whole_file_held_ = false; // the last block has been read
    bool skipping_ = false;        // inside the rest of a cut line
    bool line_cut_ = false;
    Failure failure_ = Failure::None;
    std::int64_t lines_read_ = 0;
};

} // namespace trevanix
