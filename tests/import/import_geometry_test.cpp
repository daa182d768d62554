// The general reader's geometry and texts: polygons cut into triangles with
// 3D Studio's edge flags, smoothing groups from normals, number texts that
// read back exactly, and names Kolbrin2 can quote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "import/number_text.hpp"
#include "import/polygon_triangulation.hpp"
#include "import/scene_text.hpp"
#include "import/smoothing_groups.hpp"

using namespace trevanix;

namespace {

aiVector3D newell_normal(const std::vector<aiVector3D>& p)
{
    aiVector3D n(0, 0, 0);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const aiVector3D& a = p[i];
        const aiVector3D& b = p[(i + 1) % p.size()];
        n += aiVector3D((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
    }
    return n;
}

// In the plane z = 0, or turned into another plane.
std::vector<aiVector3D> flat(std::initializer_list<std::pair<float, float>> corners)
{
    std::vector<aiVector3D> out;
    for (const auto& [x, y] : corners)
        out.emplace_back(x, y, 0.0f);
    return out;
}
std::vector<aiVector3D> turned(std::vector<aiVector3D> p)
{
    for (aiVector3D& v : p)
        v = aiVector3D(0.5f * v.z + 3, v.x, 0.8f * v.y - 0.6f * v.x);
    return p;
}
std::vector<aiVector3D> reversed(std::vector<aiVector3D> p) { return {p.rbegin(), p.rend()}; }

const std::vector<aiVector3D> l_shape = flat({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});

struct PolygonCase {
    const char* name;
    std::vector<aiVector3D> corners;
};

class Triangulation : public ::testing::TestWithParam<PolygonCase> {};

// Ear clipping that is right covers the polygon exactly once: the triangles'
// areas add up to the polygon's, each turns the polygon's way, and every
// polygon edge is visible once while each diagonal is hidden on both sides.
TEST_P(Triangulation, CoversThePolygonOnceAndHidesOnlyDiagonals)
{
    const auto& p = GetParam().corners;
    const auto n = static_cast<std::uint32_t>(p.size());
    std::vector<PolygonTriangle> triangles;
    PolygonTriangulator().triangulate(p, triangles);
    ASSERT_EQ(triangles.size(), n - 2);
    const aiVector3D normal = newell_normal(p);
    double area = 0;
    int visible = 0, hidden = 0;
    for (const PolygonTriangle& t : triangles) {
        const aiVector3D& a = p[t.corner[0]];
        const aiVector3D cross = (p[t.corner[1]] - a) ^ (p[t.corner[2]] - a);
        EXPECT_GE(cross * normal, -1e-4f) << "a triangle turns against the polygon";
        area += cross.Length() / 2;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t from = t.corner[k], to = t.corner[(k + 1) % 3];
            const bool polygon_edge = (from + 1) % n == to || (to + 1) % n == from;
            EXPECT_EQ(t.polygon_edge[k], polygon_edge);
            (t.polygon_edge[k] ? visible : hidden) += 1;
        }
    }
    EXPECT_NEAR(area, normal.Length() / 2, 1e-4);
    EXPECT_EQ(visible, static_cast<int>(n));
    EXPECT_EQ(hidden, 2 * (static_cast<int>(n) - 3));
}

INSTANTIATE_TEST_SUITE_P(
    Polygons, Triangulation,
    ::testing::Values(PolygonCase{"triangle", flat({{0, 0}, {1, 0}, {0, 1}})},
                      PolygonCase{"square", flat({{0, 0}, {1, 0}, {1, 1}, {0, 1}})},
                      PolygonCase{"dart", flat({{0, 0}, {4, 2}, {0, 4}, {1, 2}})},
                      PolygonCase{"l_shape", l_shape}, PolygonCase{"l_shape_clockwise", reversed(l_shape)},
                      PolygonCase{"l_shape_in_a_tilted_plane", turned(l_shape)},
                      PolygonCase{"u_shape", flat({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}})},
                      PolygonCase{"star", turned(flat({{0, 5}, {1, 1}, {5, 0}, {1, -1}, {0, -5}, {-1, -1}, {-5, 0},
                                                       {-1, 1}}))},
                      PolygonCase{"collinear", flat({{0, 0}, {1, 0}, {2, 0}, {3, 0}})}),
    [](const auto& test) { return std::string(test.param.name); });

// ---- smoothing groups ----------------------------------------------------------

// A unit cube: 8 corners, 6 sides of two triangles each (a side's diagonal
// runs from its first to its third corner). Sides 0 and 1 face each other,
// as do 2 and 4, and 3 and 5; every other pair meets at an edge.
const aiVector3D cube_corners[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
const int cube_sides[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};

struct Mesh {
    std::vector<aiVector3D> positions, normals;
    std::vector<ObjectTriangle> triangles;
};

// With `split_normals`, each side has four vertices of its own with the
// side's normal; otherwise the eight corners are shared and there are no normals.
Mesh cube(bool split_normals)
{
    Mesh m;
    if (!split_normals)
        m.positions.assign(std::begin(cube_corners), std::end(cube_corners));
    for (const auto& side : cube_sides) {
        const aiVector3D& a = cube_corners[side[0]];
        const aiVector3D normal = ((cube_corners[side[1]] - a) ^ (cube_corners[side[2]] - a)).Normalize();
        std::uint32_t v[4];
        for (int i = 0; i < 4; ++i) {
            v[i] = static_cast<std::uint32_t>(split_normals ? m.positions.size() : side[i]);
            if (split_normals) {
                m.positions.push_back(cube_corners[side[i]]);
                m.normals.push_back(normal);
            }
        }
        m.triangles.push_back({{v[0], v[1], v[2]}, 3});
        m.triangles.push_back({{v[0], v[2], v[3]}, 6});
    }
    return m;
}

// A UV sphere with smooth normals, its seam made of vertices of their own.
Mesh sphere()
{
    Mesh m;
    const int rings = 8, segments = 12;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const double theta = M_PI * r / rings, phi = 2 * M_PI * (s % segments) / segments;
            const aiVector3D p(static_cast<float>(std::sin(theta) * std::cos(phi)),
                               static_cast<float>(std::sin(theta) * std::sin(phi)),
                               static_cast<float>(std::cos(theta)));
            m.positions.push_back(p);
            m.normals.push_back(p);
        }
    auto at = [&](int r, int s) { return static_cast<std::uint32_t>(r * (segments + 1) + s); };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            if (r > 0)
                m.triangles.push_back({{at(r, s), at(r + 1, s), at(r, s + 1)}, 7});
            if (r + 1 < rings)
                m.triangles.push_back({{at(r, s + 1), at(r + 1, s), at(r + 1, s + 1)}, 7});
        }
    return m;
}

std::vector<std::uint8_t> groups_of(const Mesh& m) { return smoothing_groups(m.positions, m.normals, m.triangles); }

TEST(SmoothingGroups, ACubeGivesEachSideAGroupThatNoAdjacentSideShares)
{
    for (const bool split_normals : {true, false}) {
        SCOPED_TRACE(split_normals ? "split normals" : "no normals");
        const std::vector<std::uint8_t> g = groups_of(cube(split_normals));
        ASSERT_EQ(g.size(), 12u);
        for (int side = 0; side < 6; ++side) {
            EXPECT_NE(g[2 * side], 0);
            EXPECT_EQ(g[2 * side], g[2 * side + 1]);
        }
        for (int a = 0; a < 6; ++a)
            for (int b = a + 1; b < 6; ++b)
                if (!((a == 0 && b == 1) || (a == 2 && b == 4) || (a == 3 && b == 5))) {
                    EXPECT_NE(g[2 * a], g[2 * b]) << "sides " << a << " and " << b;
                }
    }
}

TEST(SmoothingGroups, ASphereIsOneGroupAcrossItsSeam)
{
    const std::vector<std::uint8_t> g = groups_of(sphere());
    EXPECT_NE(g.front(), 0);
    EXPECT_EQ(std::count(g.begin(), g.end(), g.front()), static_cast<long>(g.size()));
}

TEST(SmoothingGroups, TrianglesWithOnlyHardEdgesGetNoGroup)
{
    Mesh folded;
    folded.positions = {aiVector3D(0, 0, 0), aiVector3D(1, 0, 0), aiVector3D(0, 1, 0), aiVector3D(0, 0, 1)};
    folded.triangles = {{{0, 1, 2}, 7}, {{1, 0, 3}, 7}};
    EXPECT_EQ(groups_of(folded), (std::vector<std::uint8_t>{0, 0}));
}

// ---- texts ---------------------------------------------------------------------

TEST(NumberText, IsTheShortestPlainDecimalThatReadsBack)
{
    const std::pair<float, const char*> table[] = {
        {0.1f, "0.1"},   {-2.25f, "-2.25"},      {100.0f, "100"}, {-0.0f, "0"},
        {1e-7f, "0.0000001"}, {3.4028235e38f, "340282346638528859811704183484516925440"},
    };
    for (const auto& [value, text] : table) {
        std::string out;
        append_number_text(out, value);
        EXPECT_EQ(out, text);
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int i = 0; i < 20000; ++i) {
        float value = 0;
        const std::uint32_t b = bits(random);
        std::memcpy(&value, &b, sizeof value);
        if (!std::isfinite(value))
            continue;
        std::string out;
        append_number_text(out, value);
        ASSERT_EQ(out.find_first_of("eE"), std::string::npos) << out;
        ASSERT_EQ(std::strtof(out.c_str(), nullptr), value == 0 ? 0.0f : value) << out;
    }
}

TEST(SceneNames, AreEightBitFreeOfQuotesAndUnique)
{
    const std::pair<const char*, const char*> texts[] = {
        {"W\xC3\xBCrfel", "W\xFCrfel"},         // UTF-8 becomes Windows-1252
        {"\xE2\x82\xAC 5", "\x80 5"},           // the euro sign has its 8-bit byte
        {"\xE6\x97\xA5", "_"},                  // a character the code page lacks
        {"caf\xE9", "caf\xE9"},                 // not UTF-8: already 8-bit
        {"say \"hi\"\r\n", "say hi"},           // no quotes, no line ends
        {"wood , dark", "wood, dark"},          // no cell separator
    };
    for (const auto& [from, to] : texts)
        EXPECT_EQ(clean_name(scene_text_from_utf8(from)), to) << from;
    UniqueNames names;
    EXPECT_EQ(names.claim("box"), "box");
    EXPECT_EQ(names.claim("box"), "box_2");
    EXPECT_EQ(names.claim("box_2"), "box_2_2");
    EXPECT_EQ(names.claim("box"), "box_3");
}

} // namespace
