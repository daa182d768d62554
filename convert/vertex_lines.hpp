#pragma once
// Vertex lines as text: the one vertex line writer, the split of a written
// line into its X, Y, Z, U and V value texts (`split_vertex_line`, mode
// "vc"), and the flips. Values are never turned into numbers: a flip toggles
// the sign in the text, so every character the input had is kept.
#include <cstdint>
#include <string>
#include <string_view>

namespace trevanix {

// The value texts of one vertex line; U and V are written only when mapped.
struct VertexValues {
    std::string_view x, y, z, u, v;
    bool mapped = false;
};

// With `axis` (X, Y, Z) becomes (X, Z, -Y); with `texture` V becomes -V (a
// line without U and V has no V to flip).
struct VertexFlips {
    bool axis = false;
    bool texture = false;
    bool any() const noexcept { return axis || texture; }
};

// The one vertex line writer, for every input: appends
// "Vertex i:  X:x     Y:y     Z:z", for a mapped vertex "     U:u     V:v"
// after it, and CR LF, with the flips applied to the texts as they stand.
void write_vertex_line(std::string& out, std::int64_t index, const VertexValues& values, VertexFlips flips);
// The same line from ":" on, without its line end.
void append_vertex_tail(std::string& out, const VertexValues& values, VertexFlips flips);

// The sign toggle of a number text: its leading "-" removed, or a "-" put in
// front. `sign` then `digits` is the toggled text.
struct ToggledSign {
    std::string_view sign;
    std::string_view digits;
};
constexpr ToggledSign toggled_sign(std::string_view value) noexcept
{
    if (!value.empty() && value.front() == '-')
        return {"", value.substr(1)};
    return {"-", value};
}
// Appends the text with its sign toggled.
void append_sign_toggled(std::string& out, std::string_view value);

// The value texts of one vertex line; views into the split line.
struct VertexFields {
    std::string_view x, y, z, u, v;
    bool has_uv = false; // "U:" follows the Z value
};

enum class SplitResult {
    Ok,         // every label needed was found
    MissingUv,  // X, Y and Z are there; "U:" follows Z but its value or "V:" is missing
    MissingXyz, // "X:", "Y:" or "Z:" is missing, or X or Y runs to the end of the line
};

// Splits a vertex line (or its tail). Labels are found case-sensitively; each
// value starts at the first non-blank character after its label (3D Studio
// puts a blank there, the written form does not) and runs to the next space,
// Z also to the end of the line and V always to the end of the line. The line
// has texture coordinates only when "U:" follows the Z value; without them U
// and V hold "no_uv".
SplitResult split_vertex_line(std::string_view line, VertexFields& fields) noexcept;

// The values of a vertex line as the split finds them, for a line to be
// written unmapped or, when `mapped`, with its U and V (which it must then
// hold). False when a needed label is missing.
bool split_vertex_values(std::string_view line, bool mapped, VertexValues& values) noexcept;

// The values of an ".asc" vertex line tail in the written form
// ":  X:x     Y:y     Z:z" (U and V may follow and are not taken): each label
// where the form puts it and each value right after its label, without a
// blank, TAB or colon in it. These are exactly the values the split finds, in
// one pass; false for any other tail, which takes the split.
bool plain_vertex_tail_values(std::string_view tail, VertexValues& values) noexcept;

// The axis flip of a line: (X, Y, Z) becomes (X, Z, -Y), rebuilt in the
// mapped or unmapped form from the values the split finds; the mapped form
// needs U and V in the line. Returns false (appending nothing) when a needed
// label is missing.
bool append_axis_flipped(std::string& out, std::string_view line, bool mapped_form);
// The texture flip of a line: V becomes -V, rebuilt in the mapped form.
// Returns false when the line has no U and V.
bool append_texture_flipped(std::string& out, std::string_view line);

} // namespace trevanix
