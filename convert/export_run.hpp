#pragma once
// What the two object loops share: the input with its line counter, the chosen
// flips, the place where finished object blocks go, and the line step that
// lets the window breathe and notices a stop request.
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/line_source.hpp"
#include "app/session.hpp"

namespace trevanix {

// Receives each finished object block (complete ".asc" lines) and places it
// into the current output file. Returns false when the write failed.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual bool place_block(std::string_view block) = 0;
};

// The input read again from its first line. `current()` is the line last read
// (empty before the first read and after the end); `counter` counts every
// line read, starting from the value the loop gives it.
class InputLines {
public:
    InputLines(LineSource& source, std::int64_t start_counter) : source_(source), counter_(start_counter) {}

    // Reads the next line; false (and an empty current line) at the end.
    bool read()
    {
        if (!source_.next(current_)) {
            current_ = {};
            return false;
        }
        ++counter_;
        return true;
    }
    std::string_view current() const noexcept { return current_; }
    std::int64_t counter() const noexcept { return counter_; }
    bool at_end() { return source_.at_end(); }
    bool read_failed() const noexcept { return source_.read_failed(); }

private:
    LineSource& source_;
    std::string_view current_;
    std::int64_t counter_;
};

enum class LoopEnd { Finished, Stopped, WriteFailed };

struct ExportRun {
    Session& session;
    InputLines& input;
    BlockSink& sink;
    bool axis_flip = false;
    bool texture_flip = false;
    // The last vertex line handed to the axis flip of an ".ase" object; the
    // driver puts it on the clipboard once, when the loop is over.
    std::string clipboard_line;

    // Lets pending window events run; false when the user asked to stop.
    bool line_step()
    {
        session.ui.let_events_run();
        return !session.stop_requested;
    }
    void show_progress(std::int64_t value) { session.controls.Process_bar.value = value; }
};

} // namespace trevanix
