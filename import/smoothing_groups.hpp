#pragma once
// Smoothing groups from a mesh's normals, as 3D Studio's "Smoothing:" lines
// carry them: faces across an edge whose normals are the same on both sides
// share a group, and a hard edge (normals that differ) separates them.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include <assimp/vector3.h>

#include "import/object_triangles.hpp"

namespace trevanix {

// Finds the groups of one mesh after another, keeping its working memory
// from mesh to mesh.
class SmoothingGroupFinder {
public:
    // The group of each triangle, in the triangles' order. The triangles that
    // smooth edges join into one surface share one group, 1 to 32; two
    // surfaces that meet at a hard edge get different groups (3D Studio has
    // 32, so only a surface with more than 31 neighbours can run out of them
    // and share one). A triangle with no smooth edge at all gets 0, no group.
    //
    // Edges are found by the positions of their ends, so faces that meet with
    // vertices of their own (split normals, texture seams) still meet. The
    // normals compared are `normals` at the edge's ends (indexed like
    // `positions`); without them, the faces' own normals.
    // Preconditions: the positions are finite numbers; every vertex index of
    // `triangles` is within `positions` (and `normals`); fewer than 2^30 triangles.
    const std::vector<std::uint8_t>& find(std::span<const aiVector3D> positions, std::span<const aiVector3D> normals,
                                          std::span<const ObjectTriangle> triangles);

private:
    // One side of an edge: the position ids of its ends (the lower in the
    // high half), and its triangle and which of its edges (0: AB, 1: BC, 2: CA).
    struct HalfEdge {
        std::uint64_t ends = 0;
        std::uint32_t triangle_and_edge = 0;
    };

    void number_positions(std::span<const aiVector3D> positions);
    void collect_half_edges(std::span<const ObjectTriangle> triangles);
    bool smooth(const HalfEdge& one, const HalfEdge& other) const;
    std::uint32_t root(std::uint32_t triangle);
    void join_smooth_edges();
    void colour_surfaces();

    std::span<const aiVector3D> positions_, normals_;
    std::span<const ObjectTriangle> triangles_;
    std::vector<std::uint32_t> ids_, order_;
    std::vector<HalfEdge> unsorted_, edges_;
    std::vector<std::size_t> bucket_start_;
    std::vector<std::uint32_t> parent_, size_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hard_pairs_, neighbours_;
    std::vector<std::uint8_t> group_of_surface_, groups_;
};

// The groups of one mesh; see SmoothingGroupFinder::find.
std::vector<std::uint8_t> smoothing_groups(std::span<const aiVector3D> positions,
                                           std::span<const aiVector3D> normals,
                                           std::span<const ObjectTriangle> triangles);

} // namespace trevanix
