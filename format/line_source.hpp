#pragma once
// Streaming line reader over a scene file.
//
// A line ends at a carriage return or at a carriage return and line feed pair;
// neither belongs to the line. A lone line feed stays inside the line unless
// the reader is told that line feeds end lines too (scenes written by Unix
// tools). Lines are handed out as views, so reading costs no allocation and no
// copy per line.
//
// The file is read in large blocks, one block ahead on a helper thread, and
// the line ends of a whole block are found at once by a vector scan; handing
// out a line is then a look-up. Memory stays bounded whatever the input: a
// line longer than max_line_length is handed out cut to that length and the
// rest of it is skipped without being kept.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "format/block_reader.hpp"
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
        if (next_end_ < block_.end_count) {
            const char* at = block_.data + block_.ends[next_end_];
            const auto length = static_cast<std::size_t>(at - line_start_);
            if (length <= max_line_length) {
                ++next_end_;
                line = std::string_view(line_start_, length);
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

    // The lines handed out so far stay where they are through the next
    // next() and at_end(): the next line ends in the current block. When
    // false, the block may be given back for the next one.
    bool next_keeps_views() const noexcept
    {
        return next_end_ < block_.end_count &&
               static_cast<std::size_t>(block_.data + block_.ends[next_end_] - line_start_) <= max_line_length;
    }

    // Lines handed out since open().
    std::int64_t lines_read() const noexcept { return lines_read_; }
    // Bytes of the file read so far (those of the blocks handed out), for a
    // progress display.
    std::uint64_t bytes_reached() const noexcept { return bytes_reached_; }
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

    void start();
    bool next_slow(std::string_view& line);
    bool move_to_next_block();
    bool skip_rest_of_cut_line();
    const char* block_end() const noexcept { return block_.data + block_.size; }
    // Moves past the line end at `at`: a CR followed by an LF ends the line
    // with both (the LF is then never a line end of its own). The byte after
    // a block's last byte is held after it, so this may look one byte past
    // the block.
    void pass_line_end(const char* at) noexcept
    {
        line_start_ = at + 1;
        if (*at == '\r' && *line_start_ == '\n') {
            ++line_start_;
            if (next_end_ < block_.end_count && block_.data + block_.ends[next_end_] == at + 1)
                ++next_end_;
        }
    }

    LineSourceOptions options_;
    SceneFile own_file_;
    const SceneFile* file_ = nullptr;
    BlockReader reader_;

    ReadBlock block_;                 // the block being read
    const char* line_start_ = nullptr; // first byte of the next line (may lie before the block, or one past it)
    std::size_t next_end_ = 0;        // the next of the block's line ends

    bool skipping_ = false; // inside the rest of a cut line
    bool line_cut_ = false;
    Failure failure_ = Failure::None;
    std::int64_t lines_read_ = 0;
    std::uint64_t bytes_reached_ = 0;
};

} // namespace trevanix
