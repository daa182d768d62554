#include "import/scene_axes.hpp"

#include <cstdint>
#include <optional>

namespace trevanix {

namespace {

struct DeclaredAxes {
    aiVector3D up, right;
};

std::optional<aiVector3D> axis(std::int32_t index, std::int32_t sign)
{
    if (index < 0 || index > 2 || (sign != 1 && sign != -1))
        return std::nullopt;
    aiVector3D v(0, 0, 0);
    v[static_cast<unsigned>(index)] = static_cast<float>(sign);
    return v;
}

std::optional<DeclaredAxes> fbx_axes(const aiScene& scene)
{
    if (scene.mMetaData == nullptr)
        return std::nullopt;
    std::int32_t up = 0, up_sign = 0, right = 0, right_sign = 0;
    if (!scene.mMetaData->Get("UpAxis", up) || !scene.mMetaData->Get("UpAxisSign", up_sign) ||
        !scene.mMetaData->Get("CoordAxis", right) || !scene.mMetaData->Get("CoordAxisSign", right_sign) ||
        up == right)
        return std::nullopt;
    const auto up_axis = axis(up, up_sign);
    const auto right_axis = axis(right, right_sign);
    if (!up_axis || !right_axis)
        return std::nullopt;
    return DeclaredAxes{*up_axis, *right_axis};
}

// Rows: the new X is the right axis, the new Z the up axis, and the new Y
// completes them as 3D Studio's right-handed axes do (Y = Z x X).
aiMatrix4x4 rotation_to(const DeclaredAxes& axes)
{
    const aiVector3D& x = axes.right;
    const aiVector3D& z = axes.up;
    const aiVector3D y = z ^ x;
    return aiMatrix4x4(x.x, x.y, x.z, 0, y.x, y.y, y.z, 0, z.x, z.y, z.z, 0, 0, 0, 0, 1);
}

} // namespace

aiMatrix4x4 to_3d_studio_axes(const aiScene& scene, std::string_view file_type)
{
    const DeclaredAxes y_up{aiVector3D(0, 1, 0), aiVector3D(1, 0, 0)};
    if (file_type == "fbx")
        return rotation_to(fbx_axes(scene).value_or(y_up));
    return rotation_to(y_up);
}

} // namespace trevanix
