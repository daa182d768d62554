#pragma once
// Reading a scene of another tool through Assimp, with the library's own
// post-processing steps configured for what an ".asc" object needs.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

namespace trevanix {

struct SceneReadingOptions {
    const std::atomic<bool>* stop = nullptr; // ends every file read once set (may be null)
    std::function<bool()> keep_going;        // asked while Assimp works; false stops the reading
};

// What the scene holds that an ".asc" scene cannot carry.
struct NotCarried {
    bool animation = false; // animations, skins or morph targets
    bool cameras = false;
    bool lights = false;
    bool vertex_colours = false;
    bool other_material_maps = false; // textures other than one base colour texture

    bool any() const noexcept { return animation || cameras || lights || vertex_colours || other_material_maps; }
};

struct SceneReading {
    // Owns the scene; kept as long as the scene is used.
    std::unique_ptr<Assimp::Importer> importer;
    const aiScene* scene = nullptr;
    NotCarried not_carried;
    bool stopped = false;
    std::string error; // Assimp's reason when the scene could not be read
};

// Reads the file, notes what it holds that is not carried, then applies the
// steps: the parts nobody writes are removed (vertex colours, tangents,
// bones, animations, cameras, lights, texture coordinates beyond the first
// set), identical vertices are joined, degenerate faces are reduced to the
// points or lines they are (and counted as dropped later, with the scene's
// own points and lines), and texture transforms are baked into the
// coordinates. Polygons stay polygons: their triangles, with the edges
// 3D Studio marks, are made later.
SceneReading read_scene_with_assimp(const std::string& path, const SceneReadingOptions& options);

// The notice given once for a scene that holds what is not carried, or ""
// when it holds nothing of it.
std::string not_carried_notice(const NotCarried& not_carried);

} // namespace trevanix
