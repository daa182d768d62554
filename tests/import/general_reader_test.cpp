// Scenes of other tools through the form, as the window and the command line
// drive it: generated scenes, their ".asc" blocks, the ".mat" file, the TIFF
// pictures, and the choice of reader for ".ase" files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "convert/material_file.hpp"
#include "import/general_analysis.hpp"
#include "import_scenes.hpp"
#include "support/scene_runs.hpp"
#include "state/messages.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

class GeneralReader : public ::testing::Test {
protected:
    Harness h;

    // Analyses the scene, then converts it into out.asc beside it: with every
    // option, or only the material file (no flips, no split).
    void convert(const std::string& name, const std::string& content, bool all_options = false)
    {
        h.analyse(name, content);
        convert_analysed(all_options);
    }
    void convert_analysed(bool all_options = false)
    {
        ASSERT_TRUE(h.session().analysis_report.completed) << h.log_text();
        if (!all_options) {
            h.controls().Check_all.checked = false;
            h.form().click_Check_all();
            h.controls().Check_createmat.checked = true;
        }
        h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
        h.form().click_Target_filename();
        h.form().click_Start_process();
    }
    std::vector<WrittenObject> written() const { return read_written_asc(read_bytes(h.dir.file("out.asc"))); }
    static std::vector<std::string> sorted(std::vector<std::string> lines)
    {
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    const AnalysisReport& report() { return h.session().analysis_report; }
    bool told(const std::string& fragment) const
    {
        for (const std::string& text : h.services.texts())
            if (text.find(fragment) != std::string::npos)
                return true;
        return false;
    }
};

// A cube of six quads, each side with its own normal (OBJ "vn").
const std::string cube_obj = R"(o cube
v 0 0 0
v 1 0 0
v 1 1 0
v 0 1 0
v 0 0 1
v 1 0 1
v 1 1 1
v 0 1 1
vn 0 0 -1
vn 0 0 1
vn 0 -1 0
vn 1 0 0
vn 0 1 0
vn -1 0 0
f 1//1 4//1 3//1 2//1
f 5//2 6//2 7//2 8//2
f 1//3 2//3 6//3 5//3
f 2//4 3//4 7//4 6//4
f 3//5 4//5 8//5 7//5
f 4//6 1//6 5//6 8//6
)";

TEST_F(GeneralReader, ACubeWithSplitNormalsGivesAdjacentSidesNoCommonGroup)
{
    convert("cube.obj", cube_obj);
    const auto objects = written();
    ASSERT_EQ(objects.size(), 1u);
    const WrittenObject& cube = objects[0];
    EXPECT_EQ(cube.name, "cube");
    EXPECT_FALSE(cube.mapped);
    EXPECT_EQ(cube.vertex_tails.size(), 24u);
    ASSERT_EQ(cube.faces.size(), 12u);
    for (std::size_t side = 0; side < 6; ++side) {
        const WrittenFace& a = cube.faces[2 * side];
        const WrittenFace& b = cube.faces[2 * side + 1];
        EXPECT_NE(a.smoothing, 0);
        EXPECT_EQ(a.smoothing, b.smoothing);
        EXPECT_EQ(a.material, "");
        // Sides 0/1, 2/4 and 3/5 face each other; every other pair meets at an edge.
        for (std::size_t other = side + 1; other < 6; ++other)
            if (!((side == 0 && other == 1) || (side == 2 && other == 4) || (side == 3 && other == 5))) {
                EXPECT_NE(a.smoothing, cube.faces[2 * other].smoothing) << side << " " << other;
            }
    }
    expect_exact_analysis_agrees(h.dir.file("out.asc"), h.scene().statistics);
}

// A textured quad, Y up, whose texture name is longer than 19 characters.
const std::string quad_obj = R"(mtllib wall.mtl
o wall
v 0 0 0
v 2 0 0
v 2 3 0
v 0 3 0
vt 0 0
vt 1 0
vt 1 1
vt 0 1
usemtl brick
f 1/1 2/2 3/3 4/4
)";
const std::string long_texture = "brickwall_pattern_large.png";
const std::string wall_mtl = "newmtl brick\nmap_Kd " + long_texture + "\n";
const std::string picture_png = png_file(2, 1, {255, 0, 0, 0, 0, 255});

TEST_F(GeneralReader, AQuadGetsOneHiddenDiagonalAndAShortTextureName)
{
    h.dir.write("wall.mtl", wall_mtl);
    h.dir.write(long_texture, picture_png);
    convert("wall.obj", quad_obj);
    const auto objects = written();
    ASSERT_EQ(objects.size(), 1u);
    const WrittenObject& wall = objects[0];
    EXPECT_TRUE(wall.mapped);
    // Y up becomes Z up: (X, Y, Z) -> (X, -Z, Y).
    EXPECT_EQ(sorted(wall.vertex_tails), (std::vector<std::string>{":  X:0     Y:0     Z:0     U:0     V:0",
                                                                   ":  X:0     Y:0     Z:3     U:0     V:1",
                                                                   ":  X:2     Y:0     Z:0     U:1     V:0",
                                                                   ":  X:2     Y:0     Z:3     U:1     V:1"}));
    ASSERT_EQ(wall.faces.size(), 2u);
    std::vector<std::pair<int, int>> hidden;
    for (const WrittenFace& f : wall.faces) {
        EXPECT_EQ(f.material, "brick");
        EXPECT_EQ(f.edge[0] + f.edge[1] + f.edge[2], 2) << "one hidden edge a triangle";
        for (int k = 0; k < 3; ++k)
            if (f.edge[k] == 0)
                hidden.emplace_back(std::min(f.corner[k], f.corner[(k + 1) % 3]),
                                    std::max(f.corner[k], f.corner[(k + 1) % 3]));
    }
    ASSERT_EQ(hidden.size(), 2u);
    EXPECT_EQ(hidden[0], hidden[1]) << "both triangles hide the same diagonal";
    // The long name gets its short name in the material file and the picture.
    const std::string short_name = std::string("brickwall_p") + '\xAB' + "0";
    const std::string mat = read_bytes(h.dir.file("out.mat"));
    EXPECT_EQ(mat.size(), 16 + 73 + 5 + 9 + short_name.size() + 9);
    EXPECT_NE(mat.find("brick" + material_templates().record_middle + short_name), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(h.dir.path() / "TIFFRGB" / "brickwall_p\xC2\xAB" "0.tif"));
    expect_exact_analysis_agrees(h.dir.file("out.asc"), h.scene().statistics);
}

std::vector<std::uint8_t> tiff_pixels(const std::string& path, std::uint32_t& width, std::uint32_t& height)
{
    std::vector<std::uint8_t> rgb;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return rgb;
    std::uint16_t bits = 0, samples = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (bits == 8 && samples == 3) {
        rgb.resize(std::size_t{width} * height * 3);
        for (std::uint32_t y = 0; y < height; ++y)
            TIFFReadScanline(tiff, rgb.data() + y * width * 3, y, 0);
    }
    TIFFClose(tiff);
    return rgb;
}

TEST_F(GeneralReader, AGltfWithItsBufferAndPictureInsideGivesAnRgbTiff)
{
    const std::vector<std::uint8_t> pixels = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    convert("panel.gltf", gltf_scene({0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 1, 2}, {0, 0, 1, 0, 1, 1},
                                     png_file(2, 2, pixels)));
    EXPECT_EQ(report().reader, SceneReader::General);
    EXPECT_EQ(h.scene().catalogue.cells, (std::vector<std::vector<std::string>>{{"paint , panel_0.png"}}));
    std::uint32_t width = 0, height = 0;
    EXPECT_EQ(tiff_pixels((h.dir.path() / "TIFFRGB" / "panel_0.tif").string(), width, height), pixels);
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 2u);
    EXPECT_EQ(h.session().conversion_report.pictures,
              (std::vector<std::string>{(h.dir.path() / "TIFFRGB" / "panel_0.tif").string()}));
}

TEST_F(GeneralReader, AYUpGltfAndItsZUpColladaTwinAreWrittenAlike)
{
    convert("yup.gltf", gltf_scene({1, 2, 3, 4, 5, 6, 7, 8, 10}, {0, 1, 2}));
    const auto from_gltf = written();
    const std::string collada = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit name="meter" meter="1"/><up_axis>Z_UP</up_axis></asset>
<library_geometries><geometry id="g" name="panel"><mesh>
<source id="p"><float_array id="pa" count="9">1 -3 2 4 -6 5 7 -10 8</float_array>
<technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
<param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
<vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
<triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
</mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="s"><node id="n" name="panel"><instance_geometry url="#g"/></node>
</visual_scene></library_visual_scenes><scene><instance_visual_scene url="#s"/></scene></COLLADA>)";
    h.services.answers = {true}; // forget the glTF scene
    convert("zup.dae", collada);
    const auto from_collada = written();
    ASSERT_EQ(from_gltf.size(), 1u);
    ASSERT_EQ(from_collada.size(), 1u);
    EXPECT_EQ(sorted(from_gltf[0].vertex_tails),
              (std::vector<std::string>{":  X:1     Y:-3     Z:2", ":  X:4     Y:-6     Z:5",
                                        ":  X:7     Y:-10     Z:8"}));
    EXPECT_EQ(sorted(from_collada[0].vertex_tails), sorted(from_gltf[0].vertex_tails));
}

TEST_F(GeneralReader, AMeshOfSeventyThousandFacesIsSplitAndReported)
{
    const int columns = 350, rows = 100; // 35000 quads, 70000 triangles
    std::string obj = "o plane\n";
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
            obj += "v " + std::to_string(c) + " 0 " + std::to_string(r) + "\n";
    auto at = [&](int r, int c) { return std::to_string(r * (columns + 1) + c + 1); };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            obj += "f " + at(r, c) + " " + at(r, c + 1) + " " + at(r + 1, c + 1) + " " + at(r + 1, c) + "\n";
    convert("plane.obj", obj);
    const SceneStatistics& s = h.scene().statistics;
    EXPECT_EQ(s.objects_found, 2);
    EXPECT_EQ(s.valid_objects, 2);
    EXPECT_EQ(s.faces, 70000);
    ASSERT_EQ(report().repaired.size(), 1u);
    EXPECT_EQ(report().repaired[0].reason, general_reason::split_into_parts);
    EXPECT_EQ(report().repaired[0].text,
              "Repaired object 'plane' : the object has 70000 faces, more than the 65535 Kb2 imports in one object, "
              "so it was split into plane_1 to plane_2.");
    const auto objects = written();
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].name, "plane_1");
    EXPECT_EQ(objects[0].faces.size(), 65535u);
    EXPECT_EQ(objects[1].name, "plane_2");
    EXPECT_EQ(objects[1].faces.size(), 4465u);
    expect_exact_analysis_agrees(h.dir.file("out.asc"), s);
}

TEST_F(GeneralReader, PointsLinesAndObjectsWithoutFacesAreLoggedByName)
{
    h.analyse("shapes.obj", "o shape\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nf 1 2 3\nf 1 1 2\nl 1 4\np 4\n"
                            "o wire\nv 0 0 9\nv 1 0 9\nl 5 6\n");
    EXPECT_TRUE(report().problems);
    ASSERT_EQ(report().repaired.size(), 1u);
    EXPECT_EQ(report().repaired[0].object, "shape");
    EXPECT_EQ(report().repaired[0].reason, general_reason::primitives_dropped);
    EXPECT_TRUE(report().repaired[0].text.starts_with("Repaired object 'shape' : 3 points, lines or degenerate faces"));
    EXPECT_EQ(h.log_lines(),
              (std::vector<std::string>{
                  report().repaired[0].text,
                  "Error in object 'wire' : the object has 0 faces (points and lines are no faces). This object was "
                  "skipped since it would make Kb2 crash when importing it."}));
    convert_analysed();
    ASSERT_EQ(written().size(), 1u);
    EXPECT_EQ(written()[0].faces.size(), 1u);
}

// Where the quad's picture may stand, and what the conversion then does.
struct PictureCase {
    const char* name;
    void (*arrange)(const TempDir& dir);
    bool converted;
    bool picture_written;
    bool missing;   // listed among the missing pictures
    bool kept;      // a picture with other bytes was kept, and said so
};

const char* picture_name = "brickwall_p\xC2\xAB" "0.tif";
std::string picture_path(const TempDir& dir) { return (dir.path() / "TIFFRGB" / picture_name).string(); }

const PictureCase picture_cases[] = {
    {"fresh", [](const TempDir& d) { d.write(long_texture, picture_png); }, true, true, false, false},
    {"other_bytes_there",
     [](const TempDir& d) {
         d.write(long_texture, picture_png);
         d.write(std::string("TIFFRGB/") + picture_name, "hand-made");
     },
     true, false, false, true},
    {"texture_missing", [](const TempDir&) {}, true, false, true, false},
    {"texture_behind_a_link",
     [](const TempDir& d) {
         d.write("real.png", picture_png);
         ASSERT_EQ(::symlink("real.png", d.file(long_texture).c_str()), 0);
     },
     true, false, true, false},
    {"texture_is_a_pipe", [](const TempDir& d) { ASSERT_EQ(::mkfifo(d.file(long_texture).c_str(), 0600), 0); },
     true, false, true, false},
    {"picture_folder_is_a_link",
     [](const TempDir& d) {
         d.write(long_texture, picture_png);
         std::filesystem::create_directory(d.path() / "elsewhere");
         ASSERT_EQ(::symlink("elsewhere", d.file("TIFFRGB").c_str()), 0);
     },
     false, false, false, false},
};

class Pictures : public GeneralReader, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(Pictures, AreWrittenBesideTheOutputButNeverOverAnotherFileNorThroughALink)
{
    const PictureCase& c = GetParam();
    h.dir.write("wall.mtl", wall_mtl);
    c.arrange(h.dir);
    const std::string before = read_bytes(picture_path(h.dir));
    convert("wall.obj", quad_obj);
    EXPECT_EQ(h.session().conversion_report.status == ConversionStatus::Completed, c.converted);
    EXPECT_EQ(std::filesystem::exists(h.dir.file("out.asc")), c.converted);
    EXPECT_EQ(h.session().conversion_report.pictures.size(), c.picture_written ? 1u : 0u);
    EXPECT_EQ(!report().missing_pictures.empty(), c.missing);
    EXPECT_EQ(told("already exists with other content"), c.kept);
    if (!c.picture_written) {
        EXPECT_EQ(read_bytes(picture_path(h.dir)), before);
    }
    if (std::filesystem::exists(h.dir.path() / "elsewhere")) {
        EXPECT_TRUE(std::filesystem::is_empty(h.dir.path() / "elsewhere"));
    }
    EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
    if (c.converted) { // the material keeps its record: the picture may be added by hand
        EXPECT_EQ(h.scene().catalogue.material_count, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Arrangements, Pictures, ::testing::ValuesIn(picture_cases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(GeneralReader, AnUnchangedPictureIsLeftAndAChangedSceneIsReadAgainFirst)
{
    h.dir.write("wall.mtl", wall_mtl);
    h.dir.write(long_texture, picture_png);
    convert("wall.obj", quad_obj);
    ASSERT_EQ(h.session().conversion_report.pictures.size(), 1u);
    // The same picture again: nothing to write, nothing to say (about the
    // picture: the material file is there, and its replacing is confirmed).
    h.services.default_answer = true;
    h.form().click_Start_process();
    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::Completed);
    EXPECT_TRUE(h.session().conversion_report.pictures.empty());
    EXPECT_FALSE(told("already exists with other content"));
    // A scene written to after its analysis is not converted from what was read.
    h.dir.write("wall.obj", quad_obj + "f 1/1 2/2 3/3\n");
    std::filesystem::remove(h.dir.file("out.asc"));
    h.form().click_Start_process();
    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::InputFailed);
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("out.asc")));
}

// An ".ase" file the exact reader refuses (it has no mapping vertex count),
// and the readers each choice gives it.
const std::string unmapped_ase =
    crlf({"*3DSMAX_ASCIIEXPORT\t200", "*MATERIAL_LIST {", "\t*MATERIAL_COUNT 0", "}", "*GEOMOBJECT {",
          "\t*NODE_NAME \"tri\"", "\t*MESH {", "\t\t*MESH_NUMVERTEX 3", "\t\t*MESH_NUMFACES 1",
          "\t\t*MESH_VERTEX_LIST {", "\t\t\t*MESH_VERTEX    0\t0.0000\t0.0000\t0.0000",
          "\t\t\t*MESH_VERTEX    1\t1.0000\t0.0000\t0.0000", "\t\t\t*MESH_VERTEX    2\t0.0000\t1.0000\t0.0000",
          "\t\t}", "\t\t*MESH_FACE_LIST {",
          "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    1\t *MESH_SMOOTHING 1 "
          "\t*MESH_MTLID 0",
          "\t\t}", "\t}", "}"});

struct ReaderCase {
    const char* name;
    ReaderChoice choice;
    bool answer; // to the question offering the general reader
    bool completed;
    bool asked;
};

class ReaderChoices : public GeneralReader, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(ReaderChoices, DecideWhoReadsAnAseFileTheExactReaderRefuses)
{
    const ReaderCase& c = GetParam();
    h.session().settings.reader = c.choice;
    h.services.answers = {false, c.answer}; // no express run; then the offer
    h.analyse("tri.ase", unmapped_ase);
    EXPECT_EQ(report().completed, c.completed);
    EXPECT_EQ(report().reader, c.completed ? SceneReader::General : SceneReader::Exact);
    EXPECT_EQ(told(messages::general_reader_question), c.asked);
    EXPECT_EQ(told("This .ase file is invalid"), c.choice == ReaderChoice::Exact || c.asked);
    if (c.completed) { // the exact reader's refusal leaves nothing in the statistics
        EXPECT_EQ(h.stat_boxes(), "1/1/1/1/3/");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ReaderChoices,
    ::testing::Values(ReaderCase{"exact", ReaderChoice::Exact, true, false, false},
                      ReaderCase{"general", ReaderChoice::General, true, true, false},
                      ReaderCase{"auto", ReaderChoice::Auto, true, true, false},
                      ReaderCase{"offered_and_taken", ReaderChoice::OfferGeneral, true, true, true},
                      ReaderCase{"offered_and_declined", ReaderChoice::OfferGeneral, false, false, true}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
