#pragma once
// The ".asc" line forms: appended to an output buffer as written (every line
// ends with CR LF), and the pieces the readers take out of them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevanix::asc {

inline constexpr std::string_view line_end = "\r\n";
inline constexpr std::string_view vertex_list_line = "Vertex list:";
inline constexpr std::string_view face_list_line = "Face list:";
inline constexpr std::string_view mapped_line = "Mapped";
inline constexpr std::string_view unmapped_filler = ":  X:0.000000     Y:0.000000     Z:0.000000";
inline constexpr std::string_view mapped_filler =
    ":  X:0.000000     Y:0.000000     Z:0.000000     U:0.000000     V:0.000000";
inline constexpr std::string_view empty_material = "[{empty material}]";
inline constexpr std::string_view cell_separator = " , ";

// Named object: "name"
void append_name_line(std::string& out, std::string_view name);
// Tri-mesh, Vertices: nv     Faces: nf
void append_counts_line(std::string& out, std::int64_t vertices, std::int64_t faces);
// A line of its own: text + CR LF.
void append_line(std::string& out, std::string_view text);
// "Vertex " + index, without the tail and without the line end.
void append_vertex_start(std::string& out, std::int64_t index);
// Material:"name" and Smoothing: text
void append_material_lines(std::string& out, std::string_view material, std::string_view smoothing);

// The text between the first double quote of a line and the next one;
// nullopt when the line lacks either quote.
std::optional<std::string_view> quoted_name(std::string_view line) noexcept;

// A count as a loop bound: a whole number from 0 up to a bound no scene can
// reach; nullopt for negative, fractional, infinite or absurd values.
std::optional<std::int64_t> whole_count(double value) noexcept;

// 1-based position of the word "faces" (any case) in a counts line; 0 when absent.
std::size_t position_of_faces(std::string_view line) noexcept;

// The vertex and face counts of a "Tri-mesh, Vertices: 8     Faces: 12" line:
// the vertices from just after the first ":" up to and including the first
// letter of "faces" (any case), the faces after the second ":". nullopt when
// the line lacks those marks or a count is not a whole number.
struct AscCounts {
    std::int64_t vertices = 0;
    std::int64_t faces = 0;
};
std::optional<AscCounts> read_counts_line(std::string_view line) noexcept;

// The line begins, case-insensitively, with `keyword` followed by the decimal
// index (so "VERTEX 3" is vertex 3, "Vertex 03" is not). On success `rest` is
// what follows the index.
bool starts_with_indexed(std::string_view line, std::string_view keyword, std::int64_t index,
                         std::string_view& rest) noexcept;

} // namespace trevanix::asc
