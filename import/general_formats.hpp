#pragma once
// Which scene files the general reader takes: every extension Assimp
// imports, except ".ase" and ".asc", which the exact readers keep.
#include <string>
#include <string_view>
#include <vector>

namespace trevanix {

// The extensions, lower case, without the dot, in Assimp's order.
const std::vector<std::string>& general_scene_extensions();

// Whether a file of this extension (any letter case) is a general scene.
bool is_general_scene_extension(std::string_view extension);

// Whether a folder's file of this extension counts as a scene. The general
// extensions "xml" and "raw" are left out: other files use them too (Ogre
// and Irrlicht meshes, raw pictures), so they are scenes only when named.
bool lists_in_folders(std::string_view extension);

// "*.3ds;*.obj;..." for a file dialog's filter.
std::string general_scene_patterns();

} // namespace trevanix
