#pragma once
// The checks of one object of a general scene, and the sizes it is written
// with, without writing it: what the analysis needs.
#include <cstdint>
#include <string_view>
#include <vector>

#include <assimp/scene.h>

#include "import/mesh_instances.hpp"
#include "import/object_parts.hpp"
#include "import/object_triangles.hpp"

namespace trevanix {

// The rules of the exact readers that have a meaning here, in their order,
// and the one the general reader adds.
enum class GeneralCheck {
    Passed,
    ZeroVertices,    // the mesh has no vertices
    ZeroFaces,       // no face of three corners or more (points and lines are no faces)
    UnknownMaterial, // the mesh's material is not in the scene's material list
    InvalidNumber,   // a position or texture coordinate is not a finite number
};

struct ObjectSurvey {
    GeneralCheck check = GeneralCheck::Passed;
    bool mapped = false;
    std::int64_t dropped_faces = 0; // points, lines and degenerate faces left out
    std::int64_t faces = 0;         // triangles written, over all parts
    std::vector<std::int64_t> part_vertices; // vertices written, per part
};

// A vertex's position in world coordinates, in 3D Studio's axes: the one
// function both the checks and the writing use, so they agree on every value.
inline aiVector3D world_position(const aiMatrix4x4& placement, const aiVector3D& local) noexcept
{
    return placement * local;
}

class ObjectSurveyor {
public:
    ObjectSurvey survey(const aiScene& scene, const MeshInstance& instance);

private:
    bool numbers_are_finite(const aiMesh& mesh, const aiMatrix4x4& placement, bool mapped) const;

    MeshTriangulator triangulator_;
    MeshTriangles triangles_;
    PartVertices part_vertices_;
};

} // namespace trevanix
