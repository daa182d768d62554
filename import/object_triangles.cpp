#include "import/object_triangles.hpp"

namespace trevanix {

namespace {

std::uint8_t edge_bits(const PolygonTriangle& piece) noexcept
{
    return static_cast<std::uint8_t>((piece.polygon_edge[0] ? 1 : 0) | (piece.polygon_edge[1] ? 2 : 0) |
                                     (piece.polygon_edge[2] ? 4 : 0));
}

// A, C, B: the edges AB, BC, CA become CA', BC', AB'.
ObjectTriangle reversed(const ObjectTriangle& t) noexcept
{
    const std::uint8_t ab = t.polygon_edges & 1, bc = (t.polygon_edges >> 1) & 1, ca = (t.polygon_edges >> 2) & 1;
    return {{t.vertex[0], t.vertex[2], t.vertex[1]}, static_cast<std::uint8_t>(ca | (bc << 1) | (ab << 2))};
}

bool names_only_mesh_vertices(const aiFace& face, unsigned vertex_count) noexcept
{
    for (unsigned k = 0; k < face.mNumIndices; ++k)
        if (face.mIndices[k] >= vertex_count)
            return false;
    return true;
}

} // namespace

void MeshTriangulator::triangulate(const aiMesh& mesh, bool mirrored, MeshTriangles& out)
{
    out.triangles.clear();
    out.dropped_faces = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices < 3 || face.mIndices == nullptr || !names_only_mesh_vertices(face, mesh.mNumVertices)) {
            ++out.dropped_faces;
            continue;
        }
        pieces_.clear();
        if (face.mNumIndices == 3) {
            pieces_.push_back(polygon_triangle(0, 1, 2, 3));
        } else {
            corners_.resize(face.mNumIndices);
            for (unsigned k = 0; k < face.mNumIndices; ++k)
                corners_[k] = mesh.mVertices[face.mIndices[k]];
            polygons_.triangulate(corners_, pieces_);
        }
        for (const PolygonTriangle& piece : pieces_) {
            ObjectTriangle t{{face.mIndices[piece.corner[0]], face.mIndices[piece.corner[1]],
                              face.mIndices[piece.corner[2]]},
                             edge_bits(piece)};
            out.triangles.push_back(mirrored ? reversed(t) : t);
        }
    }
}

} // namespace trevanix
