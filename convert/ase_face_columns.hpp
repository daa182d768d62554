#pragma once
// The face line in the columns 3ds Max writes it, read in a few vector
// steps: the fixed texts compared with a template, and each five-character
// number column tested whole, rather than byte after byte.
#include <cstddef>
#include <string_view>

#include "convert/ase_face_lines.hpp"

namespace trevanix {

// Where the smoothing groups of a face line in the columns begin.
inline constexpr std::size_t face_columns_end = 91;

// Reads a face line that stands exactly in the columns
//   TAB TAB TAB "*MESH_FACE" index ":    A:" a " B:" b " C:" c " AB:" ab " BC:" bc " CA:" ca
//   TAB " *MESH_SMOOTHING "
// where each number fills five characters: blanks, then a plain decimal
// number (no leading zero). Such a line reads here exactly as the straight
// reading of read_face_line reads it. Fills the corners, their values and
// the edges, and returns true; false for any other line (whose reading is
// then left to read_face_line's other ways).
bool read_face_columns(std::string_view face, FaceReading& reading) noexcept;

} // namespace trevanix
