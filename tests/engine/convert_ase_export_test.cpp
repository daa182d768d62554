#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "app/start_process.hpp"
#include "convert/ase_face_lines.hpp"
#include "convert_test_support.hpp"

using namespace trevanix;
using namespace trevanix::convert_testing;

namespace {

// Three faces over four positions and five texture vertices: texture vertex 1
// is used with position 1 first and position 0 later; texture vertex 4 by none.
AseObject plane()
{
    AseObject o;
    o.name = "plane";
    o.vertices = {{"-1.0000", "0.0000", "2.5000"},
                  {"1.0000", "0.0000", "2.5000"},
                  {"1.0000", "1.0000", "-2.5000"},
                  {"-1.0000", "1.0000", "-2.5000"}};
    o.faces = {{0, 1, 2, "", 0}, {0, 2, 3, "2", 1}, {0, 2, 3, "3,4", 0}};
    o.tvertices = {{"0.0000", "0.0000"}, {"1.0000", "0.0000"}, {"1.0000", "1.0000"}, {"0.0000", "1.0000"},
                   {"0.5000", "0.2500"}};
    o.tfaces = {{0, 1, 2}, {1, 2, 3}, {0, 2, 3}};
    o.material_ref = 0;
    return o;
}

// No material reference: written unmapped, with one position no face uses.
AseObject bare()
{
    AseObject o;
    o.name = "lod1_bare";
    o.vertices = {{"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"5", "5", "5"}};
    o.faces = {{2, 1, 0, "1", 0}};
    o.tvertices = {{"0", "0"}};
    o.tfaces = {{0, 0, 0}};
    o.material_ref.reset();
    return o;
}

const std::vector<std::string> face_lines = {
    "Face list:",
    "Face 0: A:0 B:1 C:2 AB:1 BC:1 CA:0",
    "Material:\"stone\"",
    "Smoothing: 0",
    "Face 1: A:1 B:2 C:3 AB:1 BC:1 CA:0",
    "Face 2: A:0 B:2 C:3 AB:1 BC:1 CA:0",
    "Material:\"stone\"",
    "Smoothing: 3,4",
    "",
};

std::string lines(std::vector<std::string> head, const std::vector<std::string>& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    std::string out;
    for (const auto& l : head)
        out += l + "\r\n";
    return out;
}

std::string convert(ConversionFixture& f, const std::vector<AseObject>& objects)
{
    f.load("scene.ase", ase_scene(objects));
    f.materials({"stone , C:\\maps\\stone_wall.bmp", "[{empty material}] , [{empty material}]"}, true);
    start_process(f.session);
    return f.output("scene.asc");
}

} // namespace

TEST(AseExport, MergesGeometryAndMappingWithEveryFlipCombination)
{
    const std::vector<std::string> bare_block = {
        "Named object: \"lod1_bare\"", "Tri-mesh, Vertices: 4     Faces: 1", "Mapped", "Vertex list:"};
    struct Case {
        bool axis, texture;
        std::vector<std::string> plane_vertices, bare_vertices;
        bool all = false; // only Check_all checked: both flips and the material file
    };
    std::vector<Case> cases = {
        {false, false,
         {"Vertex 0:  X:-1.0000     Y:0.0000     Z:2.5000     U:0.0000     V:0.0000",
          "Vertex 1:  X:-1.0000     Y:0.0000     Z:2.5000     U:1.0000     V:0.0000",
          "Vertex 2:  X:1.0000     Y:1.0000     Z:-2.5000     U:1.0000     V:1.0000",
          "Vertex 3:  X:-1.0000     Y:1.0000     Z:-2.5000     U:0.0000     V:1.0000",
          "Vertex 4:  X:0.000000     Y:0.000000     Z:0.000000     U:0.000000     V:0.000000"},
         {"Vertex 0:  X:1     Y:2     Z:3", "Vertex 1:  X:4     Y:5     Z:6", "Vertex 2:  X:7     Y:8     Z:9",
          "Vertex 3:  X:0.000000     Y:0.000000     Z:0.000000"}},
        {false, true,
         {"Vertex 0:  X:-1.0000     Y:0.0000     Z:2.5000     U:0.0000     V:-0.0000",
          "Vertex 1:  X:-1.0000     Y:0.0000     Z:2.5000     U:1.0000     V:-0.0000",
          "Vertex 2:  X:1.0000     Y:1.0000     Z:-2.5000     U:1.0000     V:-1.0000",
          "Vertex 3:  X:-1.0000     Y:1.0000     Z:-2.5000     U:0.0000     V:-1.0000",
          "Vertex 4:  X:0.000000     Y:0.000000     Z:0.000000     U:0.000000     V:-0.000000"},
         {"Vertex 0:  X:1     Y:2     Z:3", "Vertex 1:  X:4     Y:5     Z:6", "Vertex 2:  X:7     Y:8     Z:9",
          "Vertex 3:  X:0.000000     Y:0.000000     Z:0.000000"}},
        {true, true,
         {"Vertex 0:  X:-1.0000     Y:2.5000     Z:-0.0000     U:0.0000     V:-0.0000",
          "Vertex 1:  X:-1.0000     Y:2.5000     Z:-0.0000     U:1.0000     V:-0.0000",
          "Vertex 2:  X:1.0000     Y:-2.5000     Z:-1.0000     U:1.0000     V:-1.0000",
          "Vertex 3:  X:-1.0000     Y:-2.5000     Z:-1.0000     U:0.0000     V:-1.0000",
          "Vertex 4:  X:0.000000     Y:0.000000     Z:-0.000000     U:0.000000     V:-0.000000"},
         {"Vertex 0:  X:1     Y:3     Z:-2", "Vertex 1:  X:4     Y:6     Z:-5", "Vertex 2:  X:7     Y:9     Z:-8",
          "Vertex 3:  X:0.000000     Y:0.000000     Z:-0.000000"}},
    };
    // Check_all alone implies both flips.
    cases.push_back(cases.back());
    cases.back().all = true;
    for (const auto& c : cases) {
        ConversionFixture f;
        if (!c.all)
            f.options(false, c.axis, c.texture, false);
        const std::string out = convert(f, {plane(), bare()});
        EXPECT_EQ(f.session.conversion_report.mat_file.empty(), !c.all);
        std::vector<std::string> expected = {"Named object: \"plane\"", "Tri-mesh, Vertices: 5     Faces: 3", "Mapped",
                                             "Vertex list:"};
        expected.insert(expected.end(), c.plane_vertices.begin(), c.plane_vertices.end());
        expected.insert(expected.end(), face_lines.begin(), face_lines.end());
        expected.insert(expected.end(), bare_block.begin(), bare_block.end());
        expected.insert(expected.end(), c.bare_vertices.begin(), c.bare_vertices.end());
        EXPECT_EQ(out, lines(expected, {"Face list:", "Face 0: A:2 B:1 C:0 AB:1 BC:1 CA:0", ""}))
            << "axis " << c.axis << " texture " << c.texture << " all " << c.all;
        EXPECT_EQ(f.session.conversion_report.objects_written, 2);
        // The clipboard ends holding the last vertex line handed to the axis flip.
        if (c.axis) {
            EXPECT_EQ(f.ui.clipboard_history, std::vector<std::string>{":  X:0.000000     Y:0.000000     Z:0.000000"});
        } else {
            EXPECT_TRUE(f.ui.clipboard_history.empty());
        }
    }
}

TEST(AseExport, LeavesOutObjectsTheConversionCannotWriteAndNamesEach)
{
    struct Case {
        const char* what;
        std::function<void(AseObject&)> change;
        const char* reason;
    };
    const Case cases[] = {
        {"LOD name", [](AseObject& o) { o.name = "LOD1_tree"; }, "lod_name"},
        {"sub-material id equal to the count", [](AseObject& o) { o.faces[2].mtlid = 2; }, "invalid_submaterial_id"},
        {"material reference outside the list", [](AseObject& o) { o.material_ref = 5; }, "unknown_material"},
        {"geometric index outside the list", [](AseObject& o) { o.faces[1].c = 4; }, "vertex_index_out_of_range"},
        {"texture index outside the list", [](AseObject& o) { o.tfaces[0][1] = 9; },
         "mapping_vertex_index_out_of_range"},
        {"no texture vertices", [](AseObject& o) {
             o.tvertices.clear();
             o.tfaces.clear();
         }, "zero_mapping_vertices"},
        {"texture faces fewer than faces", [](AseObject& o) { o.tfaces.pop_back(); }, "mapping_face_count_differs"},
    };
    for (const auto& c : cases) {
        ConversionFixture f;
        AseObject broken = plane();
        c.change(broken);
        const std::string out = convert(f, {broken, bare()});
        EXPECT_EQ(out.find("Named object: \"lod1_bare\""), 0u) << c.what << "\n" << out;
        EXPECT_EQ(f.session.conversion_report.objects_written, 1) << c.what;
        // The header takes lines 1 and 2: the object starts on line 3.
        EXPECT_EQ(f.left_out(), std::vector<std::string>{"3 " + broken.name + " " + c.reason}) << c.what;
        // One warning names it, before the final message.
        ASSERT_GE(f.ui.messages.size(), 2u);
        const Message& warning = f.ui.messages[f.ui.messages.size() - 2].message;
        EXPECT_EQ(warning.caption, "Warning") << c.what;
        EXPECT_EQ(warning.text.rfind("Some objects that passed the analysis were not written", 0), 0u) << warning.text;
        ASSERT_EQ(warning.details.size(), 1u) << c.what;
        EXPECT_NE(warning.details[0].find("'" + broken.name + "'"), std::string::npos) << warning.details[0];
        EXPECT_NE(warning.details[0].find(c.reason), std::string::npos) << warning.details[0];
        EXPECT_EQ(f.ui.messages.back().message.caption, "Finished");
    }
}

TEST(AseExport, FacesOfSubMaterialsTheListLeavesUndefinedGetNoMaterialLines)
{
    // Face 2 uses sub-material 2: counted by the list (3 sub-materials) but
    // never defined, or a negative id the list cannot hold.
    std::vector<std::string> expected_faces = face_lines;
    expected_faces.erase(expected_faces.begin() + 6, expected_faces.begin() + 8);
    for (const int id : {2, -1}) {
        ConversionFixture f;
        f.options(false, false, false, false);
        AseObject o = plane();
        o.faces[2].mtlid = id;
        f.load("scene.ase", ase_scene({o}));
        f.materials({"stone , C:\\maps\\stone_wall.bmp", "[{empty material}] , [{empty material}]"}, true);
        f.session.scene.catalogue.submaterial_counts = {3};
        start_process(f.session);
        const std::string out = f.output("scene.asc");
        EXPECT_NE(out.find(lines(expected_faces, {})), std::string::npos) << id << "\n" << out;
        EXPECT_TRUE(f.left_out().empty()) << id;
        EXPECT_EQ(f.session.conversion_report.objects_written, 1);
    }
}

TEST(AseExport, ListLinesSeparatedByBlanksConvertAsTheirTabTwins)
{
    // After the leading TABs, the keyword, the index and the values of a
    // vertex, mapping vertex or mapping face line are the runs between blanks or TABs.
    const std::string tabs = ase_scene({plane(), bare()});
    // The TABs between the values become `separator`; the first `kept` of them stay.
    auto respaced = [&tabs](const std::string& separator, int kept) {
        std::string out;
        std::size_t start = 0;
        for (std::size_t end; (end = tabs.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string line = tabs.substr(start, end - start);
            const bool list_line = line.rfind("\t\t\t*MESH_VERTEX ", 0) == 0 || line.rfind("\t\t\t*MESH_TVERT ", 0) == 0 ||
                                   line.rfind("\t\t\t*MESH_TFACE ", 0) == 0;
            int seen = 0;
            for (std::size_t at = 3; list_line && (at = line.find('\t', at)) != std::string::npos;) {
                if (seen++ < kept) {
                    ++at;
                    continue;
                }
                line.replace(at, 1, separator);
                at += separator.size();
            }
            out += line + "\r\n";
        }
        return out;
    };
    ConversionFixture reference;
    const std::string expected = convert(reference, {plane(), bare()});
    ASSERT_NE(expected.find("lod1_bare"), std::string::npos);
    for (const auto& [separator, kept] : std::vector<std::pair<std::string, int>>{{" ", 0}, {"   ", 0}, {" ", 1}}) {
        ConversionFixture f;
        f.load("scene.ase", respaced(separator, kept));
        f.materials({"stone , C:\\maps\\stone_wall.bmp", "[{empty material}] , [{empty material}]"}, true);
        start_process(f.session);
        EXPECT_EQ(f.output("scene.asc"), expected) << "'" << separator << "', TABs kept " << kept;
        EXPECT_TRUE(f.left_out().empty());
    }
}

TEST(AseExport, WritesUnmappedObjectsWhenTheSceneHasNoMaterials)
{
    ConversionFixture f;
    f.options(false, false, false, true);
    f.load("scene.ase", ase_scene({plane()}));
    start_process(f.session);
    EXPECT_EQ(f.output("scene.asc"),
              lines({"Named object: \"plane\"", "Tri-mesh, Vertices: 4     Faces: 3", "Mapped", "Vertex list:",
                     "Vertex 0:  X:-1.0000     Y:0.0000     Z:2.5000", "Vertex 1:  X:1.0000     Y:0.0000     Z:2.5000",
                     "Vertex 2:  X:1.0000     Y:1.0000     Z:-2.5000", "Vertex 3:  X:-1.0000     Y:1.0000     Z:-2.5000",
                     "Face list:", "Face 0: A:0 B:1 C:2 AB:1 BC:1 CA:0", "Face 1: A:0 B:2 C:3 AB:1 BC:1 CA:0",
                     "Face 2: A:0 B:2 C:3 AB:1 BC:1 CA:0", ""},
                    {}));
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("scene.mat")));
    EXPECT_EQ(f.session.conversion_report.mat_file, "");
}

TEST(AseExport, SurvivesAnInputThatEndsInsideAnObject)
{
    const std::string whole = ase_scene({bare(), plane()});
    for (std::size_t cut = whole.find("*GEOMOBJECT", 100); cut < whole.size(); cut += 97) {
        ConversionFixture f;
        f.load("scene.ase", whole.substr(0, cut));
        f.materials({"stone , stone.bmp", "[{empty material}] , [{empty material}]"}, true);
        start_process(f.session);
        EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::Completed);
        EXPECT_EQ(f.session.conversion_report.objects_written, 1) << "cut at " << cut;
    }
}

TEST(AseExport, ConvertsTheRealScenesWithoutFault)
{
    const std::filesystem::path corpus = TREVANIX_REAL_CORPUS;
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no real scene corpus";
    int converted = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 9 || name.substr(name.size() - 9) != ".crlf.ase")
            continue;
        ConversionFixture f;
        f.load("scene.ase", read_bytes(entry.path().string()));
        start_process(f.session);
        EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::Completed) << name;
        const std::string out = f.output("scene.asc");
        // Every written block is complete: as many block starts as blank closing lines.
        std::size_t starts = 0, pos = 0;
        while ((pos = out.find("Named object: \"", pos)) != std::string::npos) {
            ++starts;
            ++pos;
        }
        EXPECT_EQ(starts, static_cast<std::size_t>(f.session.conversion_report.objects_written)) << name;
        if (!out.empty()) {
            EXPECT_EQ(out.substr(out.size() - 4), "\r\n\r\n") << name;
        }
        ++converted;
    }
    EXPECT_GT(converted, 0);
}

// A face line in the five-character columns 3ds Max writes is read as the
// same line read straight (its columns widened by a blank, which only the
// straight reading takes); a column that is not blanks then a plain number
// leaves the line to the other readings.
TEST(AseExport, FaceLinesInColumnsReadAsTheirStraightTwins)
{
    // Index, A, B, C, AB, BC, CA, smoothing, id.
    auto face = [](const char* format, const std::vector<std::string>& v) {
        char line[512];
        std::snprintf(line, sizeof line, format, v[0].c_str(), v[1].c_str(), v[2].c_str(), v[3].c_str(),
                      v[4].c_str(), v[5].c_str(), v[6].c_str(), v[7].c_str(), v[8].c_str());
        return std::string(line);
    };
    const char* columns = "\t\t\t*MESH_FACE%5s:    A:%5s B:%5s C:%5s AB:%5s BC:%5s CA:%5s\t *MESH_SMOOTHING %s \t*MESH_MTLID %s";
    const char* widened = "\t\t\t*MESH_FACE%6s:    A:%6s B:%6s C:%6s AB:%6s BC:%6s CA:%6s\t *MESH_SMOOTHING %s \t*MESH_MTLID %s";
    struct Case {
        std::vector<std::string> values;
        bool straight; // read straight (else by its labels, or not at all)
    };
    const Case cases[] = {
        {{"0", "0", "1", "18", "1", "1", "0", "1", "0"}, true},
        {{"65534", "12345", "99999", "7", "0", "1", "1", "1,2,17", "32767"}, true},
        {{"3", "10", "200", "3000", "40000", "5", "60", "0", "12"}, true},
        {{"1", "01", "2", "3", "1", "1", "0", "1", "0"}, false},   // a leading zero
        {{"1", "1 2", "2", "3", "1", "1", "0", "1", "0"}, false},  // a blank inside
        {{"1", "", "2", "3", "1", "1", "0", "1", "0"}, false},     // blanks only
        {{"1", "-1", "2", "3", "1", "1", "0", "1", "0"}, false},   // a sign
        {{"1", "1", "2", "3", "1", "1", "0x", "1", "0"}, false},   // not a number
        {{"00", "1", "2", "3", "1", "1", "0", "1", "0"}, false},   // the index's leading zero
        {{"1", "1", "2", "3", "1", "1", "0", "1", "32768"}, false}, // an id beyond 16 bits
    };
    for (const Case& c : cases) {
        const std::string line = face(columns, c.values);
        const std::string twin = face(widened, c.values);
        FaceReading in_columns, straight;
        const bool read = read_face_line(line, in_columns);
        ASSERT_EQ(read_face_line(twin, straight), read) << line;
        if (!read)
            continue;
        EXPECT_EQ(in_columns.canonical, c.straight) << line;
        EXPECT_EQ(straight.canonical, c.straight) << twin;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(in_columns.corners[k], c.straight ? c.values[1 + k] : in_columns.corners[k]) << line;
            if (!c.straight)
                continue;
            EXPECT_EQ(in_columns.corners[k], straight.corners[k]) << line;
            EXPECT_EQ(in_columns.edges[k], straight.edges[k]) << line;
            EXPECT_EQ(in_columns.edges[k], c.values[4 + k]) << line;
            EXPECT_EQ(in_columns.corner_values[k], std::stoll(c.values[1 + k])) << line;
        }
        EXPECT_EQ(in_columns.smoothing, straight.smoothing) << line;
        EXPECT_EQ(in_columns.submaterial, straight.submaterial) << line;
    }
    // A line cut short is read straight only while it still ends in an id,
    // and no byte past its end is looked at (each cut is a buffer of its own).
    const std::string whole = face(columns, cases[1].values);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<char> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        FaceReading reading;
        if (read_face_line(std::string_view(cut.data(), cut.size()), reading)) {
            EXPECT_EQ(reading.canonical, size >= whole.size() - 4) << size;
        }
    }
}
