#include "convert/asc_reexport.hpp"

#include "analysis/text.hpp"
#include "convert/asc_text.hpp"
#include "convert/vertex_lines.hpp"

namespace trevanix {

namespace {

// After the last face line of an object a read that finds no line is the
// natural end of the file: the object is complete.
enum class Read { Line, EndOfInput };

Read read_line(InputLines& in) { return in.read() ? Read::Line : Read::EndOfInput; }

bool append_vertex_lines(ExportRun& run, std::int64_t count, std::string& block)
{
    InputLines& in = run.input;
    for (std::int64_t i = 0; i < count; ++i) {
        std::string_view tail;
        if (!asc::starts_with_indexed(in.current(), "vertex ", i, tail))
            return false;
        asc::append_vertex_start(block, i);
        if (run.axis_flip) {
            if (!append_axis_flipped(block, tail, false))
                return false;
        } else {
            block += tail;
        }
        block += asc::line_end;
        // Faces follow, so the input cannot end here.
        if (!in.read())
            return false;
    }
    return true;
}

// Returns false when the object is left out; `complete` tells whether the
// input ended right after the last face (nothing more to read).
bool append_face_lines(ExportRun& run, std::int64_t count, std::string& block)
{
    InputLines& in = run.input;
    for (std::int64_t i = 0; i < count; ++i) {
        std::string_view ignored;
        if (!asc::starts_with_indexed(in.current(), "face ", i, ignored))
            return false;
        asc::append_line(block, in.current());
        const bool last = i + 1 == count;
        if (read_line(in) == Read::EndOfInput)
            return last;
        if (starts_with_lower(in.current(), "material") && read_line(in) == Read::EndOfInput)
            return last;
        if (starts_with_lower(in.current(), "smoothing") && read_line(in) == Read::EndOfInput)
            return last;
    }
    return true;
}

} // namespace

bool copy_asc_object(ExportRun& run, std::string& block)
{
    InputLines& in = run.input;
    const auto name = asc::quoted_name(in.current());
    if (!name)
        return false;
    asc::append_name_line(block, *name);

    if (!in.read())
        return false;
    const auto counts = asc::read_counts_line(in.current());
    if (!counts || counts->vertices == 0 || counts->faces == 0 || counts->faces > 65535)
        return false;
    asc::append_counts_line(block, counts->vertices, counts->faces);

    if (!in.read())
        return false;
    if (starts_with_lower(in.current(), "mapped") && !in.read())
        return false;
    if (starts_with_lower(in.current(), "vertex list") && !in.read())
        return false;
    // An object without a vertex section (or, below, a face section) would be
    // written with empty lines; it is left out.
    if (!starts_with_lower(in.current(), "vertex "))
        return false;
    asc::append_line(block, asc::vertex_list_line);
    if (!append_vertex_lines(run, counts->vertices, block))
        return false;

    if (starts_with_lower(in.current(), "face list") && !in.read())
        return false;
    if (!starts_with_lower(in.current(), "face "))
        return false;
    asc::append_line(block, asc::face_list_line);
    if (!append_face_lines(run, counts->faces, block))
        return false;
    block += asc::line_end;
    return true;
}

LoopEnd run_asc_reexport(ExportRun& run)
{
    InputLines& in = run.input;
    const std::int64_t line_count = run.session.scene.nr_line2;
    std::string block;
    for (;;) {
        if (!run.line_step())
            return LoopEnd::Stopped;
        if (!in.read())
            break;
        if (starts_with_lower(in.current(), "named object")) {
            block.clear();
            if (copy_asc_object(run, block) && !run.sink.place_block(block))
                return LoopEnd::WriteFailed;
        }
        if (in.counter() < line_count)
            run.show_progress(in.counter());
        run.session.scene.object_mapped = 0;
        if (in.counter() >= line_count)
            break;
    }
    run.show_progress(in.counter() - 1);
    return LoopEnd::Finished;
}

} // namespace trevanix
