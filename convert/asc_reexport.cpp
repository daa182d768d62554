#include "convert/asc_reexport.hpp"

#include <algorithm>
#include <cstring>

#include "convert/line_assembler.hpp"
#include "convert/vertex_lines.hpp"
#include "format/asc_lines.hpp"
#include "format/kolbrin_limits.hpp"
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

// The line begins with the keyword as the writer spells it ("Vertex ",
// "Face ") and the running index: the common case of the case-insensitive
// test, answered without lower-casing. Other lines take the full test.
bool starts_with_indexed_fast(std::string_view line, std::string_view written, std::string_view keyword,
                              const asc::RunningIndex& index, std::string_view& rest) noexcept
{
    const std::size_t size = written.size();
    const std::string_view digits = index.digits();
    if (line.size() >= size + digits.size() && std::memcmp(line.data(), written.data(), size) == 0) {
        if (std::memcmp(line.data() + size, digits.data(), digits.size()) != 0)
            return false;
        rest = line.substr(size + digits.size());
        return true;
    }
    return asc::starts_with_indexed(line, keyword, index, rest);
}

// The line begins with the keyword, case-insensitively; the spelling the
// writer uses is tested first, without lower-casing.
bool starts_with_keyword(std::string_view line, std::string_view written, std::string_view keyword) noexcept
{
    const std::size_t size = written.size();
    return (line.size() >= size && std::memcmp(line.data(), written.data(), size) == 0) ||
           starts_with_lower(line, keyword);
}

using Outcome = std::optional<LeftOutReason>; // none: the object is kept so far

Outcome append_vertex_lines(ExportRun& run, std::int64_t count, std::string& block)
{
    LineCursor& in = run.input;
    for (asc::RunningIndex i; i.value() < count; i.next()) {
        std::string_view tail;
        if (!starts_with_indexed_fast(in.line(), asc::vertex_line_start, asc::vertex, i, tail))
            return LeftOutReason::VertexLineMissing;
        run.note_copied_line();
        if (run.options.axis_flip && append_axis_flipped_plain_tail(block, i.value(), tail)) {
            if (!in.read())
                return LeftOutReason::ObjectCutShort;
            continue;
        }
        asc::append_vertex_start(block, i.value());
        if (run.options.axis_flip) {
            if (!append_axis_flipped(block, tail, false))
                return LeftOutReason::VertexValuesUnreadable;
        } else {
            block += tail;
        }
        block += asc::line_end;
        // Faces follow, so the input cannot end here.
        if (!in.read())
            return LeftOutReason::ObjectCutShort;
    }
    return std::nullopt;
}

// After the last face the input may end: the object is complete then.
Outcome append_face_lines(ExportRun& run, std::int64_t count, std::string& block)
{
    LineCursor& in = run.input;
    const Outcome cut_short = LeftOutReason::ObjectCutShort;
    for (asc::RunningIndex i; i.value() < count; i.next()) {
        std::string_view rest;
        if (!starts_with_indexed_fast(in.line(), asc::face_line_start, asc::face, i, rest))
            return LeftOutReason::FaceLineMissing;
        run.note_copied_line();
        asc::append_line(block, in.line());
        const Outcome end_of_input = i.value() + 1 == count ? std::nullopt : cut_short;
        if (!in.read())
            return end_of_input;
        if (starts_with_keyword(in.line(), asc::material_line_start.substr(0, asc::material.size()), asc::material) && !in.read())
            return end_of_input;
        if (starts_with_keyword(in.line(), asc::smoothing_line_start.substr(0, asc::smoothing.size()), asc::smoothing) && !in.read())
            return end_of_input;
    }
    return std::nullopt;
}

// The name and counts lines, and the lines before the vertex section.
Outcome copy_head(ExportRun& run, std::string& block, asc::Counts& counts)
{
    LineCursor& in = run.input;
    const auto name = asc::quoted_name(in.line());
    if (!name)
        return LeftOutReason::NameNotQuoted;
    run.note_copied_line();
    asc::append_name_line(block, *name);
    if (!in.read())
        return LeftOutReason::ObjectCutShort;
    const auto read = asc::read_counts_line(in.line());
    if (!read)
        return LeftOutReason::CountsUnusable;
    counts = *read;
    if (counts.vertices == 0)
        return LeftOutReason::ZeroVertices;
    if (counts.faces == 0)
        return LeftOutReason::ZeroFaces;
    if (kolbrin::too_many_faces(counts.faces))
        return LeftOutReason::TooManyFaces;
    asc::append_counts_line(block, counts.vertices, counts.faces);
    if (!in.read())
        return LeftOutReason::ObjectCutShort;
    if (starts_with_lower(in.line(), asc::mapped) && !in.read())
        return LeftOutReason::ObjectCutShort;
    if (starts_with_lower(in.line(), asc::vertex_list) && !in.read())
        return LeftOutReason::ObjectCutShort;
    return std::nullopt;
}

} // namespace

Outcome copy_asc_object(ExportRun& run, std::string& block)
{
    LineCursor& in = run.input;
    run.cut_line = 0;
    asc::Counts counts{};
    if (const Outcome head = copy_head(run, block, counts))
        return head;
    // An object without a vertex section (or, below, a face section) would be
    // written with empty lines; it is left out.
    if (!starts_with_lower(in.line(), asc::vertex))
        return LeftOutReason::VertexLineMissing;
    asc::append_line(block, asc::vertex_list_line);
    if (const Outcome vertices = append_vertex_lines(run, counts.vertices, block))
        return vertices;

    if (starts_with_lower(in.line(), asc::face_list) && !in.read())
        return LeftOutReason::ObjectCutShort;
    if (!starts_with_lower(in.line(), asc::face))
        return LeftOutReason::FaceLineMissing;
    asc::append_line(block, asc::face_list_line);
    if (const Outcome faces = append_face_lines(run, counts.faces, block))
        return faces;
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
    if (const Outcome left_out = copy_asc_object(run, block)) {
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
