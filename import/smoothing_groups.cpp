#include "import/smoothing_groups.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numeric>
#include <tuple>

namespace trevanix {

namespace {

constexpr int group_count = 32;
// Normals closer than about 0.8 degrees count as the same: exporters write
// one normal for a smooth vertex, but texture seams and transforms can leave
// the copies a rounding apart.
constexpr double same_direction = 0.9999;

bool same_normal(const aiVector3D& a, const aiVector3D& b) noexcept
{
    const double la = a.Length(), lb = b.Length();
    if (la == 0 || lb == 0)
        return a == b;
    return (static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z) /
               (la * lb) >=
           same_direction;
}

} // namespace

// Ids that are equal exactly for vertices at the same position.
void SmoothingGroupFinder::number_positions(std::span<const aiVector3D> positions)
{
    order_.resize(positions.size());
    std::iota(order_.begin(), order_.end(), 0u);
    auto key = [&](std::uint32_t v) { return std::tie(positions[v].x, positions[v].y, positions[v].z); };
    std::sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    ids_.resize(positions.size());
    std::uint32_t id = 0;
    for (std::size_t i = 0; i < order_.size(); ++i) {
        if (i > 0 && key(order_[i]) != key(order_[i - 1]))
            ++id;
        ids_[order_[i]] = id;
    }
}

// The half edges in the order of their ends. They are bucketed by their
// lower end first (a counting sort, linear in the edges), so that only the
// few edges that share a lower end are compared.
void SmoothingGroupFinder::collect_half_edges(std::span<const ObjectTriangle> triangles)
{
    unsorted_.clear();
    unsorted_.reserve(triangles.size() * 3);
    for (std::uint32_t t = 0; t < triangles.size(); ++t) {
        for (std::uint32_t e = 0; e < 3; ++e) {
            const std::uint64_t a = ids_[triangles[t].vertex[e]];
            const std::uint64_t b = ids_[triangles[t].vertex[(e + 1) % 3]];
            if (a != b)
                unsorted_.push_back({std::min(a, b) << 32 | std::max(a, b), (t << 2) | e});
        }
    }
    bucket_start_.assign(order_.size() + 1, 0);
    for (const HalfEdge& edge : unsorted_)
        ++bucket_start_[(edge.ends >> 32) + 1];
    std::partial_sum(bucket_start_.begin(), bucket_start_.end(), bucket_start_.begin());
    edges_.resize(unsorted_.size());
    for (const HalfEdge& edge : unsorted_)
        edges_[bucket_start_[edge.ends >> 32]++] = edge;
    auto by_ends = [](const HalfEdge& x, const HalfEdge& y) {
        return x.ends != y.ends ? x.ends < y.ends : x.triangle_and_edge < y.triangle_and_edge;
    };
    for (std::size_t start = 0; start < edges_.size();) {
        std::size_t end = start + 1;
        while (end < edges_.size() && edges_[end].ends >> 32 == edges_[start].ends >> 32)
            ++end;
        const auto first = edges_.begin() + static_cast<std::ptrdiff_t>(start);
        std::sort(first, first + static_cast<std::ptrdiff_t>(end - start), by_ends);
        start = end;
    }
}

// Both sides of the edge have the same normals at both of its ends.
bool SmoothingGroupFinder::smooth(const HalfEdge& one, const HalfEdge& other) const
{
    auto vertex = [this](std::uint32_t triangle_and_edge, std::uint32_t end) {
        const ObjectTriangle& t = triangles_[triangle_and_edge >> 2];
        return t.vertex[((triangle_and_edge & 3) + end) % 3];
    };
    if (normals_.empty()) {
        auto face_normal = [this](std::uint32_t triangle) {
            const ObjectTriangle& t = triangles_[triangle];
            const aiVector3D& a = positions_[t.vertex[0]];
            return (positions_[t.vertex[1]] - a) ^ (positions_[t.vertex[2]] - a);
        };
        return same_normal(face_normal(one.triangle_and_edge >> 2), face_normal(other.triangle_and_edge >> 2));
    }
    for (const std::uint32_t end : {0u, 1u}) {
        // The same end of the edge on both sides: the vertex at the same position.
        const std::uint32_t a = vertex(one.triangle_and_edge, end);
        const std::uint32_t other_first = vertex(other.triangle_and_edge, 0);
        const std::uint32_t b = ids_[other_first] == ids_[a] ? other_first : vertex(other.triangle_and_edge, 1);
        if (a != b && !same_normal(normals_[a], normals_[b]))
            return false;
    }
    return true;
}

std::uint32_t SmoothingGroupFinder::root(std::uint32_t triangle)
{
    while (parent_[triangle] != triangle)
        triangle = parent_[triangle] = parent_[parent_[triangle]];
    return triangle;
}

// Joins the triangles across smooth edges into surfaces (a surface's root is
// its first triangle), and notes the pairs of triangles that meet at a hard edge.
void SmoothingGroupFinder::join_smooth_edges()
{
    parent_.resize(triangles_.size());
    std::iota(parent_.begin(), parent_.end(), 0u);
    hard_pairs_.clear();
    for (std::size_t start = 0; start < edges_.size();) {
        std::size_t end = start + 1;
        while (end < edges_.size() && edges_[end].ends == edges_[start].ends)
            ++end;
        // An edge of more than two faces: each side is set against the one before it.
        for (std::size_t k = start + 1; k < end; ++k) {
            const std::uint32_t a = edges_[k - 1].triangle_and_edge >> 2, b = edges_[k].triangle_and_edge >> 2;
            if (smooth(edges_[k - 1], edges_[k])) {
                const std::uint32_t ra = root(a), rb = root(b);
                parent_[std::max(ra, rb)] = std::min(ra, rb);
            } else {
                hard_pairs_.emplace_back(a, b);
            }
        }
        start = end;
    }
}

// Each surface the lowest group none of its neighbours across a hard edge
// has taken yet, surface by surface in the order they start; a lone triangle
// no group.
void SmoothingGroupFinder::colour_surfaces()
{
    const auto n = static_cast<std::uint32_t>(triangles_.size());
    size_.assign(n, 0);
    for (std::uint32_t t = 0; t < n; ++t)
        ++size_[parent_[t] = root(t)];
    neighbours_.clear();
    for (const auto& [a, b] : hard_pairs_) {
        if (parent_[a] != parent_[b]) {
            neighbours_.emplace_back(parent_[a], parent_[b]);
            neighbours_.emplace_back(parent_[b], parent_[a]);
        }
    }
    std::sort(neighbours_.begin(), neighbours_.end());
    neighbours_.erase(std::unique(neighbours_.begin(), neighbours_.end()), neighbours_.end());
    group_of_surface_.assign(n, 0);
    auto next = neighbours_.begin();
    for (std::uint32_t s = 0; s < n; ++s) {
        std::uint64_t used = 0;
        for (; next != neighbours_.end() && next->first == s; ++next)
            if (const std::uint8_t g = group_of_surface_[next->second]; g != 0)
                used |= std::uint64_t{1} << g;
        if (parent_[s] != s || size_[s] < 2)
            continue;
        std::uint8_t group = 1;
        while (group <= group_count && (used >> group & 1) != 0)
            ++group;
        group_of_surface_[s] = group <= group_count ? group : 1;
    }
    groups_.resize(n);
    for (std::uint32_t t = 0; t < n; ++t)
        groups_[t] = group_of_surface_[parent_[t]];
}

const std::vector<std::uint8_t>& SmoothingGroupFinder::find(std::span<const aiVector3D> positions,
                                                             std::span<const aiVector3D> normals,
                                                             std::span<const ObjectTriangle> triangles)
{
    assert(normals.empty() || normals.size() == positions.size());
    assert(triangles.size() < (std::size_t{1} << 30));
    positions_ = positions;
    normals_ = normals;
    triangles_ = triangles;
    number_positions(positions);
    collect_half_edges(triangles);
    join_smooth_edges();
    colour_surfaces();
    return groups_;
}

std::vector<std::uint8_t> smoothing_groups(std::span<const aiVector3D> positions,
                                           std::span<const aiVector3D> normals,
                                           std::span<const ObjectTriangle> triangles)
{
    SmoothingGroupFinder finder;
    return finder.find(positions, normals, triangles);
}

} // namespace trevanix
