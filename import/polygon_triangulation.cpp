#include "import/polygon_triangulation.hpp"

#include <cmath>

namespace trevanix {

namespace {

bool adjacent(std::uint32_t a, std::uint32_t b, std::uint32_t n) noexcept
{
    return b == (a + 1) % n || a == (b + 1) % n;
}

void append_fan(std::uint32_t n, std::vector<PolygonTriangle>& out)
{
    for (std::uint32_t k = 1; k + 1 < n; ++k)
        out.push_back(polygon_triangle(0, k, k + 1, n));
}

} // namespace

PolygonTriangle polygon_triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t n) noexcept
{
    return {{a, b, c}, {adjacent(a, b, n), adjacent(b, c, n), adjacent(c, a, n)}};
}

// The polygon seen along its normal (Newell's): the coordinate in which the
// normal is largest is dropped, and the sign of the area that is left says
// which way the polygon winds.
void PolygonTriangulator::project(std::span<const aiVector3D> corners)
{
    const std::size_t n = corners.size();
    double nx = 0, ny = 0, nz = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const aiVector3D& p = corners[i];
        const aiVector3D& q = corners[(i + 1) % n];
        nx += (static_cast<double>(p.y) - q.y) * (static_cast<double>(p.z) + q.z);
        ny += (static_cast<double>(p.z) - q.z) * (static_cast<double>(p.x) + q.x);
        nz += (static_cast<double>(p.x) - q.x) * (static_cast<double>(p.y) + q.y);
    }
    const double ax = std::fabs(nx), ay = std::fabs(ny), az = std::fabs(nz);
    points_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const aiVector3D& p = corners[i];
        if (az >= ax && az >= ay)
            points_[i] = {p.x, p.y};
        else if (ax >= ay)
            points_[i] = {p.y, p.z};
        else
            points_[i] = {p.z, p.x};
    }
    double area = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Point& p = points_[i];
        const Point& q = points_[(i + 1) % n];
        area += p.u * q.v - q.u * p.v;
    }
    winding_ = area > 0 ? 1 : area < 0 ? -1 : 0;
}

// How p, q, r turn, measured the polygon's way: positive when they turn as
// the polygon winds.
double PolygonTriangulator::turn(const Point& p, const Point& q, const Point& r) const noexcept
{
    return winding_ * ((q.u - p.u) * (r.v - p.v) - (q.v - p.v) * (r.u - p.u));
}

// The corner `at` is an ear: it turns the polygon's way, and no reflex
// corner left lies inside the triangle it cuts off or on its edges (a
// corner on the new diagonal would pinch the rest of the polygon in two).
bool PolygonTriangulator::is_ear(std::uint32_t before, std::uint32_t at, std::uint32_t after) const
{
    const Point& a = points_[before];
    const Point& b = points_[at];
    const Point& c = points_[after];
    if (turn(a, b, c) <= 0)
        return false;
    for (std::uint32_t k = next_[after]; k != before; k = next_[k]) {
        const Point& p = points_[k];
        const bool reflex = turn(points_[previous_[k]], p, points_[next_[k]]) <= 0;
        const bool at_a_corner = (p.u == a.u && p.v == a.v) || (p.u == b.u && p.v == b.v) || (p.u == c.u && p.v == c.v);
        if (reflex && !at_a_corner && turn(a, b, p) >= 0 && turn(b, c, p) >= 0 && turn(c, a, p) >= 0)
            return false;
    }
    return true;
}

void PolygonTriangulator::clip_ears(std::uint32_t n, std::vector<PolygonTriangle>& out)
{
    next_.resize(n);
    previous_.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        next_[i] = (i + 1) % n;
        previous_[i] = (i + n - 1) % n;
    }
    std::uint32_t at = 0;
    for (std::uint32_t left = n; left > 3; --left) {
        std::uint32_t tried = 0;
        while (tried < left && !is_ear(previous_[at], at, next_[at])) {
            at = next_[at];
            ++tried;
        }
        // No ear at all: the polygon crosses itself. The corner reached is
        // cut off anyway, so the polygon still gets its n - 2 triangles.
        const std::uint32_t before = previous_[at];
        const std::uint32_t after = next_[at];
        out.push_back(polygon_triangle(before, at, after, n));
        next_[before] = after;
        previous_[after] = before;
        at = after;
    }
    out.push_back(polygon_triangle(previous_[at], at, next_[at], n));
}

void PolygonTriangulator::triangulate(std::span<const aiVector3D> corners, std::vector<PolygonTriangle>& out)
{
    const auto n = static_cast<std::uint32_t>(corners.size());
    if (n < 3)
        return;
    if (n == 3) {
        out.push_back(polygon_triangle(0, 1, 2, 3));
        return;
    }
    if (n > ear_clipping_limit) {
        append_fan(n, out);
        return;
    }
    project(corners);
    if (winding_ == 0) {
        append_fan(n, out);
        return;
    }
    clip_ears(n, out);
}

} // namespace trevanix
