#pragma once
// The objects of an Assimp scene: every mesh that a node places, once per
// node that places it, in world coordinates.
#include <string>
#include <vector>

#include <assimp/matrix4x4.h>
#include <assimp/scene.h>

namespace trevanix {

struct MeshInstance {
    unsigned mesh = 0;
    aiMatrix4x4 placement;  // the node's transforms up to the root, then `axes`
    std::string node_name;  // as Assimp gives it (UTF-8)
};

// Depth first, in the nodes' order; a node's meshes in its order. Mesh
// numbers beyond the scene's meshes are passed over.
std::vector<MeshInstance> mesh_instances(const aiScene& scene, const aiMatrix4x4& axes);

// Whether the placement turns the mesh inside out (a mirror: its linear
// part has a negative determinant).
bool mirrors(const aiMatrix4x4& placement) noexcept;

} // namespace trevanix
