#include <gtest/gtest.h>

#include <cctype>

#include "support/analysis_harness.hpp"
#include "support/asc_builder.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

// A well-formed object block with material and smoothing lines after each
// face; `mapped` adds the "Mapped" line.
std::vector<std::string> textured_object(const std::string& name, int vertices, int faces, bool mapped = true)
{
    return asc_object_lines(
        {.name = name, .vertices = vertices, .faces = faces, .mapped = mapped, .uv = true, .material = "stone"});
}

std::string join(const std::vector<std::vector<std::string>>& blocks, const std::vector<std::string>& header = {"Ambient light color: Red=0.3 Green=0.3 Blue=0.3", ""})
{
    std::string out;
    for (const auto& l : header)
        out += l + "\r\n";
    for (const auto& block : blocks)
        for (const auto& l : block)
            out += l + "\r\n";
    return out;
}

// Replaces line `index` of a block (0-based) with `text`.
std::vector<std::string> with_line(std::vector<std::string> block, std::size_t index, const std::string& text)
{
    block.at(index) = text;
    return block;
}

std::vector<std::string> without_line(std::vector<std::string> block, std::size_t index)
{
    block.erase(block.begin() + static_cast<long>(index));
    return block;
}

std::string err(int line, const std::string& name, const std::string& tail)
{
    return "Error in line " + std::to_string(line) + " (object '" + name + "') : " + tail;
}

const std::string vertex_missing_tail(int i)
{
    return "the line containing information about vertex nr " + std::to_string(i) +
           " couldn't be found. This object was skipped since it would make Kb2 crash when importing it.";
}

} // namespace

struct AscCase {
    const char* what;
    std::string scene;
    std::vector<std::string> log;
    std::string boxes; // total/valid/split/faces/vertices/Text1
    std::vector<std::string> reasons = {}; // the reason key of each log line
};

// Failures name the case by its description rather than by its bytes.
void PrintTo(const AscCase& c, std::ostream* os) { *os << c.what; }

// Test names from the case descriptions: letters and digits kept, the rest "_".
std::string case_name(const ::testing::TestParamInfo<AscCase>& info)
{
    std::string name;
    for (const char c : std::string(info.param.what))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

class AscRules : public ::testing::TestWithParam<AscCase> {};

TEST_P(AscRules, LogAndStatisticsMatch)
{
    Harness h;
    h.analyse("scene.asc", GetParam().scene);
    EXPECT_EQ(h.log_lines(), GetParam().log) << GetParam().what;
    std::vector<std::string> texts, reasons;
    for (const KeptProblem& problem : h.logged()) {
        texts.push_back(problem.text);
        reasons.push_back(problem.reason);
        EXPECT_EQ(problem.text.rfind("Error in line " + std::to_string(problem.line_number) + " ", 0), 0u);
        EXPECT_EQ(problem.object.has_value(), problem.reason != "name_not_quoted");
    }
    EXPECT_EQ(texts, GetParam().log) << GetParam().what;
    EXPECT_EQ(reasons, GetParam().reasons) << GetParam().what;
    EXPECT_EQ(h.stat_boxes(), GetParam().boxes) << GetParam().what;
    EXPECT_TRUE(h.session().analysis_report.completed);
    EXPECT_EQ(h.session().analysis_report.problems, !GetParam().log.empty());
}

// Line numbers: the header takes lines 1-2, so an object's name line is line 3.
INSTANTIATE_TEST_SUITE_P(
    Objects, AscRules,
    ::testing::Values(
        AscCase{"two good objects", join({textured_object("box", 3, 1), textured_object("cone", 4, 2, false)}), {}, "2/2/1/3/7/"},
        AscCase{"A1 name quotes missing",
                join({with_line(textured_object("box", 3, 1), 0, "Named object: box"), textured_object("b", 3, 1)}),
                {"Error in line 3 : the quotes indicating the name of the object are missing"},
                "2/1/1/1/3/", {"name_not_quoted"}},
        AscCase{"A2 counts line missing", join({with_line(textured_object("box", 3, 1), 1, "Trimesh 3 1")}),
                {err(4, "box", "the line indicating the number of vertices and faces couldn't be found, this object was skipped.")},
                "1//1///", {"counts_line_missing"}},
        AscCase{"A3 no colons", join({with_line(textured_object("box", 3, 1), 1, "Tri-mesh, Vertices 3 Faces 1")}),
                {err(4, "box", "the line indicating the number of vertices and faces is mystiped, it's required the : indicator in both faces and vertices, this object was skipped.")},
                "1//1///", {"counts_line_malformed"}},
        AscCase{"A3 faces before the first colon",
                join({with_line(textured_object("box", 3, 1), 1, "Tri-mesh, Faces Vertices: 3 X: 1")}),
                {err(4, "box", "the line indicating the number of vertices and faces is mystiped, it's required the : indicator in both faces and vertices, this object was skipped.")},
                "1//1///", {"counts_line_malformed"}},
        AscCase{"A4 zero vertices", join({textured_object("box", 0, 1)}),
                {err(4, "box", "the line indicating the number of vertices and faces indicates that the object has 0 vertices. This object was skipped since it would make Kb2 crash when importing it.")},
                "1//1///", {"zero_vertices"}},
        AscCase{"A5 zero faces", join({textured_object("box", 3, 0)}),
                {err(4, "box", "the line indicating the number of vertices and faces indicates that the object has 0 faces. This object was skipped since it would make Kb2 crash when importing it.")},
                "1//1///", {"zero_faces"}},
        AscCase{"A6 65536 faces",
                join({with_line(textured_object("box", 3, 1), 1, "Tri-mesh, Vertices: 3     Faces: 65536")}),
                {err(4, "box", "the line indicating the number of vertices and faces indicates that the object has 65535 faces. This object was skipped since Kb2 doesn't import completly objects with more than 65535 faces.")},
                "1//1///", {"too_many_faces"}},
        AscCase{"A7 neither mapped nor vertex list",
                join({with_line(textured_object("box", 3, 1), 2, "Unmapped")}),
                {err(5, "box", "the line indicating if the object is mapped or not is missing as well as the one indicating the vertex list, this object was skipped.")},
                "1//1///", {"mapping_line_missing"}},
        AscCase{"A8 vertex 2 missing",
                join({with_line(textured_object("box", 4, 1), 6, "Vertex 3:  X:1     Y:2     Z:3")}),
                {err(9, "box", vertex_missing_tail(2))},
                "1//1///", {"vertex_line_missing"}},
        AscCase{"A9 face 1 missing",
                join({with_line(textured_object("box", 3, 2), 11, "Face 2:    A:0 B:1 C:2 AB:1 BC:1 CA:1")}),
                {err(14, "box", "the line containing information about face nr 1 couldn't be found. This object was skipped since it would make Kb2 crash when importing it.")},
                "1//1///", {"face_line_missing"}},
        AscCase{"A10 smoothing missing after material",
                join({without_line(textured_object("box", 3, 2), 10)}),
                {err(13, "box", "the line containing the smoothing groups settings in face nr 0 couldn't be found. Since this is a 3d scene using textures, this object was skipped.")},
                "1//1///", {"smoothing_line_missing"}},
        AscCase{"a face without material line passes", join({without_line(textured_object("box", 3, 1), 9)}), {}, "1/1/1/1/3/"},
        AscCase{"upper case keywords",
                join({{"NAMED OBJECT: \"big\"", "TRI-MESH, VERTICES: 3     FACES: 1", "VERTEX LIST:",
                       "VERTEX 0: X:0", "VERTEX 1: X:0", "VERTEX 2: X:0", "FACE LIST:", "FACE 0: A:0", "SMOOTHING: 1", ""}}),
                {}, "1/1/1/1/3/"},
        AscCase{"no vertex lines at all", join({{"Named object: \"v\"", "Tri-mesh, Vertices: 8     Faces: 1", "Vertex list:", "Face list:", "Face 0: A:0", "Smoothing: 0", ""}}), {}, "1/1/1/1/8/"},
        AscCase{"Vertex 01 is not vertex 1",
                join({with_line(textured_object("box", 3, 1), 5, "Vertex 01:  X:1     Y:2     Z:3")}),
                {err(8, "box", vertex_missing_tail(1))}, "1//1///", {"vertex_line_missing"}},
        AscCase{"negative counts pass", join({{"Named object: \"n\"", "Tri-mesh, Vertices: -2     Faces: -1", "Vertex list:", "x", ""}}), {}, "1/1/1/-1/-2/"},
        AscCase{"the end of the file inside an object",
                "Named object: \"cut\"\r\nTri-mesh, Vertices: 3     Faces: 1\r\nVertex list:\r\nVertex 0:  X:1\r\n",
                {err(4, "cut", "the file ends before the end of this object, this object was skipped.")},
                "1//1///", {"object_cut_short"}},
        AscCase{"a file ending on the last smoothing line holds the whole object",
                "Named object: \"end\"\r\nTri-mesh, Vertices: 1     Faces: 1\r\nVertex list:\r\nVertex 0:  X:1\r\nFace list:\r\nFace 0: A:0\r\nSmoothing: 1",
                {}, "1/1/1/1/1/"}),
    case_name);

TEST(AscAnalysis, AnObjectRightAfterTheLastSmoothingLineIsNotExamined)
{
    auto first = textured_object("one", 3, 1);
    first.pop_back(); // no empty line between the blocks
    Harness h;
    h.analyse("scene.asc", join({first, textured_object("two", 3, 1)}));
    EXPECT_EQ(h.stat_boxes(), "2/1/1/1/3/");
    EXPECT_TRUE(h.log_lines().empty());
}

TEST(AscAnalysis, SplitCountFollowsTheObjectCount)
{
    for (const auto& [objects, split] : std::vector<std::pair<int, std::string>>{{1, "1"}, {255, "1"}, {256, "2"}, {510, "3"}}) {
        std::vector<std::vector<std::string>> blocks;
        for (int i = 0; i < objects; ++i)
            blocks.push_back(textured_object("o" + std::to_string(i), 3, 1, false));
        Harness h;
        h.analyse("many.asc", join(blocks));
        EXPECT_EQ(h.controls().Text_ascsplit.text, split) << objects;
        EXPECT_EQ(h.scene().statistics.split_files, std::stoi(split));
        // The objects passed are listed by their first line and name.
        EXPECT_EQ(h.scene().passed_objects.count(), objects);
        PassedObjects::Reader passed(h.scene().passed_objects);
        PassedObjects::Entry first;
        ASSERT_TRUE(passed.next(first));
        EXPECT_EQ(first.name, "o0");
        EXPECT_EQ(first.start_line, 3);
    }
}

TEST(AscAnalysis, SixtyFiveThousandFiveHundredThirtyFiveFacesPass)
{
    Harness h;
    h.analyse("big.asc", join({textured_object("big", 3, 65535, false)}));
    EXPECT_EQ(h.stat_boxes(), "1/1/1/65535/3/");
}

TEST(AscAnalysis, IndexesAcrossDigitCountsAreChecked)
{
    // 1000 vertex lines carry indexes of one to three digits; the last one is wrong.
    auto block = textured_object("digits", 1001, 1, false);
    Harness good;
    good.analyse("digits.asc", join({block}));
    EXPECT_EQ(good.stat_boxes(), "1/1/1/1/1001/");
    block[3 + 1000] = "Vertex 1001:  X:0     Y:0     Z:0";
    Harness bad;
    bad.analyse("digits.asc", join({block}));
    EXPECT_EQ(bad.log_lines(), std::vector<std::string>{err(3 + 3 + 1000, "digits", vertex_missing_tail(1000))});
}
