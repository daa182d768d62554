#pragma once
// A scene the general reader has read and checked, held between its
// analysis and its conversion so that Assimp reads it once: the scene, its
// objects as they are written, and the catalogue's textures.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <assimp/matrix4x4.h>

#include "import/scene_reading.hpp"
#include "import/texture_sources.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

// Enough of a file's state to tell that it was written to.
struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified_seconds = 0, modified_nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> stamp_of(const std::string& path);

struct PlannedObject {
    unsigned mesh = 0;
    aiMatrix4x4 placement; // world coordinates in 3D Studio's axes
    bool mirrored = false;
    bool mapped = false;   // the mesh has texture coordinates: vertices carry U and V
    bool valid = false;
    std::vector<std::string> part_names; // the objects it is written as: one, or NAME_1, NAME_2, ...
};

struct PlannedTexture {
    TextureSource source;
    std::string name;    // the texture text of its catalogue cell (8-bit scene text)
    std::string picture; // its file name in TIFFRGB, as on disk
    bool readable = false;
};

class ImportedScene : public HeldScene {
public:
    std::string path;
    std::string folder;
    FileStamp stamp;
    SceneReading reading;
    std::vector<PlannedObject> objects;
    // Per Assimp material: the name its faces' "Material:" lines carry, ""
    // for a material without a texture (no line).
    std::vector<std::string> material_lines;
    std::vector<PlannedTexture> textures;

    const aiScene& scene() const noexcept { return *reading.scene; }
};

} // namespace trevanix
