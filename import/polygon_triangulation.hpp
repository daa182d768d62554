#pragma once
// Triangles of one polygon, with the edge flags 3D Studio writes: an edge
// of a triangle that is an edge of the polygon is visible (1), a diagonal
// added inside the polygon is hidden (0).
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include <assimp/vector3.h>

namespace trevanix {

struct PolygonTriangle {
    std::array<std::uint32_t, 3> corner; // positions in the polygon, 0 to n - 1, in its winding
    std::array<bool, 3> polygon_edge;    // AB, BC, CA: an edge of the polygon (not a diagonal)
};

// Cuts polygons into triangles by ear clipping in each polygon's own plane.
// Keeps its working memory from polygon to polygon.
class PolygonTriangulator {
public:
    // Polygons of more corners are cut as a fan from their first corner:
    // ear clipping costs up to the cube of the corners.
    static constexpr std::size_t ear_clipping_limit = 256;

    // Appends the n - 2 triangles of the polygon whose corners are given in
    // order (n >= 3; nothing for fewer). A simple polygon, convex or not,
    // gets triangles inside it that keep its winding; a polygon without an
    // area, or one that crosses itself, still gets n - 2 triangles.
    void triangulate(std::span<const aiVector3D> corners, std::vector<PolygonTriangle>& out);

private:
    struct Point {
        double u = 0, v = 0;
    };

    void project(std::span<const aiVector3D> corners);
    double turn(const Point& p, const Point& q, const Point& r) const noexcept;
    bool is_ear(std::uint32_t before, std::uint32_t at, std::uint32_t after) const;
    void clip_ears(std::uint32_t n, std::vector<PolygonTriangle>& out);

    std::vector<Point> points_;
    std::vector<std::uint32_t> next_, previous_;
    double winding_ = 1; // the sign of the projected polygon's area
};

// The triangle of corners a, b, c of an n-gon, with its polygon edges marked.
PolygonTriangle polygon_triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t n) noexcept;

} // namespace trevanix
