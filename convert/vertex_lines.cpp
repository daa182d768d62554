#include "convert/vertex_lines.hpp"

namespace trevanix {

namespace {

constexpr std::string_view no_uv = "no_uv";

// The value after `label`: up to the next space, or (when allowed) to the end.
// `found_space` tells which of the two ended it.
bool value_after(std::string_view line, std::string_view label, bool may_run_to_end, std::string_view& value,
                 bool& found_space) noexcept
{
    const std::size_t at = line.find(label);
    if (at == std::string_view::npos)
        return false;
    const std::size_t start = at + label.size();
    const std::size_t space = line.find(' ', at);
    found_space = space != std::string_view::npos;
    if (!found_space) {
        if (!may_run_to_end)
            return false;
        value = line.substr(start);
        return true;
    }
    value = line.substr(start, space - start);
    return true;
}

} // namespace

SplitResult split_vertex_line(std::string_view line, VertexFields& fields) noexcept
{
    fields = VertexFields{};
    bool space = false;
    if (!value_after(line, "X:", false, fields.x, space) || !value_after(line, "Y:", false, fields.y, space) ||
        !value_after(line, "Z:", true, fields.z, space))
        return SplitResult::MissingXyz;
    fields.has_uv = space;
    if (!fields.has_uv) {
        fields.u = no_uv;
        fields.v = no_uv;
        return SplitResult::Ok;
    }
    bool ignored = false;
    if (!value_after(line, "U:", false, fields.u, ignored)) {
        fields.u = fields.v = no_uv;
        return SplitResult::MissingUv;
    }
    const std::size_t v_at = line.find("V:");
    if (v_at == std::string_view::npos) {
        fields.u = fields.v = no_uv;
        return SplitResult::MissingUv;
    }
    fields.v = line.substr(v_at + 2);
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
    out += ":  X:";
    out += x;
    out += "     Y:";
    out += y;
    out += "     Z:";
    out += z;
}

void append_mapped_form(std::string& out, std::string_view x, std::string_view y, std::string_view z,
                        std::string_view u, std::string_view v)
{
    append_unmapped_form(out, x, y, z);
    out += "     U:";
    out += u;
    out += "     V:";
    out += v;
}

bool append_axis_flipped(std::string& out, std::string_view line, bool mapped_form)
{
    VertexFields f;
    const SplitResult split = split_vertex_line(line, f);
    if (split == SplitResult::MissingXyz || (mapped_form && (split != SplitResult::Ok || !f.has_uv)))
        return false;
    out += ":  X:";
    out += f.x;
    out += "     Y:";
    out += f.z;
    out += "     Z:";
    append_sign_toggled(out, f.y);
    if (mapped_form) {
        out += "     U:";
        out += f.u;
        out += "     V:";
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
    out += "     U:";
    out += f.u;
    out += "     V:";
    append_sign_toggled(out, f.v);
    return true;
}

} // namespace trevanix
