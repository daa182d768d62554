#pragma once
// 3D Studio's axes for every scene: X right, Y away from the viewer, Z up.
#include <string_view>

#include <assimp/matrix4x4.h>
#include <assimp/scene.h>

namespace trevanix {

// The rotation that brings the scene, as Assimp gives it, into 3D Studio's
// axes. Assimp presents scenes Y up: glTF and OBJ are so by convention,
// and its Collada, 3DS and ASE readers turn their files' own axes (the up
// axis a Collada file declares, Z up for 3DS and ASE) into Y up. Those are
// rotated (X, Y, Z) -> (X, -Z, Y), which gives 3DS and ASE back exactly and
// a Collada file its declared up axis. Its FBX reader keeps the axes the
// file declares instead (UpAxis, CoordAxis and their signs in the scene's
// metadata): the declared up axis becomes Z and the declared right axis X.
aiMatrix4x4 to_3d_studio_axes(const aiScene& scene, std::string_view file_type);

} // namespace trevanix
