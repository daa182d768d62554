#pragma once
// The ".asc" (3D Studio ASCII mesh) line forms, read and written.
//
// Readers recognise a line by its first characters, lower-cased, so the
// keywords to test are given in lower case. Writers append whole lines, each
// ending with CR LF, to an output buffer.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace trevanix::asc {

// ---- keywords, as the readers test them (lower case) ----------------------

inline constexpr std::string_view object_start = "named object";
inline constexpr std::string_view counts = "tri-mesh";
inline constexpr std::string_view mapped = "mapped";
inline constexpr std::string_view vertex_list = "vertex list";
inline constexpr std::string_view vertex = "vertex "; // followed by the vertex index
inline constexpr std::string_view face_list = "face list";
inline constexpr std::string_view face = "face "; // followed by the face index
inline constexpr std::string_view material = "material";
inline constexpr std::string_view smoothing = "smoothing";
inline constexpr std::string_view faces_word = "faces"; // in the counts line

// The line starts an object: its first characters, lower-cased, are "named object".
bool starts_object(std::string_view line) noexcept;

// ---- lines as written ------------------------------------------------------

inline constexpr std::string_view line_end = "\r\n";
inline constexpr std::string_view name_line_start = "Named object: \""; // then the name and a closing quote
inline constexpr std::string_view counts_line_start = "Tri-mesh, Vertices: ";
inline constexpr std::string_view counts_line_faces = "     Faces: ";
inline constexpr std::string_view vertex_line_start = "Vertex ";
inline constexpr std::string_view face_line_start = "Face ";
// A vertex line after its index: ":  X:x     Y:y     Z:z", and for a mapped
// vertex "     U:u     V:v" after it.
inline constexpr std::string_view vertex_x_label = ":  X:";
inline constexpr std::string_view vertex_y_label = "     Y:";
inline constexpr std::string_view vertex_z_label = "     Z:";
inline constexpr std::string_view vertex_u_label = "     U:";
inline constexpr std::string_view vertex_v_label = "     V:";
// A face line after its index: ": A:a B:b C:c AB:ab BC:bc CA:ca".
inline constexpr std::string_view face_corner_labels[3] = {": A:", " B:", " C:"};
inline constexpr std::string_view face_edge_labels[3] = {" AB:", " BC:", " CA:"};
inline constexpr std::string_view material_line_start = "Material:\""; // then the name and a closing quote
inline constexpr std::string_view smoothing_line_start = "Smoothing: ";
inline constexpr std::string_view vertex_list_line = "Vertex list:";
inline constexpr std::string_view face_list_line = "Face list:";
inline constexpr std::string_view mapped_line = "Mapped";
inline constexpr std::string_view unmapped_filler = ":  X:0.000000     Y:0.000000     Z:0.000000";
inline constexpr std::string_view mapped_filler =
    ":  X:0.000000     Y:0.000000     Z:0.000000     U:0.000000     V:0.000000";

// A material catalogue cell is "material , texture"; a material without a
// picture is this placeholder.
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
// "Face " + index, without the tail and without the line end.
void append_face_start(std::string& out, std::int64_t index);
// Material:"name" and Smoothing: text
void append_material_lines(std::string& out, std::string_view material_name, std::string_view smoothing_text);

// ---- pieces the readers take out of lines ----------------------------------

// The text between the first double quote of a line and the next one;
// nullopt when the line lacks either quote.
std::optional<std::string_view> quoted_name(std::string_view line) noexcept;

// The two count texts of a "Tri-mesh, Vertices: 8     Faces: 12" line: the
// vertices from just after the first ":" up to and including the first letter
// of "faces" (any case), the faces after the second ":". nullopt when the
// line lacks either colon or the word, or holds the word before the first
// colon (no text would be left for the vertex count).
struct CountTexts {
    std::string_view vertices;
    std::string_view faces;
};
std::optional<CountTexts> count_texts(std::string_view line) noexcept;

// A count as a loop bound: a whole number from 0 up to a bound no scene can
// reach; nullopt for negative, fractional, infinite or absurd values.
std::optional<std::int64_t> whole_count(double value) noexcept;

// The counts of a counts line as whole numbers; nullopt when the line lacks
// its marks or a count is not a whole number.
struct Counts {
    std::int64_t vertices = 0;
    std::int64_t faces = 0;
};
std::optional<Counts> read_counts_line(std::string_view line) noexcept;

// A text of at most eight characters as the eight bytes a line starts with:
// a line begins with the text exactly when its first eight bytes, masked,
// equal `word`. One compare instead of a library call, for the keywords and
// indices every vertex and face line is tested against.
struct ShortText {
    std::uint64_t word = 0;
    std::uint64_t mask = 0;
    std::size_t size = 0;
};

constexpr ShortText short_text(std::string_view text) noexcept
{
    ShortText packed;
    packed.size = text.size() < 8 ? text.size() : 8;
    for (std::size_t i = 0; i < packed.size; ++i) {
        const std::size_t shift = std::endian::native == std::endian::little ? 8 * i : 8 * (7 - i);
        packed.word |= std::uint64_t{static_cast<unsigned char>(text[i])} << shift;
        packed.mask |= std::uint64_t{0xFF} << shift;
    }
    return packed;
}

// The eight bytes at `at` (which must be readable) begin with `text`.
inline bool begins_with(const char* at, const ShortText& text) noexcept
{
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, at, sizeof bytes);
    return (bytes & text.mask) == text.word;
}

// The decimal digits of a running index, counted up in place: the vertex and
// face lines of an object are matched against 0, 1, 2, ... without
// formatting each number anew.
class RunningIndex {
public:
    std::int64_t value() const noexcept { return value_; }
    std::string_view digits() const noexcept { return {digits_ + start_, sizeof digits_ - start_}; }
    // The digits packed for begins_with(), while there are at most eight.
    const ShortText& packed() const noexcept { return packed_; }
    void next() noexcept;

private:
    char digits_[24] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0',
                        '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
    std::size_t start_ = sizeof digits_ - 1;
    std::int64_t value_ = 0;
    ShortText packed_ = short_text("0");
};

// The line begins, case-insensitively, with `keyword` followed by the index's
// digits (so "VERTEX 3" is vertex 3, "Vertex 03" is not). On success `rest`
// is what follows the digits.
bool starts_with_indexed(std::string_view line, std::string_view keyword, const RunningIndex& index,
                         std::string_view& rest) noexcept;
bool starts_with_indexed(std::string_view line, std::string_view keyword, const RunningIndex& index) noexcept;

} // namespace trevanix::asc
