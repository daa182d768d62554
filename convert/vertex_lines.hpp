#pragma once
// Vertex lines as text: the split into X, Y, Z, U and V value texts
// (`split_vertex_line`, mode "vc"), the sign toggle and the two flips. Values are never
// turned into numbers, so every character the input had is kept.
#include <string>
#include <string_view>

namespace trevanix {

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

// Appends the text with its leading "-" removed, or with a "-" added.
void append_sign_toggled(std::string& out, std::string_view value);

// ":  X:x     Y:y     Z:z"
void append_unmapped_form(std::string& out, std::string_view x, std::string_view y, std::string_view z);
// The unmapped form + "     U:u     V:v"
void append_mapped_form(std::string& out, std::string_view x, std::string_view y, std::string_view z,
                        std::string_view u, std::string_view v);

// A vertex line's tail from its value texts, with the flips applied to the
// texts as they stand: with `axis_flip` (X, Y, Z) becomes (X, Z, -Y), with
// `texture_flip` V becomes -V. The same line as building the tail and
// flipping it, for texts that hold no blank (the split would cut them there).
// U and V are written only when `mapped`.
void append_vertex_values(std::string& out, std::string_view x, std::string_view y, std::string_view z,
                          std::string_view u, std::string_view v, bool mapped, bool axis_flip, bool texture_flip);

// (X, Y, Z) becomes (X, Z, -Y), rebuilt in the mapped or unmapped form; the
// mapped form needs U and V in the line. Returns false (appending nothing)
// when a needed label is missing.
bool append_axis_flipped(std::string& out, std::string_view line, bool mapped_form);
// V becomes -V, rebuilt in the mapped form. Returns false when the line has
// no U and V.
bool append_texture_flipped(std::string& out, std::string_view line);

} // namespace trevanix
