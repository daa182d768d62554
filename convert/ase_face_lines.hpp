#pragma once
// The face lines of an ".ase" object as the export reads and writes them:
// the corner, edge, smoothing and sub-material texts of a "*MESH_FACE" line,
// and the ".asc" face line (with its material and smoothing lines) they
// become.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevanix {

// What a face line gives the export.
struct FaceReading {
    std::string_view corners[3]; // the texts of A, B and C: geometric vertex indices
    std::string_view edges[3];   // the texts of AB, BC and CA
    std::string_view smoothing;
    std::int16_t submaterial = 0;
    // The corner and edge texts are plain decimal numbers without blanks or
    // leading zeros: written as they stand, and the corners read as digits.
    bool canonical = false;
    std::int64_t corner_values[3] = {0, 0, 0}; // the corners' values when canonical
};

// Reads a face line. Lines in the layout 3ds Max writes are read straight
// through; any other line by the first occurrence of each label, each value
// running from just after its label to the separator in front of the next
// one. False when a label is missing or the sub-material id does not fit 16
// bits.
bool read_face_line(std::string_view face, FaceReading& reading) noexcept;

// The index a field holds when it is a whole number below `limit`; nullopt
// for anything else.
std::optional<std::int64_t> index_below(std::string_view text, std::int64_t limit) noexcept;

// Appends the ".asc" face line j and, when `material` is not empty, its
// material and smoothing lines. The corners are `texture_corners` (a mapped
// object's texture vertex texts, written as they stand) or, when null, the
// face's own geometric ones.
void append_face_lines(std::string& out, std::int64_t j, const FaceReading& reading,
                       const std::string_view* texture_corners, std::string_view material);

} // namespace trevanix
