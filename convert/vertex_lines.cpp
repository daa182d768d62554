#include "convert/vertex_lines.hpp"

#include "format/asc_lines.hpp"

namespace trevanix {

namespace {

constexpr std::string_view no_uv = "no_uv";

bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

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

} // namespace

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

void append_sign_toggled(std::string& out, std::string_view value)
{
    if (!value.empty() && value.front() == '-') {
        out += value.substr(1);
    } else {
        out += '-';
        out += value;
    }
}

void append_unmapped_form(std::string& out, std::string_view x, std::string_view y, std::string_view z)
{
    out += asc::vertex_x_label;
    out += x;
    out += asc::vertex_y_label;
    out += y;
    out += asc::vertex_z_label;
    out += z;
}

void append_mapped_form(std::string& out, std::string_view x, std::string_view y, std::string_view z,
                        std::string_view u, std::string_view v)
{
    append_unmapped_form(out, x, y, z);
    out += asc::vertex_u_label;
    out += u;
    out += asc::vertex_v_label;
    out += v;
}

void append_vertex_values(std::string& out, std::string_view x, std::string_view y, std::string_view z,
                          std::string_view u, std::string_view v, bool mapped, bool axis_flip, bool texture_flip)
{
    out += asc::vertex_x_label;
    out += x;
    out += asc::vertex_y_label;
    if (axis_flip) {
        out += z;
        out += asc::vertex_z_label;
        append_sign_toggled(out, y);
    } else {
        out += y;
        out += asc::vertex_z_label;
        out += z;
    }
    if (!mapped)
        return;
    out += asc::vertex_u_label;
    out += u;
    out += asc::vertex_v_label;
    if (texture_flip)
        append_sign_toggled(out, v);
    else
        out += v;
}

bool append_axis_flipped(std::string& out, std::string_view line, bool mapped_form)
{
    VertexFields f;
    const SplitResult split = split_vertex_line(line, f);
    if (split == SplitResult::MissingXyz || (mapped_form && (split != SplitResult::Ok || !f.has_uv)))
        return false;
    out += asc::vertex_x_label;
    out += f.x;
    out += asc::vertex_y_label;
    out += f.z;
    out += asc::vertex_z_label;
    append_sign_toggled(out, f.y);
    if (mapped_form) {
        out += asc::vertex_u_label;
        out += f.u;
        out += asc::vertex_v_label;
        out += f.v;
    }
    return true;
}

bool append_texture_flipped(std::string& out, std::string_view line)
{
    VertexFields f;
    if (split_vertex_line(line, f) != SplitResult::Ok || !f.has_uv)
        return false;
    append_unmapped_form(out, f.x, f.y, f.z);
    out += asc::vertex_u_label;
    out += f.u;
    out += asc::vertex_v_label;
    append_sign_toggled(out, f.v);
    return true;
}

} // namespace trevanix
