#pragma once
// Which files are scenes, and which reader reads them: ".ase" and ".asc"
// have the exact readers, every other extension Assimp imports the general
// reader.
#include <string>
#include <string_view>

#include "state/session.hpp"

namespace trevanix {

// ".ase" or ".asc" (lower-cased extension).
bool has_exact_reader(std::string_view file_type);
// Any scene file: one of the exact readers' types or a general one.
bool is_scene_file_type(std::string_view extension);
// Whether the general reader reads a scene of this type first, given the
// reader chosen for ".ase" and ".asc".
bool read_by_general_reader_first(std::string_view file_type, ReaderChoice choice);

// The open dialog's filter: "All scenes" with every scene extension, then
// the exact readers' own pairs.
std::string scene_dialog_filter();

} // namespace trevanix
