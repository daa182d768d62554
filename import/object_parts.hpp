#pragma once
// Kolbrin2 imports at most 65535 faces an object: a longer run of triangles
// is written as parts, each an object of its own with the vertices it uses.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/kolbrin_limits.hpp"
#include "import/object_triangles.hpp"

namespace trevanix {

inline constexpr auto most_faces_per_object = static_cast<std::size_t>(kolbrin::most_faces_per_object);

// The number of parts `triangles` triangles are written as (at least one).
std::size_t part_count(std::size_t triangles) noexcept;
// Part k (0-based) of the triangles, in their order.
std::span<const ObjectTriangle> part_of(std::span<const ObjectTriangle> triangles, std::size_t k) noexcept;

// The vertices a part uses, in the order its triangles first use them, and
// each one's index among them. Reused from part to part: clearing costs the
// part's size, not the mesh's.
class PartVertices {
public:
    // Precondition: every vertex index of `part` is below `vertex_count`.
    void collect(std::span<const ObjectTriangle> part, std::size_t vertex_count);
    const std::vector<std::uint32_t>& vertices() const noexcept { return order_; }
    std::uint32_t index_of(std::uint32_t vertex) const noexcept { return index_[vertex]; }

private:
    static constexpr std::uint32_t unused = UINT32_MAX;
    std::vector<std::uint32_t> order_;
    std::vector<std::uint32_t> index_;
};

} // namespace trevanix
