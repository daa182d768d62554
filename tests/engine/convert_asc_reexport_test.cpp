#include <gtest/gtest.h>

#include "state/messages.hpp"
#include "app/start_process.hpp"
#include "convert_test_support.hpp"

using namespace trevanix;
using namespace trevanix::convert_testing;

namespace {

const std::string scene = crlf({
    "Ambient light color: Red=0.3 Green=0.3 Blue=0.3",
    "",
    "Named object: \"box01\"",
    "Tri-mesh, Vertices: 3     Faces: 1",
    "Mapped",
    "Vertex list:",
    "Vertex 0:  X:1.0     Y:2.0     Z:3.0     U:0.5     V:0.5",
    "VERTEX 1:  X:-1     Y:0.000000     Z:2",
    "Vertex 2:  X:4     Y:5     Z:6",
    "Face list:",
    "Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:1",
    "Material:\"stone\"",
    "Smoothing:  1",
    "",
    "Named object: \"nofaces\"",
    "Tri-mesh, Vertices: 1     Faces: 0",
    "Vertex list:",
    "Vertex 0:  X:1     Y:1     Z:1",
    "Face list:",
    "",
    "Named object: \"second\"",
    "Tri-mesh, Vertices: 1     Faces: 1",
    "Vertex list:",
    "Vertex 0:  X:7     Y:8     Z:9",
    "Face list:",
    "Face 0: A:0 B:0 C:0 AB:0 BC:0 CA:0",
    "Named object: \"glued\"",
    "Tri-mesh, Vertices: 1     Faces: 1",
    "Vertex list:",
    "Vertex 0:  X:7     Y:8     Z:9",
    "Face list:",
    "Face 0: A:0 B:0 C:0 AB:0 BC:0 CA:0",
    "",
    // As 3D Studio writes it: a blank after each label.
    "Named object: \"studio\"",
    "Tri-mesh, Vertices: 2     Faces: 1",
    "Vertex list:",
    "Vertex 0:  X: -2500     Y: -2598.325684     Z: 16.175011",
    "Vertex 1:  X: 1     Y: 0.5     Z: 2     U: 0.25     V: 0.75",
    "Face list:",
    "Face 0:    A:0 B:1 C:1 AB:1 BC:1 CA:1",
    "",
});

} // namespace

TEST(AscReexport, CopiesObjectsByteForByteWithAndWithoutTheAxisFlip)
{
    struct Case {
        bool axis, texture;
        std::string expected;
    };
    const Case cases[] = {
        {false, true,
         crlf({"Named object: \"box01\"", "Tri-mesh, Vertices: 3     Faces: 1", "Vertex list:",
               "Vertex 0:  X:1.0     Y:2.0     Z:3.0     U:0.5     V:0.5", "Vertex 1:  X:-1     Y:0.000000     Z:2",
               "Vertex 2:  X:4     Y:5     Z:6", "Face list:", "Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:1", "",
               "Named object: \"second\"", "Tri-mesh, Vertices: 1     Faces: 1", "Vertex list:",
               "Vertex 0:  X:7     Y:8     Z:9", "Face list:", "Face 0: A:0 B:0 C:0 AB:0 BC:0 CA:0", "",
               "Named object: \"studio\"", "Tri-mesh, Vertices: 2     Faces: 1", "Vertex list:",
               "Vertex 0:  X: -2500     Y: -2598.325684     Z: 16.175011",
               "Vertex 1:  X: 1     Y: 0.5     Z: 2     U: 0.25     V: 0.75", "Face list:",
               "Face 0:    A:0 B:1 C:1 AB:1 BC:1 CA:1", ""})},
        {true, true,
         crlf({"Named object: \"box01\"", "Tri-mesh, Vertices: 3     Faces: 1", "Vertex list:",
               "Vertex 0:  X:1.0     Y:3.0     Z:-2.0", "Vertex 1:  X:-1     Y:2     Z:-0.000000",
               "Vertex 2:  X:4     Y:6     Z:-5", "Face list:", "Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:1", "",
               "Named object: \"second\"", "Tri-mesh, Vertices: 1     Faces: 1", "Vertex list:",
               "Vertex 0:  X:7     Y:9     Z:-8", "Face list:", "Face 0: A:0 B:0 C:0 AB:0 BC:0 CA:0", "",
               "Named object: \"studio\"", "Tri-mesh, Vertices: 2     Faces: 1", "Vertex list:",
               "Vertex 0:  X:-2500     Y:16.175011     Z:2598.325684", "Vertex 1:  X:1     Y:2     Z:-0.5",
               "Face list:", "Face 0:    A:0 B:1 C:1 AB:1 BC:1 CA:1", ""})},
    };
    for (const auto& c : cases) {
        ConversionFixture f;
        f.load("in.asc", scene);
        f.options(true, c.axis, c.texture, true);
        f.session.scene.chosen_target = f.dir.file("out.asc");
        start_process(f.session);
        EXPECT_EQ(f.output("out.asc"), c.expected) << "axis flip " << c.axis;
        EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::Completed);
        EXPECT_EQ(f.session.conversion_report.objects_written, 3);
        EXPECT_EQ(f.session.conversion_report.outputs, std::vector<std::string>{f.dir.file("out.asc")});
        EXPECT_EQ(f.session.conversion_report.mat_file, "");
        EXPECT_TRUE(f.ui.clipboard_history.empty()) << "an .asc input never touches the clipboard";
        EXPECT_EQ(f.output("in.asc"), scene);
        EXPECT_EQ(f.output("testfile.txt"), "") << "the log is re-created empty";
    }
}

TEST(AscReexport, RefusesEveryTargetThatIsTheInputItself)
{
    struct Case {
        const char* what;
        std::function<std::string(const ConversionFixture&)> target;
    };
    const Case cases[] = {
        {"no chosen target: derived from the input", [](const ConversionFixture&) { return std::string(); }},
        {"a link to it", [](const ConversionFixture& f) {
             std::filesystem::create_symlink("in.asc", f.dir.path() / "link.asc");
             return f.dir.file("link.asc");
         }},
        {"other spelling", [](const ConversionFixture& f) { return (f.dir.path() / "." / "in.asc").string(); }},
    };
    for (const auto& c : cases) {
        ConversionFixture f;
        f.load("in.asc", scene);
        f.dir.write("testfile.txt", "analysis line\r\n");
        f.session.scene.chosen_target = c.target(f);
        const auto files_before = std::distance(std::filesystem::directory_iterator(f.dir.path()), {});
        start_process(f.session);
        EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::RefusedTarget) << c.what;
        ASSERT_EQ(f.ui.messages.size(), 1u) << c.what;
        EXPECT_EQ(f.ui.messages[0].message.text, messages::cannot_overwrite_input);
        EXPECT_EQ(f.ui.messages[0].message.caption, "Error");
        EXPECT_EQ(f.ui.messages[0].message.icon, MessageIcon::Critical);
        EXPECT_EQ(f.output("in.asc"), scene) << c.what;
        EXPECT_EQ(f.output("testfile.txt"), "analysis line\r\n") << "the log is not touched";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), files_before) << c.what;
    }
}

TEST(AscReexport, LeavesOutBrokenObjectsAndKeepsGoing)
{
    const std::string input = crlf({
        "Named object: \"badindex\"",
        "Tri-mesh, Vertices: 2     Faces: 1",
        "Vertex list:",
        "Vertex 0:  X:1     Y:1     Z:1",
        "Vertex 2:  X:1     Y:1     Z:1",
        "Face list:",
        "Face 0: A:0 B:0 C:0",
        "",
        "Named object: \"nolabel\"",
        "Tri-mesh, Vertices: 1     Faces: 1",
        "Vertex list:",
        "Vertex 0:  X:1     Z:1",
        "Face list:",
        "Face 0: A:0 B:0 C:0",
        "",
        "Named object: \"novertexsection\"",
        "Tri-mesh, Vertices: 1     Faces: 1",
        "Face list:",
        "Face 0: A:0 B:0 C:0",
        "",
        "Named object: \"nofaceline\"",
        "Tri-mesh, Vertices: 1     Faces: 1",
        "Vertex list:",
        "Vertex 0:  X:1     Y:1     Z:1",
        "Face list:",
        "Smoothing: 1",
        "",
        "Named object: \"last\"",
        "Tri-mesh, Vertices: 1     Faces: 2",
        "Vertex list:",
        "Vertex 0:  X:1     Y:2     Z:3",
        "Face list:",
        "Face 0: A:0 B:0 C:0",
        "Smoothing: 1",
        "Face 1: A:0 B:0 C:0",
    });
    ConversionFixture f;
    f.load("in.asc", input);
    f.options(false, true, false, false);
    f.session.scene.chosen_target = f.dir.file("out.asc");
    start_process(f.session);
    // The last object ends with the file: all its lines are there, so it is kept.
    EXPECT_EQ(f.output("out.asc"), crlf({"Named object: \"last\"", "Tri-mesh, Vertices: 1     Faces: 2", "Vertex list:",
                                          "Vertex 0:  X:1     Y:3     Z:-2", "Face list:", "Face 0: A:0 B:0 C:0",
                                          "Face 1: A:0 B:0 C:0", ""}));
    EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::Completed);
    // Each object left out is named by its first line, with the rule it failed.
    const std::vector<std::string> left_out = {"1 badindex vertex_line_missing", "9 nolabel vertex_values_unreadable",
                                               "16 novertexsection vertex_line_missing",
                                               "21 nofaceline face_line_missing"};
    EXPECT_EQ(f.left_out(), left_out);

    // Cut the same scene inside the last object's vertex list: nothing of it is written.
    ConversionFixture cut;
    cut.load("in.asc", input.substr(0, input.find("Vertex 0:  X:1     Y:2")));
    cut.session.scene.chosen_target = cut.dir.file("out.asc");
    start_process(cut.session);
    EXPECT_EQ(cut.output("out.asc"), "");
    EXPECT_EQ(cut.session.conversion_report.status, ConversionStatus::Completed);
    EXPECT_EQ(cut.left_out().back(), "28 last object_cut_short");
}
