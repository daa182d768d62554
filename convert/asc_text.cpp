#include "convert/asc_text.hpp"

#include <charconv>
#include <cmath>

#include "analysis/text.hpp"

namespace trevanix::asc {

void append_name_line(std::string& out, std::string_view name)
{
    out += "Named object: \"";
    out += name;
    out += '"';
    out += line_end;
}

void append_counts_line(std::string& out, std::int64_t vertices, std::int64_t faces)
{
    out += "Tri-mesh, Vertices: ";
    append_decimal(out, vertices);
    out += "     Faces: ";
    append_decimal(out, faces);
    out += line_end;
}

void append_line(std::string& out, std::string_view text)
{
    out += text;
    out += line_end;
}

void append_vertex_start(std::string& out, std::int64_t index)
{
    out += "Vertex ";
    append_decimal(out, index);
}

void append_material_lines(std::string& out, std::string_view material, std::string_view smoothing)
{
    out += "Material:\"";
    out += material;
    out += '"';
    out += line_end;
    out += "Smoothing: ";
    out += smoothing;
    out += line_end;
}

std::optional<std::string_view> quoted_name(std::string_view line) noexcept
{
    const std::size_t first = position_of(line, '"');
    if (first == 0)
        return std::nullopt;
    const std::size_t second = position_of(line, '"', first + 1);
    if (second == 0)
        return std::nullopt;
    return line.substr(first, second - first - 1);
}

std::optional<std::int64_t> whole_count(double value) noexcept
{
    // Each counted item takes a line of its own, so no real scene comes near.
    constexpr double largest = 2147483647.0;
    if (!std::isfinite(value) || value < 0 || value > largest || value != std::floor(value))
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::size_t position_of_faces(std::string_view line) noexcept
{
    constexpr std::string_view word = "faces";
    for (std::size_t i = 0; i + word.size() <= line.size(); ++i) {
        if (starts_with_lower(line.substr(i), word))
            return i + 1;
    }
    return 0;
}

std::optional<AscCounts> read_counts_line(std::string_view line) noexcept
{
    const std::size_t first_colon = position_of(line, ':');
    const std::size_t faces_at = position_of_faces(line);
    if (first_colon == 0 || faces_at <= first_colon)
        return std::nullopt;
    const std::size_t second_colon = position_of(line, ':', first_colon + 1);
    if (second_colon == 0)
        return std::nullopt;
    const auto vertices = whole_count(number_value(mid(line, first_colon + 1, faces_at - first_colon)));
    const auto faces = whole_count(number_value(mid(line, second_colon + 1)));
    if (!vertices || !faces)
        return std::nullopt;
    return AscCounts{*vertices, *faces};
}

bool starts_with_indexed(std::string_view line, std::string_view keyword, std::int64_t index,
                         std::string_view& rest) noexcept
{
    if (!starts_with_lower(line, keyword))
        return false;
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
    const std::string_view number(digits, static_cast<std::size_t>(end - digits));
    const std::string_view after = line.substr(keyword.size());
    if (after.substr(0, number.size()) != number)
        return false;
    rest = after.substr(number.size());
    return true;
}

} // namespace trevanix::asc
