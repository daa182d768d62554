#pragma once
// Smoothing groups from a mesh's normals, as 3D Studio's "Smoothing:" lines
// carry them: faces across an edge whose normals are the same on both sides
// share a group, and a hard edge (normals that differ) separates them.
#include <cstdint>
#include <span>
#include <vector>

#include <assimp/vector3.h>

#include "import/object_triangles.hpp"

namespace trevanix {

// The group of each triangle, in the triangles' order. The triangles that
// smooth edges join into one surface share one group, 1 to 32; two surfaces
// that meet at a hard edge get different groups (3D Studio has 32, so only a
// surface with more than 31 neighbours can run out of them and share one). A
// triangle with no smooth edge at all gets 0, no group.
//
// Edges are found by the positions of their ends, so faces that meet with
// vertices of their own (split normals, texture seams) still meet. The
// normals compared are `normals` at the edge's ends (indexed like
// `positions`); without them, the faces' own normals.
// Precondition: every vertex index of `triangles` is within `positions` (and `normals`).
std::vector<std::uint8_t> smoothing_groups(std::span<const aiVector3D> positions,
                                           std::span<const aiVector3D> normals,
                                           std::span<const ObjectTriangle> triangles);

} // namespace trevanix
