#pragma once
// What Kolbrin2 can import, in one place: every reader, check and writer of
// the program takes its limits from here.
#include <cstddef>
#include <cstdint>

namespace trevanix::kolbrin {

// Kolbrin2 imports at most this many objects from one ".asc" file; a scene
// of more objects is split into numbered files of this many objects each.
inline constexpr std::int64_t objects_per_file = 255;

// An object of more faces is not imported completely.
inline constexpr std::int64_t most_faces_per_object = 65535;

// A texture name longer than this is given a short replacement.
inline constexpr std::size_t longest_texture_name = 19;

// A declared face count beyond what Kolbrin2 imports. Takes the count as the
// reader has it (a lenient reading gives a double, a whole count an integer).
constexpr bool too_many_faces(double faces) noexcept { return faces > static_cast<double>(most_faces_per_object); }
constexpr bool too_many_faces(std::int64_t faces) noexcept { return faces > most_faces_per_object; }

// ".asc" files needed for `objects`: one, or one more than the number of
// whole files of objects_per_file.
constexpr std::int64_t split_files_for(std::int64_t objects) noexcept
{
    return objects > objects_per_file ? objects / objects_per_file + 1 : 1;
}

} // namespace trevanix::kolbrin
