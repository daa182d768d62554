#pragma once
// What the two object loops read and where they write: the input with its
// line counter, the chosen flips, the material catalogue of an ".ase" scene,
// the place where finished object blocks go, who learns which objects were
// written or left out, and the pace of the work (the line step that lets a
// window breathe and notices a stop request).
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/left_out.hpp"
#include "format/line_cursor.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

// Receives each finished object block (complete ".asc" lines) and places it
// into the current output file. Returns false when the write failed.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual bool place_block(std::string_view block) = 0;
};

// Called by the loops once per line step.
class WorkPace {
public:
    virtual ~WorkPace() = default;
    // False when the work is to stop.
    virtual bool keep_going() = 0;
    // The line the work has reached, for a progress display.
    virtual void progress(std::int64_t line_number) { (void)line_number; }
};

struct ExportOptions {
    bool axis_flip = false;
    bool texture_flip = false; // ".ase" input only
};

enum class LoopEnd {
    Finished,
    Stopped,
    WriteFailed,
    LineTooLong, // an object to be written holds a line cut short by the reader
};

struct ExportRun {
    LineCursor& input;
    BlockSink& sink;
    WorkPace& pace;
    ExportOptions options;
    // The material catalogue of an ".ase" scene, used when has_materials.
    const MaterialCatalogue& catalogue;
    bool has_materials = false;
    // The last vertex line handed to the axis flip of an ".ase" object; the
    // driver puts it on the clipboard once, when the loop is over.
    std::string clipboard_line;
    // The first line of the current object that the reader cut short
    // (longer than LineSource::max_line_length) and that the object's block
    // copies; 0 when none. Such an object is not written, and the loop ends.
    std::int64_t cut_line = 0;
    // Told about every object the loop meets; none when nobody asks.
    ObjectOutcomes* outcomes = nullptr;

};

// An object loop over an ExportRun, taken a step (a line, or an object) at a
// time, so that it can ride along another reading of the same lines.
class ExportLoop {
public:
    virtual ~ExportLoop() = default;
    // One step; false once the loop has ended.
    virtual bool step() = 0;
    // Waits for what the loop still writes, and tells how it ended.
    virtual LoopEnd finish() = 0;
};

// Runs a loop to its end.
inline LoopEnd run_to_end(ExportLoop& loop)
{
    while (loop.step()) {
    }
    return loop.finish();
}

} // namespace trevanix
