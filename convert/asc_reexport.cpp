#include "convert/asc_reexport.hpp"

#include <algorithm>

#include "convert/line_assembler.hpp"
#include "convert/vertex_lines.hpp"
#include "format/asc_lines.hpp"
#include "format/asc_object_reader.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

// A value of a vertex line as written: no blank, tab or colon, so that no
// label can hide in it and the split takes it from its first character.
std::size_t plain_value_end(std::string_view tail, std::size_t from) noexcept
{
    std::size_t i = from;
    while (i < tail.size() && !is_blank(tail[i]) && tail[i] != ':')
        ++i;
    return i;
}

// The axis flip of a vertex line tail written in the ".asc" form
// ":  X:x     Y:y     Z:z" (U and V may follow and are dropped), assembled
// in one buffer. In that form each label occurs first where the form puts
// it and each value starts right after its label, so taking the values
// straight gives what the split by labels gives; false (nothing appended)
// for any other tail, which takes the split.
bool append_axis_flipped_plain_tail(std::string& block, std::int64_t index, std::string_view tail)
{
    constexpr std::string_view x_label = asc::vertex_x_label;
    constexpr std::string_view y_label = asc::vertex_y_label;
    constexpr std::string_view z_label = asc::vertex_z_label;
    if (tail.substr(0, x_label.size()) != x_label)
        return false;
    const std::size_t x_end = plain_value_end(tail, x_label.size());
    if (tail.substr(x_end, y_label.size()) != y_label)
        return false;
    const std::size_t y_start = x_end + y_label.size();
    const std::size_t y_end = plain_value_end(tail, y_start);
    if (tail.substr(y_end, z_label.size()) != z_label)
        return false;
    const std::size_t z_start = y_end + z_label.size();
    // A blank or tab after "Z:" is skipped by the split: not this form.
    if (z_start < tail.size() && is_blank(tail[z_start]))
        return false;
    const std::size_t z_end = std::min(tail.find(' ', z_start), tail.size());
    const std::string_view x = tail.substr(x_label.size(), x_end - x_label.size());
    const std::string_view y = tail.substr(y_start, y_end - y_start);
    const std::string_view z = tail.substr(z_start, z_end - z_start);

    LineAssembler line;
    if (!line.fits(7 + LineAssembler::decimal_room + 5 + 7 + 7 + 1 + 2 + x.size() + y.size() + z.size()))
        return false;
    line.put(asc::vertex_line_start);
    line.put_decimal(index);
    line.put(asc::vertex_x_label);
    line.put(x);
    line.put(asc::vertex_y_label);
    line.put(z);
    line.put(asc::vertex_z_label);
    line.put_sign_toggled(y);
    line.put(asc::line_end);
    line.append_to(block);
    return true;
}

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
        if (axis_flip_ && append_axis_flipped_plain_tail(block_, index, tail))
            return true;
        asc::append_vertex_start(block_, index);
        if (axis_flip_) {
            if (!append_axis_flipped(block_, tail, false))
                return false;
        } else {
            block_ += tail;
        }
        block_ += asc::line_end;
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

// The loop's line counter starts at 1 before the first line (it is also its
// progress), so its numbers run one ahead of the file's.
std::int64_t file_line(const LineCursor& in) noexcept { return in.number() - 1; }

// Copies the object that starts on the current line and places it, or tells
// why it is left out. False when the loop must end (see `end`).
bool copy_and_place(ExportRun& run, std::string& block, LoopEnd& end)
{
    const std::int64_t start = file_line(run.input);
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

} // namespace

LoopEnd run_asc_reexport(ExportRun& run)
{
    LineCursor& in = run.input;
    std::string block;
    for (;;) {
        if (!run.pace.keep_going())
            return LoopEnd::Stopped;
        if (!in.read())
            break;
        LoopEnd end = LoopEnd::Finished;
        if (asc::starts_object(in.line()) && !copy_and_place(run, block, end))
            return end;
        if (in.number() < run.line_count)
            run.pace.progress(in.number());
        if (in.number() >= run.line_count)
            break;
    }
    run.pace.progress(in.number() - 1);
    return LoopEnd::Finished;
}

} // namespace trevanix
