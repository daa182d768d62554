#include "import/object_parts.hpp"

#include <algorithm>

namespace trevanix {

std::size_t part_count(std::size_t triangles) noexcept
{
    return triangles == 0 ? 1 : (triangles + most_faces_per_object - 1) / most_faces_per_object;
}

std::span<const ObjectTriangle> part_of(std::span<const ObjectTriangle> triangles, std::size_t k) noexcept
{
    const std::size_t begin = std::min(triangles.size(), k * most_faces_per_object);
    const std::size_t size = std::min(most_faces_per_object, triangles.size() - begin);
    return triangles.subspan(begin, size);
}

void PartVertices::collect(std::span<const ObjectTriangle> part, std::size_t vertex_count)
{
    for (const std::uint32_t vertex : order_)
        index_[vertex] = unused;
    order_.clear();
    if (index_.size() < vertex_count)
        index_.resize(vertex_count, unused);
    for (const ObjectTriangle& t : part)
        for (const std::uint32_t vertex : t.vertex)
            if (index_[vertex] == unused) {
                index_[vertex] = static_cast<std::uint32_t>(order_.size());
                order_.push_back(vertex);
            }
}

} // namespace trevanix
