#pragma once
// The faces of one Assimp mesh as the triangles an ".asc" object holds.
#include <array>
#include <cstdint>
#include <vector>

#include <assimp/mesh.h>

#include "import/polygon_triangulation.hpp"

namespace trevanix {

struct ObjectTriangle {
    std::array<std::uint32_t, 3> vertex; // indices into the mesh's vertices
    std::uint8_t polygon_edges = 0;      // bit 0: AB, bit 1: BC, bit 2: CA is an edge of the source polygon
};

struct MeshTriangles {
    std::vector<ObjectTriangle> triangles;
    // Faces left out: points, lines, and the degenerate faces that Assimp's
    // FindDegenerates step reduced to points or lines; also any face naming
    // a vertex the mesh does not have.
    std::int64_t dropped_faces = 0;
};

// Triangulates every face of three or more corners in the mesh's order (a
// polygon by ear clipping in its plane). `mirrored`: the mesh is placed by a
// transform that mirrors it, so every triangle's winding is reversed to keep
// its front facing out.
class MeshTriangulator {
public:
    void triangulate(const aiMesh& mesh, bool mirrored, MeshTriangles& out);

private:
    PolygonTriangulator polygons_;
    std::vector<aiVector3D> corners_;
    std::vector<PolygonTriangle> pieces_;
};

} // namespace trevanix
