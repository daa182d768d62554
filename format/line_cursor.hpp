#pragma once
// The current line of a pass over a scene and its 1-based number in the file:
// the analysis' checks and the conversion's object loops both read through
// it. Every log line quotes the number of the line most recently read.
//
// A cursor reads the line source itself or, for the passes of one scan, the
// line tape over it (see LineTape), which hands each pass the lines from the
// file's first one while the file is read once.
#include <cstdint>
#include <string>
#include <string_view>

#include "format/line_source.hpp"
#include "format/line_tape.hpp"
#include "format/object_starts.hpp"

namespace trevanix {

class LineCursor {
public:
    // `number` is the line number before the first read: 0 makes the first
    // line of the file line 1. With `tally`, the lines that start an object
    // are counted as they are read.
    explicit LineCursor(LineSource& source, std::int64_t number = 0, ObjectStartTally* tally = nullptr)
        : source_(source), number_(number), tally_(tally)
    {
    }
    // A pass over the tape, from the file's first line.
    explicit LineCursor(LineTape& tape);

    // Reads the next line; false (and an empty current line) at the end of the file.
    [[gnu::always_inline]] bool read()
    {
        if (tape_ != nullptr) {
            if (const LineTape::Kept* kept = tape_->kept_for(*this, number_)) {
                line_ = std::string_view(kept->data, kept->size);
                tape_line_cut_ = kept->cut;
                ++number_;
                return true;
            }
            return read_from_tape();
        }
        if (!source_.next(line_)) {
            line_ = {};
            return false;
        }
        ++number_;
        if (tally_ != nullptr)
            tally_->see(line_);
        return true;
    }

    std::string_view line() const noexcept { return line_; }
    std::int64_t number() const noexcept { return number_; }
    bool at_end();
    bool read_failed() const noexcept { return source_.read_failed(); }
    bool stopped() const noexcept { return source_.stopped(); }
    // The sentence for the user when read_failed() (empty after a stop).
    std::string failure_message() const { return source_.failure_message(); }
    // The current line was longer than LineSource::max_line_length and is cut.
    bool line_cut() const noexcept { return tape_ != nullptr ? tape_line_cut_ : source_.line_cut(); }
    // Bytes of the file read so far, for a progress display.
    std::uint64_t bytes_reached() const noexcept { return source_.bytes_reached(); }

private:
    friend class LineTape;

    bool read_from_tape();

    LineSource& source_;
    std::string_view line_;
    std::int64_t number_;
    ObjectStartTally* tally_ = nullptr;
    LineTape* tape_ = nullptr;
    bool tape_line_cut_ = false;
};

} // namespace trevanix
