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

// One side of an edge: the triangle and which of its edges (0: AB, 1: BC, 2: CA).
struct HalfEdge {
    std::uint32_t low = 0, high = 0; // the position ids of its ends, low < high
    std::uint32_t triangle_and_edge = 0;
};

// Ids that are equal exactly for vertices at the same position.
std::vector<std::uint32_t> position_ids(std::span<const aiVector3D> positions)
{
    std::vector<std::uint32_t> order(positions.size());
    std::iota(order.begin(), order.end(), 0u);
    auto key = [&](std::uint32_t v) { return std::tie(positions[v].x, positions[v].y, positions[v].z); };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<std::uint32_t> ids(positions.size());
    std::uint32_t id = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && key(order[i]) != key(order[i - 1]))
            ++id;
        ids[order[i]] = id;
    }
    return ids;
}

bool same_normal(const aiVector3D& a, const aiVector3D& b) noexcept
{
    const double la = a.Length(), lb = b.Length();
    if (la == 0 || lb == 0)
        return a == b;
    return (static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z) /
               (la * lb) >=
           same_direction;
}

class UnionFind {
public:
    explicit UnionFind(std::size_t size) : parent_(size) { std::iota(parent_.begin(), parent_.end(), 0u); }
    std::uint32_t root(std::uint32_t x)
    {
        while (parent_[x] != x)
            x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    void join(std::uint32_t a, std::uint32_t b)
    {
        a = root(a);
        b = root(b);
        if (a != b)
            parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::uint32_t> parent_;
};

class GroupFinder {
public:
    GroupFinder(std::span<const aiVector3D> positions, std::span<const aiVector3D> normals,
                std::span<const ObjectTriangle> triangles)
        : positions_(positions), normals_(normals), triangles_(triangles), ids_(position_ids(positions)),
          surfaces_(triangles.size())
    {
    }

    std::vector<std::uint8_t> run()
    {
        join_smooth_edges();
        return colour_surfaces();
    }

private:
    std::uint32_t end_vertex(std::uint32_t triangle_and_edge, int end) const
    {
        const ObjectTriangle& t = triangles_[triangle_and_edge >> 2];
        const std::uint32_t edge = triangle_and_edge & 3;
        return t.vertex[(edge + static_cast<std::uint32_t>(end)) % 3];
    }

    aiVector3D face_normal(std::uint32_t triangle) const
    {
        const ObjectTriangle& t = triangles_[triangle];
        const aiVector3D& a = positions_[t.vertex[0]];
        return (positions_[t.vertex[1]] - a) ^ (positions_[t.vertex[2]] - a);
    }

    // Both sides of the edge have the same normals at both of its ends.
    bool smooth(const HalfEdge& one, const HalfEdge& other) const
    {
        if (normals_.empty())
            return same_normal(face_normal(one.triangle_and_edge >> 2), face_normal(other.triangle_and_edge >> 2));
        for (const std::uint32_t end : {one.low, one.high}) {
            const std::uint32_t a = ids_[end_vertex(one.triangle_and_edge, 0)] == end
                                        ? end_vertex(one.triangle_and_edge, 0)
                                        : end_vertex(one.triangle_and_edge, 1);
            const std::uint32_t b = ids_[end_vertex(other.triangle_and_edge, 0)] == end
                                        ? end_vertex(other.triangle_and_edge, 0)
                                        : end_vertex(other.triangle_and_edge, 1);
            if (a != b && !same_normal(normals_[a], normals_[b]))
                return false;
        }
        return true;
    }

    std::vector<HalfEdge> half_edges() const
    {
        std::vector<HalfEdge> edges;
        edges.reserve(triangles_.size() * 3);
        for (std::uint32_t t = 0; t < triangles_.size(); ++t) {
            for (std::uint32_t e = 0; e < 3; ++e) {
                const std::uint32_t a = ids_[triangles_[t].vertex[e]];
                const std::uint32_t b = ids_[triangles_[t].vertex[(e + 1) % 3]];
                if (a != b)
                    edges.push_back({std::min(a, b), std::max(a, b), (t << 2) | e});
            }
        }
        std::sort(edges.begin(), edges.end(), [](const HalfEdge& x, const HalfEdge& y) {
            return std::tie(x.low, x.high, x.triangle_and_edge) < std::tie(y.low, y.high, y.triangle_and_edge);
        });
        return edges;
    }

    // Joins the triangles across smooth edges into surfaces, and notes the
    // pairs of triangles that meet at a hard edge.
    void join_smooth_edges()
    {
        const std::vector<HalfEdge> edges = half_edges();
        for (std::size_t start = 0; start < edges.size();) {
            std::size_t end = start + 1;
            while (end < edges.size() && edges[end].low == edges[start].low && edges[end].high == edges[start].high)
                ++end;
            // An edge of more than two faces: each side is set against the one before it.
            for (std::size_t k = start + 1; k < end; ++k) {
                const std::uint32_t a = edges[k - 1].triangle_and_edge >> 2, b = edges[k].triangle_and_edge >> 2;
                if (smooth(edges[k - 1], edges[k]))
                    surfaces_.join(a, b);
                else
                    hard_pairs_.emplace_back(a, b);
            }
            start = end;
        }
    }

    // Each surface the lowest group none of its neighbours across a hard
    // edge has taken yet; a lone triangle no group.
    std::vector<std::uint8_t> colour_surfaces()
    {
        const std::size_t n = triangles_.size();
        std::vector<std::uint32_t> surface(n), size(n, 0);
        for (std::uint32_t t = 0; t < n; ++t) {
            surface[t] = surfaces_.root(t);
            ++size[surface[t]];
        }
        std::vector<std::pair<std::uint32_t, std::uint32_t>> neighbours;
        neighbours.reserve(hard_pairs_.size() * 2);
        for (const auto& [a, b] : hard_pairs_) {
            const std::uint32_t sa = surface[a], sb = surface[b];
            if (sa != sb) {
                neighbours.emplace_back(sa, sb);
                neighbours.emplace_back(sb, sa);
            }
        }
        std::sort(neighbours.begin(), neighbours.end());
        neighbours.erase(std::unique(neighbours.begin(), neighbours.end()), neighbours.end());

        // A surface's id is its first triangle, so colouring in triangle
        // order colours surfaces in the order they start.
        std::vector<std::uint8_t> group_of_surface(n, 0);
        for (std::uint32_t s = 0; s < n; ++s) {
            if (surface[s] != s || size[s] < 2)
                continue;
            std::uint64_t used = 0;
            auto it = std::lower_bound(neighbours.begin(), neighbours.end(), std::make_pair(s, 0u));
            for (; it != neighbours.end() && it->first == s; ++it)
                if (const std::uint8_t g = group_of_surface[it->second]; g != 0)
                    used |= std::uint64_t{1} << g;
            std::uint8_t group = 1;
            while (group <= group_count && (used >> group & 1) != 0)
                ++group;
            group_of_surface[s] = group <= group_count ? group : 1;
        }
        std::vector<std::uint8_t> groups(n);
        for (std::uint32_t t = 0; t < n; ++t)
            groups[t] = group_of_surface[surface[t]];
        return groups;
    }

    std::span<const aiVector3D> positions_;
    std::span<const aiVector3D> normals_;
    std::span<const ObjectTriangle> triangles_;
    std::vector<std::uint32_t> ids_;
    UnionFind surfaces_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hard_pairs_;
};

} // namespace

std::vector<std::uint8_t> smoothing_groups(std::span<const aiVector3D> positions,
                                           std::span<const aiVector3D> normals,
                                           std::span<const ObjectTriangle> triangles)
{
    assert(normals.empty() || normals.size() == positions.size());
    return GroupFinder(positions, normals, triangles).run();
}

} // namespace trevanix
