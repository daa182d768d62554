#include <gtest/gtest.h>

#include "format/asc_lines.hpp"
#include "convert/vertex_lines.hpp"

using namespace trevanix;

namespace {

std::string axis(std::string_view line, bool mapped)
{
    std::string out;
    return append_axis_flipped(out, line, mapped) ? out : "<refused>";
}

std::string texture(std::string_view line)
{
    std::string out;
    return append_texture_flipped(out, line) ? out : "<refused>";
}

} // namespace

TEST(Processar, SplitsValueTextsAtTheirLabels)
{
    struct Case {
        const char* line;
        const char *x, *y, *z, *u, *v;
        bool has_uv;
    };
    const Case cases[] = {
        {":  X:1.5     Y:-2     Z:7.25", "1.5", "-2", "7.25", "no_uv", "no_uv", false},
        {":  X:0     Y:0     Z:0     U:0.25     V:0.75", "0", "0", "0", "0.25", "0.75", true},
        {"Vertex 3:  X:1.0     Y:2.0     Z:3.0     U:0.5     V:0.5", "1.0", "2.0", "3.0", "0.5", "0.5", true},
        {":  X:     Y:     Z:", "", "", "", "no_uv", "no_uv", false},
        {":  X:1     Y:2     Z:3     U:4     V:5 6", "1", "2", "3", "4", "5 6", true},
        // Trailing blanks after Z are no texture coordinates.
        {":  X:1     Y:2     Z:3 ", "1", "2", "3", "no_uv", "no_uv", false},
        // 3D Studio's own files put a blank after each label.
        {"Vertex 0:  X: -2500     Y: -2598.325684     Z: 16.175011", "-2500", "-2598.325684", "16.175011", "no_uv",
         "no_uv", false},
        {":  X: 1.5     Y: -2     Z: 7.25   ", "1.5", "-2", "7.25", "no_uv", "no_uv", false},
        {":  X:\t1     Y:  2     Z: 3     U: 0.25     V: 0.75", "1", "2", "3", "0.25", "0.75", true},
        // Empty values stay empty rather than taking the next label.
        {":  X:     Y:     Z:     U:     V:", "", "", "", "", "", true},
        {":  X: 1     Y:     Z: 3", "1", "", "3", "no_uv", "no_uv", false},
    };
    for (const auto& c : cases) {
        VertexFields f;
        ASSERT_EQ(split_vertex_line(c.line, f), SplitResult::Ok) << c.line;
        EXPECT_EQ(f.x, c.x) << c.line;
        EXPECT_EQ(f.y, c.y) << c.line;
        EXPECT_EQ(f.z, c.z) << c.line;
        EXPECT_EQ(f.u, c.u) << c.line;
        EXPECT_EQ(f.v, c.v) << c.line;
        EXPECT_EQ(f.has_uv, c.has_uv) << c.line;
    }
}

TEST(Processar, ReportsMissingLabels)
{
    VertexFields f;
    EXPECT_EQ(split_vertex_line(":  Y:1     Z:2", f), SplitResult::MissingXyz);
    EXPECT_EQ(split_vertex_line(":  X:1", f), SplitResult::MissingXyz);
    EXPECT_EQ(split_vertex_line(":  x:1     y:2     z:3", f), SplitResult::MissingXyz);
    EXPECT_EQ(split_vertex_line(":  X: 1     Y: 2     Z:", f), SplitResult::Ok);
    EXPECT_EQ(split_vertex_line(":  X: 1     Y: 2", f), SplitResult::MissingXyz);
    EXPECT_EQ(split_vertex_line(":  X:1     Y:2     Z:3     U:4", f), SplitResult::MissingUv);
    EXPECT_EQ(split_vertex_line("", f), SplitResult::MissingXyz);
}

TEST(SignToggle, WorksOnTheTextNotOnANumber)
{
    const std::pair<const char*, const char*> cases[] = {
        {"0.000000", "-0.000000"}, {"-0.000000", "0.000000"}, {"", "-"}, {"-", ""}, {"--1", "-1"}, {"abc", "-abc"}};
    for (const auto& [in, expected] : cases) {
        std::string out;
        append_sign_toggled(out, in);
        EXPECT_EQ(out, expected) << in;
    }
}

TEST(Flips, RewriteVertexLinesAsText)
{
    EXPECT_EQ(axis(":  X:1.5     Y:-2     Z:7.25", false), ":  X:1.5     Y:7.25     Z:2");
    EXPECT_EQ(axis(":  X:1.0     Y:2.0     Z:3.0     U:0.5     V:0.5", false), ":  X:1.0     Y:3.0     Z:-2.0");
    EXPECT_EQ(axis(":  X:1.0     Y:2.0     Z:3.0     U:0.5     V:0.5", true),
              ":  X:1.0     Y:3.0     Z:-2.0     U:0.5     V:0.5");
    EXPECT_EQ(axis(std::string(asc::unmapped_filler), false), ":  X:0.000000     Y:0.000000     Z:-0.000000");
    // The unmapped rebuild does not need U and V; the mapped one does.
    EXPECT_EQ(axis(":  X:1     Y:2     Z:3 ", false), ":  X:1     Y:3     Z:-2");
    EXPECT_EQ(axis(":  X:1     Y:2     Z:3", true), "<refused>");
    EXPECT_EQ(axis(":  Y:2     Z:3", false), "<refused>");
    // With a blank after each label (3D Studio's files), the values move as
    // they do in the written form, and the line is rebuilt in the written form.
    EXPECT_EQ(axis("Vertex 0:  X: -2500     Y: -2598.325684     Z: 16.175011", false),
              ":  X:-2500     Y:16.175011     Z:2598.325684");
    EXPECT_EQ(axis(":  X: 1.5     Y: -2     Z: 7.25  ", false), ":  X:1.5     Y:7.25     Z:2");
    EXPECT_EQ(axis(":  X: 1     Y: 2     Z: 3     U: 0.5     V: 0.25", true), ":  X:1     Y:3     Z:-2     U:0.5     V:0.25");

    const std::string line = ":  X:0     Y:0     Z:0     U:0.25     V:0.75";
    const std::string once = texture(line);
    EXPECT_EQ(once, ":  X:0     Y:0     Z:0     U:0.25     V:-0.75");
    EXPECT_EQ(texture(once), line);
    EXPECT_EQ(texture(":  X:0     Y:0     Z:0     U:0.25     V:-0.25"), ":  X:0     Y:0     Z:0     U:0.25     V:0.25");
    EXPECT_EQ(texture(":  X:0     Y:0     Z:7.25"), "<refused>");
    EXPECT_EQ(texture(":  X: 0     Y: 0     Z: 0     U: 0.25     V: 0.75"), once);

    // The one writer, whole lines compared: within the assembler's room and
    // beyond it (each value a few hundred characters), so no value can take
    // another's place or sign unseen.
    const std::string x(300, '1'), u(200, '2'), v = "0." + std::string(150, '5');
    struct Written {
        VertexValues values;
        VertexFlips flips;
        std::string expected;
    };
    const Written written[] = {
        {{"1", "-2", "3", "0.25", "-0.5", true}, {true, true}, "Vertex 7:  X:1     Y:3     Z:2     U:0.25     V:0.5\r\n"},
        {{"1", "-2", "3", "0.25", "-0.5", true}, {}, "Vertex 7:  X:1     Y:-2     Z:3     U:0.25     V:-0.5\r\n"},
        {{x, "-2", "3", u, v, true}, {true, true}, "Vertex 7:  X:" + x + "     Y:3     Z:2     U:" + u + "     V:-" + v + "\r\n"},
        {{x, "2", "-3", u, v, true}, {false, true}, "Vertex 7:  X:" + x + "     Y:2     Z:-3     U:" + u + "     V:-" + v + "\r\n"},
        {{x, u, v, {}, {}, false}, {true, true}, "Vertex 7:  X:" + x + "     Y:" + v + "     Z:-" + u + "\r\n"},
    };
    for (const Written& w : written) {
        std::string out = "before\r\n";
        write_vertex_line(out, 7, w.values, w.flips);
        EXPECT_EQ(out, "before\r\n" + w.expected) << w.expected.size();
    }
}

TEST(AscText, ReadsCountsLinesAndIndexedPrefixes)
{
    const auto counts = asc::read_counts_line("Tri-mesh, Vertices: 8     Faces: 12");
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->vertices, 8);
    EXPECT_EQ(counts->faces, 12);
    const auto upper = asc::read_counts_line("TRI-MESH, VERTICES:  3 FACES:1");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->vertices, 3);
    EXPECT_EQ(upper->faces, 1);
    EXPECT_FALSE(asc::read_counts_line("Tri-mesh, Vertices: 8"));
    EXPECT_FALSE(asc::read_counts_line("Tri-mesh, Vertices: -8     Faces: 12"));
    EXPECT_FALSE(asc::read_counts_line("Tri-mesh, Vertices: 8.5     Faces: 12"));
    EXPECT_FALSE(asc::read_counts_line("Tri-mesh, Vertices: 1e300     Faces: 12"));

    auto index = [](int n) {
        asc::RunningIndex i;
        while (i.value() < n)
            i.next();
        return i;
    };
    std::string_view rest;
    EXPECT_TRUE(asc::starts_with_indexed("VERTEX 3:  X:1", "vertex ", index(3), rest));
    EXPECT_EQ(rest, ":  X:1");
    EXPECT_FALSE(asc::starts_with_indexed("Vertex 03:  X:1", "vertex ", index(3), rest));
    EXPECT_TRUE(asc::starts_with_indexed("Face 12: A:0", "face ", index(12), rest));
    EXPECT_FALSE(asc::starts_with_indexed("Face 2: A:0", "face ", index(12), rest));
    EXPECT_EQ(index(1099).digits(), "1099");

    EXPECT_EQ(asc::quoted_name("Named object: \"box01\""), "box01");
    EXPECT_EQ(asc::quoted_name("Named object: \"\""), "");
    EXPECT_FALSE(asc::quoted_name("Named object: \"box01"));
}
