#include "format/asc_lines.hpp"

#include <cmath>

#include "format/text.hpp"

namespace trevanix::asc {

bool starts_object(std::string_view line) noexcept { return starts_with_lower(line, object_start); }

void append_name_line(std::string& out, std::string_view name)
{
    out += name_line_start;
    out += name;
    out += '"';
    out += line_end;
}

void append_counts_line(std::string& out, std::int64_t vertices, std::int64_t faces)
{
    out += counts_line_start;
    append_decimal(out, vertices);
    out += counts_line_faces;
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
    out += vertex_line_start;
    append_decimal(out, index);
}

void append_face_start(std::string& out, std::int64_t index)
{
    out += face_line_start;
    append_decimal(out, index);
}

void append_material_lines(std::string& out, std::string_view material_name, std::string_view smoothing_text)
{
    out += material_line_start;
    out += material_name;
    out += '"';
    out += line_end;
    out += smoothing_line_start;
    out += smoothing_text;
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

namespace {

// 1-based position of the word "faces" (any case) in a counts line; 0 when absent.
std::size_t position_of_faces(std::string_view line) noexcept
{
    for (std::size_t i = 0; i + faces_word.size() <= line.size(); ++i) {
        if (starts_with_lower(line.substr(i), faces_word))
            return i + 1;
    }
    return 0;
}

} // namespace

std::optional<CountTexts> count_texts(std::string_view line) noexcept
{
    const std::size_t first_colon = position_of(line, ':');
    const std::size_t second_colon = first_colon ? position_of(line, ':', first_colon + 1) : 0;
    const std::size_t faces_at = position_of_faces(line);
    if (first_colon == 0 || second_colon == 0 || faces_at == 0 || faces_at < first_colon)
        return std::nullopt;
    return CountTexts{mid(line, first_colon + 1, faces_at - first_colon), mid(line, second_colon + 1)};
}

std::optional<std::int64_t> whole_count(double value) noexcept
{
    // Each counted item takes a line of its own, so no real scene comes near.
    constexpr double largest = 2147483647.0;
    if (!std::isfinite(value) || value < 0 || value > largest || value != std::floor(value))
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::optional<Counts> read_counts_line(std::string_view line) noexcept
{
    const auto texts = count_texts(line);
    if (!texts)
        return std::nullopt;
    const auto vertices = whole_count(number_value(texts->vertices));
    const auto faces = whole_count(number_value(texts->faces));
    if (!vertices || !faces)
        return std::nullopt;
    return Counts{*vertices, *faces};
}

void RunningIndex::next() noexcept
{
    ++value_;
    std::size_t i = sizeof digits_;
    while (i > start_ && digits_[i - 1] == '9')
        digits_[--i] = '0';
    if (i > start_)
        ++digits_[i - 1];
    else
        digits_[--start_] = '1';
    packed_ = short_text(digits());
}

bool starts_with_indexed(std::string_view line, std::string_view keyword, const RunningIndex& index,
                         std::string_view& rest) noexcept
{
    if (!starts_with_lower(line, keyword))
        return false;
    const std::string_view after = line.substr(keyword.size());
    if (!starts_with_exact(after, index.digits()))
        return false;
    rest = after.substr(index.digits().size());
    return true;
}

bool starts_with_indexed(std::string_view line, std::string_view keyword, const RunningIndex& index) noexcept
{
    std::string_view rest;
    return starts_with_indexed(line, keyword, index, rest);
}

} // namespace trevanix::asc
