#include "convert/vertex_lines.hpp"

#include <algorithm>

#include "convert/line_assembler.hpp"
#include "format/asc_lines.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

constexpr std::string_view no_uv = "no_uv";

bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

// Appends to a string as the assembler does to its buffer.
struct StringLine {
    std::string& out;
    void put(std::string_view text) { out += text; }
    void put_decimal(std::int64_t value) { append_decimal(out, value); }
};

template <typename Line>
void put_toggled(Line& line, std::string_view value)
{
    const ToggledSign toggled = toggled_sign(value);
    line.put(toggled.sign);
    line.put(toggled.digits);
}

template <typename Line>
void put_tail(Line& line, const VertexValues& values, VertexFlips flips)
{
    line.put(asc::vertex_x_label);
    line.put(values.x);
    line.put(asc::vertex_y_label);
    if (flips.axis) {
        line.put(values.z);
        line.put(asc::vertex_z_label);
        put_toggled(line, values.y);
    } else {
        line.put(values.y);
        line.put(asc::vertex_z_label);
        line.put(values.z);
    }
    if (!values.mapped)
        return;
    line.put(asc::vertex_u_label);
    line.put(values.u);
    line.put(asc::vertex_v_label);
    if (flips.texture)
        put_toggled(line, values.v);
    else
        line.put(values.v);
}

template <typename Line>
void put_line(Line& line, std::int64_t index, const VertexValues& values, VertexFlips flips)
{
    line.put(asc::vertex_line_start);
    line.put_decimal(index);
    put_tail(line, values, flips);
    line.put(asc::line_end);
}

// The most a vertex line can take, from the grammar's pieces: the line start
// and index, the labels, the values, a sign for each flip and the line end.
std::size_t vertex_line_room(const VertexValues& values) noexcept
{
    std::size_t room = asc::vertex_line_start.size() + LineAssembler::decimal_room + asc::vertex_x_label.size() +
                       asc::vertex_y_label.size() + asc::vertex_z_label.size() + values.x.size() + values.y.size() +
                       values.z.size() + 1 + asc::line_end.size();
    if (values.mapped)
        room += asc::vertex_u_label.size() + asc::vertex_v_label.size() + values.u.size() + values.v.size() + 1;
    return room;
}

// Where the value after a label starts: at the first non-blank character, as
// 3D Studio writes "X: -2500" and the written form "X:-2500". When the next
// label follows instead (an empty value, "X:     Y:1"), the value is empty
// and starts right after its own label.
std::size_t value_start(std::string_view line, std::size_t after_label, std::string_view next_label) noexcept
{
    std::size_t start = after_label;
    while (start < line.size() && is_blank(line[start]))
        ++start;
    if (!next_label.empty() && line.substr(start).starts_with(next_label))
        return after_label;
    return start;
}

// The value of the first `label` at or after `from`: from its start up to the
// next space or, when allowed, to the end of the line. `end` is where the
// value stops.
bool value_after(std::string_view line, std::string_view label, std::string_view next_label, std::size_t from,
                 bool may_run_to_end, std::string_view& value, std::size_t& end) noexcept
{
    const std::size_t at = line.find(label, from);
    if (at == std::string_view::npos)
        return false;
    const std::size_t start = value_start(line, at + label.size(), next_label);
    const std::size_t space = line.find(' ', start);
    if (space == std::string_view::npos && !may_run_to_end)
        return false;
    end = space == std::string_view::npos ? line.size() : space;
    value = line.substr(start, end - start);
    return true;
}

// A value of a vertex line as written: no blank, tab or colon, so that no
// label can hide in it and the split takes it from its first character.
std::size_t plain_value_end(std::string_view tail, std::size_t from) noexcept
{
    std::size_t i = from;
    while (i < tail.size() && !is_blank(tail[i]) && tail[i] != ':')
        ++i;
    return i;
}

} // namespace

void write_vertex_line(std::string& out, std::int64_t index, const VertexValues& values, VertexFlips flips)
{
    // Most lines fit the assembler, which costs less than growing the block
    // piece by piece; a longer one is written piece by piece, alike.
    LineAssembler line;
    if (line.fits(vertex_line_room(values))) {
        put_line(line, index, values, flips);
        line.append_to(out);
        return;
    }
    StringLine whole{out};
    put_line(whole, index, values, flips);
}

void append_vertex_tail(std::string& out, const VertexValues& values, VertexFlips flips)
{
    StringLine tail{out};
    put_tail(tail, values, flips);
}

void append_sign_toggled(std::string& out, std::string_view value)
{
    StringLine text{out};
    put_toggled(text, value);
}

SplitResult split_vertex_line(std::string_view line, VertexFields& fields) noexcept
{
    fields = VertexFields{};
    std::size_t end = 0;
    if (!value_after(line, "X:", "Y:", 0, false, fields.x, end) ||
        !value_after(line, "Y:", "Z:", 0, false, fields.y, end) ||
        !value_after(line, "Z:", "U:", 0, true, fields.z, end))
        return SplitResult::MissingXyz;
    // Texture coordinates follow only where "U:" comes after the Z value;
    // blanks at the end of the line are no texture coordinates.
    const std::size_t after_z = end;
    fields.has_uv = line.find("U:", after_z) != std::string_view::npos;
    fields.u = no_uv;
    fields.v = no_uv;
    if (!fields.has_uv)
        return SplitResult::Ok;
    std::string_view u;
    std::size_t after_u = 0;
    const std::size_t v_at = value_after(line, "U:", "V:", after_z, false, u, after_u) ? line.find("V:", after_u)
                                                                                       : std::string_view::npos;
    if (v_at == std::string_view::npos)
        return SplitResult::MissingUv;
    fields.u = u;
    fields.v = line.substr(value_start(line, v_at + 2, {}));
    return SplitResult::Ok;
}

bool split_vertex_values(std::string_view line, bool mapped, VertexValues& values) noexcept
{
    VertexFields f;
    const SplitResult split = split_vertex_line(line, f);
    if (split == SplitResult::MissingXyz || (mapped && (split != SplitResult::Ok || !f.has_uv)))
        return false;
    values = {f.x, f.y, f.z, f.u, f.v, mapped};
    return true;
}

bool plain_vertex_tail_values(std::string_view tail, VertexValues& values) noexcept
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
    values = {tail.substr(x_label.size(), x_end - x_label.size()), tail.substr(y_start, y_end - y_start),
              tail.substr(z_start, z_end - z_start), {}, {}, false};
    return true;
}

bool append_axis_flipped(std::string& out, std::string_view line, bool mapped_form)
{
    VertexValues values;
    if (!split_vertex_values(line, mapped_form, values))
        return false;
    append_vertex_tail(out, values, {.axis = true});
    return true;
}

bool append_texture_flipped(std::string& out, std::string_view line)
{
    VertexValues values;
    if (!split_vertex_values(line, true, values))
        return false;
    append_vertex_tail(out, values, {.texture = true});
    return true;
}

} // namespace trevanix
