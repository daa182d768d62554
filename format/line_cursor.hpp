#pragma once
// The current line of a pass over a scene and its 1-based number in the file:
// the analysis' checks and the conversion's object loops both read through
// it. Every log line quotes the number of the line most recently read.
#include <cstdint>
#include <string_view>

#include "format/line_source.hpp"

namespace trevanix {

class LineCursor {
public:
    // `number` is the line number before the first read: 0 makes the first
    // line of the file line 1.
    explicit LineCursor(LineSource& source, std::int64_t number = 0) : source_(source), number_(number) {}

    // Reads the next line; false (and an empty current line) at the end of the file.
    [[gnu::always_inline]] bool read()
    {
        if (!source_.next(line_)) {
            line_ = {};
            return false;
        }
        ++number_;
        return true;
    }

    std::string_view line() const noexcept { return line_; }
    std::int64_t number() const noexcept { return number_; }
    bool at_end() { return source_.at_end(); }
    bool read_failed() const noexcept { return source_.read_failed(); }
    bool stopped() const noexcept { return source_.stopped(); }
    // The current line was longer than LineSource::max_line_length and is cut.
    bool line_cut() const noexcept { return source_.line_cut(); }

private:
    LineSource& source_;
    std::string_view line_;
    std::int64_t number_;
};

} // namespace trevanix
