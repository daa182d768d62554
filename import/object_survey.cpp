#include "import/object_survey.hpp"

#include <cmath>

namespace trevanix {

namespace {

bool finite(const aiVector3D& v) noexcept { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

} // namespace

// Every vertex of the mesh, in world coordinates.
bool ObjectSurveyor::numbers_are_finite(const aiMesh& mesh, const aiMatrix4x4& placement, bool mapped) const
{
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        if (!finite(world_position(placement, mesh.mVertices[v])))
            return false;
        if (mapped && (!std::isfinite(mesh.mTextureCoords[0][v].x) || !std::isfinite(mesh.mTextureCoords[0][v].y)))
            return false;
    }
    return true;
}

ObjectSurvey ObjectSurveyor::survey(const aiScene& scene, const MeshInstance& instance)
{
    ObjectSurvey out;
    const aiMesh& mesh = *scene.mMeshes[instance.mesh];
    out.mapped = mesh.HasTextureCoords(0);
    triangulator_.triangulate(mesh, mirrors(instance.placement), triangles_);
    out.dropped_faces = triangles_.dropped_faces;
    if (mesh.mNumVertices == 0 || mesh.mVertices == nullptr)
        out.check = GeneralCheck::ZeroVertices;
    else if (triangles_.triangles.empty())
        out.check = GeneralCheck::ZeroFaces;
    else if (mesh.mMaterialIndex >= scene.mNumMaterials)
        out.check = GeneralCheck::UnknownMaterial;
    else if (!numbers_are_finite(mesh, instance.placement, out.mapped))
        out.check = GeneralCheck::InvalidNumber;
    if (out.check != GeneralCheck::Passed)
        return out;
    out.faces = static_cast<std::int64_t>(triangles_.triangles.size());
    const std::size_t parts = part_count(triangles_.triangles.size());
    for (std::size_t k = 0; k < parts; ++k) {
        part_vertices_.collect(part_of(triangles_.triangles, k), mesh.mNumVertices);
        out.part_vertices.push_back(static_cast<std::int64_t>(part_vertices_.vertices().size()));
    }
    return out;
}

} // namespace trevanix
