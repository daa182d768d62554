#include "convert/asc_reexport.hpp"

#include <algorithm>
#include <cstring>

#include "convert/line_assembler.hpp"
#include "convert/vertex_lines.hpp"
#include "format/asc_lines.hpp"
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

bool append_vertex_lines(ExportRun& run, std::int64_t count, std::string& block)
{
    LineCursor& in = run.input;
    for (asc::RunningIndex i; i.value() < count; i.next()) {
        std::string_view tail;
        if (!starts_with_indexed_fast(in.line(), asc::vertex_line_start, asc::vertex, i, tail))
            return false;
        run.note_copied_line();
        if (run.options.axis_flip && append_axis_flipped_plain_tail(block, i.value(), tail)) {
            if (!in.read())
                return false;
            continue;
        }
        asc::append_vertex_start(block, i.value());
        if (run.options.axis_flip) {
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

// False when the object is left out. After the last face the input may end:
// the object is complete then.
bool append_face_lines(ExportRun& run, std::int64_t count, std::string& block)
{
    LineCursor& in = run.input;
    for (asc::RunningIndex i; i.value() < count; i.next()) {
        std::string_view rest;
        if (!starts_with_indexed_fast(in.line(), asc::face_line_start, asc::face, i, rest))
            return false;
        run.note_copied_line();
        asc::append_line(block, in.line());
        const bool last = i.value() + 1 == count;
        if (!in.read())
            return last;
        if (starts_with_keyword(in.line(), asc::material_line_start.substr(0, asc::material.size()), asc::material) && !in.read())
            return last;
        if (starts_with_keyword(in.line(), asc::smoothing_line_start.substr(0, asc::smoothing.size()), asc::smoothing) && !in.read())
            return last;
    }
    return true;
}

} // namespace

bool copy_asc_object(ExportRun& run, std::string& block)
{
    LineCursor& in = run.input;
    run.cut_line = 0;
    const auto name = asc::quoted_name(in.line());
    if (!name)
        return false;
    run.note_copied_line();
    asc::append_name_line(block, *name);

    if (!in.read())
        return false;
    const auto counts = asc::read_counts_line(in.line());
    if (!counts || counts->vertices == 0 || counts->faces == 0 || counts->faces > 65535)
        return false;
    asc::append_counts_line(block, counts->vertices, counts->faces);

    if (!in.read())
        return false;
    if (starts_with_lower(in.line(), asc::mapped) && !in.read())
        return false;
    if (starts_with_lower(in.line(), asc::vertex_list) && !in.read())
        return false;
    // An object without a vertex section (or, below, a face section) would be
    // written with empty lines; it is left out.
    if (!starts_with_lower(in.line(), asc::vertex))
        return false;
    asc::append_line(block, asc::vertex_list_line);
    if (!append_vertex_lines(run, counts->vertices, block))
        return false;

    if (starts_with_lower(in.line(), asc::face_list) && !in.read())
        return false;
    if (!starts_with_lower(in.line(), asc::face))
        return false;
    asc::append_line(block, asc::face_list_line);
    if (!append_face_lines(run, counts->faces, block))
        return false;
    block += asc::line_end;
    return true;
}

LoopEnd run_asc_reexport(ExportRun& run)
{
    LineCursor& in = run.input;
    std::string block;
    for (;;) {
        if (!run.pace.keep_going())
            return LoopEnd::Stopped;
        if (!in.read())
            break;
        if (asc::starts_object(in.line())) {
            block.clear();
            if (copy_asc_object(run, block)) {
                if (run.cut_line != 0)
                    return LoopEnd::LineTooLong;
                if (!run.sink.place_block(block))
                    return LoopEnd::WriteFailed;
            }
        }
        if (in.number() < run.line_count)
            run.pace.progress(in.number());
        if (in.number() >= run.line_count)
            break;
    }
    run.pace.progress(in.number() - 1);
    return LoopEnd::Finished;
}

} // namespace trevanix
