#include "convert/asc_reexport.hpp"

#include "convert/vertex_lines.hpp"
#include "format/asc_lines.hpp"
#include "format/asc_object_reader.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

// Writes the lists of an object into its block as the reader hands them
// over: the vertex lines with the axis flip on request, the face lines
// without their material and smoothing lines.
class BlockLists : public AscListLines {
public:
    BlockLists(std::string& block, bool axis_flip) : block_(block), axis_flip_(axis_flip) {}

    void vertices_begin(const AscObject& object) override
    {
        asc::append_name_line(block_, object.name);
        asc::append_counts_line(block_, static_cast<std::int64_t>(object.vertices),
                                static_cast<std::int64_t>(object.faces));
        asc::append_line(block_, asc::vertex_list_line);
    }

    bool vertex_line(std::int64_t index, std::string_view tail) override
    {
        if (!axis_flip_) {
            // Copied as it stands.
            asc::append_vertex_start(block_, index);
            block_ += tail;
            block_ += asc::line_end;
            return true;
        }
        // The values of the written form are taken straight; any other tail
        // is split by its labels.
        VertexValues values;
        if (!plain_vertex_tail_values(tail, values) && !split_vertex_values(tail, false, values))
            return false;
        write_vertex_line(block_, index, values, {.axis = true});
        return true;
    }

    void faces_begin() override { asc::append_line(block_, asc::face_list_line); }
    void face_line(std::string_view line) override { asc::append_line(block_, line); }

private:
    std::string& block_;
    bool axis_flip_;
};

// Why the conversion leaves out an object whose reading stopped.
LeftOutReason left_out_reason(AscStop stop) noexcept
{
    switch (stop) {
    case AscStop::NameNotQuoted: return LeftOutReason::NameNotQuoted;
    case AscStop::CountsUnusable: return LeftOutReason::CountsUnusable;
    case AscStop::ZeroVertices: return LeftOutReason::ZeroVertices;
    case AscStop::ZeroFaces: return LeftOutReason::ZeroFaces;
    case AscStop::TooManyFaces: return LeftOutReason::TooManyFaces;
    case AscStop::VertexLineMissing: return LeftOutReason::VertexLineMissing;
    case AscStop::FaceLineMissing: return LeftOutReason::FaceLineMissing;
    case AscStop::ListLineRefused: return LeftOutReason::VertexValuesUnreadable;
    default: return LeftOutReason::ObjectCutShort;
    }
}

} // namespace

std::optional<LeftOutReason> copy_asc_object(ExportRun& run, std::string& block)
{
    BlockLists lists(block, run.options.axis_flip);
    AscObject object;
    AscObjectReader(ObjectReading::Conversion).read(run.input, object, &lists);
    run.cut_line = object.cut_line;
    if (object.stop != AscStop::None)
        return left_out_reason(object.stop);
    block += asc::line_end;
    return std::nullopt;
}

namespace {

// Copies the object that starts on the current line and places it, or tells
// why it is left out. False when the loop must end (see `end`).
bool copy_and_place(ExportRun& run, std::string& block, LoopEnd& end)
{
    const std::int64_t start = run.input.number();
    block.clear();
    if (const std::optional<LeftOutReason> left_out = copy_asc_object(run, block)) {
        if (run.outcomes != nullptr)
            run.outcomes->object_left_out(start, *left_out);
        return true;
    }
    if (run.cut_line != 0) {
        end = LoopEnd::LineTooLong;
        return false;
    }
    if (!run.sink.place_block(block)) {
        end = LoopEnd::WriteFailed;
        return false;
    }
    if (run.outcomes != nullptr)
        run.outcomes->object_written(start);
    return true;
}

// The ".asc" object loop, a line a step: each line that starts an object
// is copied with its object's further lines, or left out.
class AscReexportLoop : public ExportLoop {
public:
    explicit AscReexportLoop(ExportRun& run) : run_(run) {}

    bool step() override
    {
        if (!run_.pace.keep_going()) {
            end_ = LoopEnd::Stopped;
            return false;
        }
        LineCursor& in = run_.input;
        if (!in.read())
            return false;
        if (asc::starts_object(in.line()) && !copy_and_place(run_, block_, end_))
            return false;
        run_.pace.progress(in.number());
        return true;
    }

    LoopEnd finish() override { return end_; }

private:
    ExportRun& run_;
    std::string block_;
    LoopEnd end_ = LoopEnd::Finished;
};

} // namespace

std::unique_ptr<ExportLoop> asc_reexport_loop(ExportRun& run) { return std::make_unique<AscReexportLoop>(run); }

} // namespace trevanix
