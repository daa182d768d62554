#include "import/mesh_instances.hpp"

#include <utility>

namespace trevanix {

std::vector<MeshInstance> mesh_instances(const aiScene& scene, const aiMatrix4x4& axes)
{
    std::vector<MeshInstance> instances;
    if (scene.mRootNode == nullptr)
        return instances;
    // A stack rather than recursion: a scene may nest its nodes very deep.
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending{{scene.mRootNode, axes}};
    while (!pending.empty()) {
        const auto [node, parent] = pending.back();
        pending.pop_back();
        const aiMatrix4x4 placement = parent * node->mTransformation;
        for (unsigned k = 0; k < node->mNumMeshes; ++k)
            if (node->mMeshes[k] < scene.mNumMeshes)
                instances.push_back({node->mMeshes[k], placement, node->mName.C_Str()});
        for (unsigned k = node->mNumChildren; k > 0; --k)
            if (node->mChildren[k - 1] != nullptr)
                pending.emplace_back(node->mChildren[k - 1], placement);
    }
    return instances;
}

bool mirrors(const aiMatrix4x4& placement) noexcept
{
    const aiMatrix4x4& m = placement;
    auto cross2 = [](double a, double b, double c, double d) { return a * d - b * c; };
    const double det = m.a1 * cross2(m.b2, m.b3, m.c2, m.c3) - m.a2 * cross2(m.b1, m.b3, m.c1, m.c3) +
                       m.a3 * cross2(m.b1, m.b2, m.c1, m.c2);
    return det < 0;
}

} // namespace trevanix
