// Scenes beyond the 16- and 32-bit ranges the program's counts were designed
// for: absurd counts, references and ids, lines longer than 32767
// characters, more than 1000 long texture names, more than 32767 objects,
// counts whose sum runs past 64 bits, a line that never ends. Each gets a
// clear verdict or correct handling, never a wrapped count, an index out of
// range, an allocation sized by the input's word or a line gathered whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "state/messages.hpp"
#include "support/ase_builder.hpp"
#include "support/scene_runs.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

const char* const odd_numbers[] = {"1e10", "4294967296", "2147483648", "-1", "-4294967296", "nan", "NaN", "inf",
                                   "1e400", "-1e400", "32768", "65536", "99999999999999999999999999", "0x10", "1.5"};

std::string replace_first(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// A scene with one multi/sub-object material of three sub-materials and one
// mapped object using it, which analyses and converts without a problem.
std::string good_ase()
{
    AseObject o;
    o.name = "box";
    o.faces = ase_faces_with_ids({0, 2});
    o.tfaces = ase_tfaces(2);
    return ase_header() +
           material_list({multi_material("mm", {standard_submaterial("a", "a.bmp"), standard_submaterial("b", "b.bmp"),
                                                standard_submaterial("c", "c.bmp")})}) +
           ase_object(o);
}

std::string good_asc() { return asc_object({}); }

// A count read from a positive text never shows up negative in the
// statistics (a count that wrapped).
void expect_no_wrapped_statistic(const Harness& h, const std::string& edited_number, const std::string& context)
{
    if (!edited_number.starts_with('-')) {
        EXPECT_EQ(h.stat_boxes().find('-'), std::string::npos) << context << ": " << h.stat_boxes();
    }
}

// Runs `edited` twice: analysed and converted as it is, and written over a
// good scene between that scene's analysis and its conversion (so the
// conversion meets the odd text without the analysis having seen it).
void run_both_ways(const std::string& name, const std::string& good, const std::string& edited,
                   const std::string& number, const std::string& context)
{
    {
        Harness h;
        h.services.default_answer = true;
        const SceneRun run = run_scene(h, name, edited);
        EXPECT_EQ(run.failure, "") << context;
        expect_no_wrapped_statistic(h, number, context);
    }
    {
        Harness h;
        h.services.default_answer = true;
        h.analyse(name, good);
        ASSERT_TRUE(h.session().analysis_report.completed) << context;
        h.dir.write(name, edited);
        h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
        h.form().click_Target_filename();
        const std::size_t before = h.services.messages.size();
        h.form().click_Start_process();
        const ConversionReport& report = h.session().conversion_report;
        EXPECT_TRUE(report.status == ConversionStatus::Completed || told_why_it_stopped(h.services, before)) << context;
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{}) << context;
    }
}

} // namespace

TEST(RobustnessLimits, AbsurdCountsInAseObjectsAreRejectedOrHandled)
{
    const char* const count_lines[] = {"*MESH_NUMVERTEX 3", "*MESH_NUMFACES 2", "*MESH_NUMTVERTEX 3",
                                       "*MESH_NUMTVFACES 2"};
    for (const char* line : count_lines) {
        for (const char* number : odd_numbers) {
            const std::string keyword = std::string(line).substr(0, std::string(line).find(' ') + 1);
            const std::string context = keyword + number;
            run_both_ways("scene.ase", good_ase(), replace_first(good_ase(), line, keyword + number), number, context);
        }
    }
}

TEST(RobustnessLimits, AbsurdCountsInAscObjectsAreRejectedOrHandled)
{
    for (const char* number : odd_numbers) {
        for (const bool faces : {false, true}) {
            const std::string line = faces ? std::string("Tri-mesh, Vertices: 3     Faces: ") + number
                                           : std::string("Tri-mesh, Vertices: ") + number + "     Faces: 1";
            run_both_ways("scene.asc", good_asc(), replace_first(good_asc(), "Tri-mesh, Vertices: 3     Faces: 1", line),
                          number, line);
        }
    }
}

TEST(RobustnessLimits, MaterialCountsBeyond16BitsMakeTheSceneInvalid)
{
    const std::string scene = good_ase();
    const std::pair<std::string, std::string> edits[] = {
        {"*MATERIAL_COUNT 1", "*MATERIAL_COUNT 32768"},
        {"*MATERIAL_COUNT 1", "*MATERIAL_COUNT 4294967297"},
        {"*NUMSUBMTLS 3", "*NUMSUBMTLS 32768"},
        {"*NUMSUBMTLS 3", "*NUMSUBMTLS 4294967299"},
    };
    for (const auto& [from, to] : edits) {
        Harness h;
        const SceneRun run = run_scene(h, "scene.ase", replace_first(scene, from, to));
        EXPECT_EQ(run.failure, "") << to;
        EXPECT_FALSE(run.analysed) << to;
        ASSERT_FALSE(h.services.messages.empty()) << to;
        EXPECT_EQ(h.services.messages.back().message.text, messages::ase_invalid_structure) << to;
    }
}

TEST(RobustnessLimits, ReferencesAndIdsBeyond16BitsRejectTheObject)
{
    struct Case {
        std::string from, to;
        std::string logged; // part of the object's log line
    };
    const Case cases[] = {
        {"*MATERIAL_REF 0", "*MATERIAL_REF 32768", "(32768)"},
        {"*MATERIAL_REF 0", "*MATERIAL_REF 65536", "(65536)"},
        {"*MATERIAL_REF 0", "*MATERIAL_REF -1", "(-1)"},
        {"*MESH_MTLID 2", "*MESH_MTLID 32768", "valid sub-material reference"},
        // 65538 would read as 2 once wrapped to 16 bits, a valid id.
        {"*MESH_MTLID 2", "*MESH_MTLID 65538", "valid sub-material reference"},
        {"*MESH_MTLID 2", "*MESH_MTLID 3", "non-existant sub-material reference (3)"},
    };
    for (const Case& c : cases) {
        Harness h;
        h.analyse("scene.ase", replace_first(good_ase(), c.from, c.to));
        EXPECT_TRUE(h.session().analysis_report.completed) << c.to;
        EXPECT_TRUE(h.session().analysis_report.problems) << c.to;
        ASSERT_EQ(h.log_lines().size(), 1u) << c.to;
        EXPECT_NE(h.log_lines()[0].find(c.logged), std::string::npos) << h.log_lines()[0];
        run_both_ways("scene.ase", good_ase(), replace_first(good_ase(), c.from, c.to), "", c.to);
    }
}

TEST(RobustnessLimits, LinesLongerThan32767CharactersAreCarriedWhole)
{
    const std::string long_name(40000, 'n');
    const std::string long_value = "1." + std::string(40000, '5');

    AseObject o;
    o.name = long_name;
    std::string ase = ase_object(o);
    ase = replace_first(ase, "\t0.0000\t-1.5000\t2.2500", "\t" + long_value + "\t-1.5000\t2.2500");
    ase = ase_header() + material_list({standard_material("m", "wall.bmp")}) + ase;

    const std::string asc = crlf({"Named object: \"" + long_name + "\"", "Tri-mesh, Vertices: 1     Faces: 1",
                                  "Vertex list:", "Vertex 0:  X:" + long_value + "     Y:2     Z:-3", "Face list:",
                                  "Face 0:    A:0 B:0 C:0 AB:1 BC:1 CA:1", "Smoothing:  1"});
    for (const auto& [name, scene] : {std::pair{"scene.ase", ase}, std::pair{"scene.asc", asc}}) {
        Harness h;
        h.services.default_answer = true;
        const SceneRun run = run_scene(h, name, scene);
        EXPECT_EQ(run.failure, "") << name;
        EXPECT_TRUE(run.analysed) << name;
        EXPECT_EQ(h.controls().Text_valid_objects.text, "1") << name;
        ASSERT_TRUE(run.converted) << name;
        const std::string out = read_bytes(h.dir.file("out.asc"));
        EXPECT_NE(out.find("Named object: \"" + long_name + "\"\r\n"), std::string::npos) << name;
        EXPECT_NE(out.find("X:" + long_value + " "), std::string::npos) << name;
    }
}

TEST(RobustnessLimits, MoreThan1000LongTextureNamesKeepDistinctShortNames)
{
    constexpr int count = 1100;
    std::vector<std::string> materials;
    Harness h;
    h.services.default_answer = true;
    for (int k = 0; k < count; ++k) {
        const std::string texture = "long_texture_name_number_" + std::to_string(k);
        materials.push_back(gta_material("map", texture + ".bmp"));
        h.dir.write("TIFFRGB/" + texture + ".tif", std::to_string(k));
    }
    AseObject o;
    o.material_ref = count - 1;
    const SceneRun run = run_scene(h, "scene.ase", ase_header() + material_list(materials) + ase_object(o));
    ASSERT_EQ(run.failure, "");
    ASSERT_TRUE(run.converted);

    const auto& short_texture_names = h.scene().catalogue.short_texture_names;
    ASSERT_EQ(short_texture_names.size(), static_cast<std::size_t>(count));
    std::set<std::string> distinct;
    const std::string mat = read_bytes(h.dir.file("out.mat"));
    for (int k = 0; k < count; ++k) {
        const std::string short_name = "long_textur\xAB" + std::to_string(k) + ".tga";
        EXPECT_EQ(short_texture_names[static_cast<std::size_t>(k)].short_name, short_name);
        distinct.insert(short_texture_names[static_cast<std::size_t>(k)].short_name);
        // The material file names the texture by its base name.
        const std::string base = "long_textur\xAB" + std::to_string(k);
        auto at = mat.find(base);
        while (at != std::string::npos && std::isdigit(static_cast<unsigned char>(mat[at + base.size()])))
            at = mat.find(base, at + 1);
        EXPECT_NE(at, std::string::npos) << k;
        // The picture moved to its short name, with its own bytes.
        EXPECT_EQ(read_bytes(h.dir.file("TIFFRGB/long_textur\xC2\xAB" + std::to_string(k) + ".tif")),
                  std::to_string(k));
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(count));
}

TEST(RobustnessLimits, MoreThan32767ObjectsAreCountedAndWrittenWithoutWrapping)
{
    const Watchdog watchdog("the 33000-object scene", std::chrono::seconds(120));
    constexpr int objects = 33000;
    std::string scene;
    scene.reserve(static_cast<std::size_t>(objects) * 200);
    for (int i = 0; i < objects; ++i)
        scene += "Named object: \"o" + std::to_string(i) +
                 "\"\r\nTri-mesh, Vertices: 1     Faces: 1\r\nVertex list:\r\nVertex 0:  X:1     Y:2     Z:3\r\n"
                 "Face list:\r\nFace 0:    A:0 B:0 C:0 AB:1 BC:1 CA:1\r\nSmoothing:  1\r\n\r\n";
    Harness h;
    h.services.default_answer = true;
    const SceneRun run = run_scene(h, "scene.asc", scene);
    ASSERT_EQ(run.failure, "");
    EXPECT_EQ(h.stat_boxes(), "33000/33000/130/33000/33000/");
    ASSERT_TRUE(run.converted);
    const ConversionReport& report = h.session().conversion_report;
    EXPECT_EQ(report.objects_written, objects);
    ASSERT_EQ(report.outputs.size(), 130u);
    const std::string last = read_bytes(report.outputs.back());
    std::size_t named = 0;
    for (auto at = last.find("Named object"); at != std::string::npos; at = last.find("Named object", at + 1))
        ++named;
    EXPECT_EQ(named, static_cast<std::size_t>(objects - 129 * 255));
    EXPECT_NE(last.find("Named object: \"o32999\""), std::string::npos);
}

TEST(RobustnessLimits, ANegativeSubmaterialIdNeverTakesTheMaterialOfTheObjectBefore)
{
    // The analysis lets a negative id pass (only ids above 0 are checked), so
    // the export must judge it on its own: the object it belongs to comes out
    // the same, or not at all, whatever object precedes it.
    AseObject first;
    first.name = "first";
    first.faces = ase_faces_with_ids({1});
    AseObject second;
    second.name = "second";
    second.faces = ase_faces_with_ids({-1});
    const std::string list = material_list({multi_material(
        "mm", {standard_submaterial("a", "a.bmp"), standard_submaterial("b", "b.bmp"), standard_submaterial("c", "")})});
    auto block_of_second = [](const std::string& scene) {
        Harness h;
        h.services.default_answer = true;
        const SceneRun run = run_scene(h, "scene.ase", scene);
        EXPECT_EQ(run.failure, "");
        EXPECT_TRUE(run.converted);
        const std::string out = read_bytes(h.dir.file("out.asc"));
        const auto at = out.find("Named object: \"second\"");
        return at == std::string::npos ? std::string() : out.substr(at, out.find("Named object", at + 1) - at);
    };
    const std::string alone = block_of_second(ase_header() + list + ase_object(second));
    const std::string after_first = block_of_second(ase_header() + list + ase_object(first) + ase_object(second));
    EXPECT_EQ(after_first, alone);
    EXPECT_EQ(after_first.find("Material:\"b\""), std::string::npos) << after_first;
}

TEST(RobustnessLimits, EdgeFlagsBeyond64BitsAreWrittenAsNumbers)
{
    // Such a value does not fit a 64-bit integer, so it must never be
    // converted to one (undefined behaviour, caught by the fuzz targets'
    // sanitizer; the seed writer's scenes carry this case too).
    const std::string digits89 = std::string(88, '8') + "0";
    const std::pair<std::string, std::string> cases[] = {
        {digits89, "BC:8.88888888888889e+88"},
        {"-1e300", "BC:-1e+300"},
        {"123456789012345678", "BC:123456789012345680"},
    };
    for (const auto& [text, written] : cases) {
        Harness h;
        h.services.default_answer = true;
        const SceneRun run =
            run_scene(h, "scene.ase", replace_first(good_ase(), "BC:    1 CA:    0", "BC:    " + text + " CA:    0"));
        EXPECT_EQ(run.failure, "") << text;
        ASSERT_TRUE(run.converted) << text;
        EXPECT_NE(read_bytes(h.dir.file("out.asc")).find(written + " CA:0\r\n"), std::string::npos) << text;
    }
}

TEST(RobustnessLimits, HugeNegativeCountsInAscObjectsSaturateTheTotals)
{
    // Only 0 and more than 65535 faces fail an ".asc" count, so objects with
    // huge negative counts pass, and their sum runs past the 64-bit range
    // (a fuzz finding). The totals stop at the range's end; a count that is
    // not a whole 64-bit number adds nothing.
    struct Case {
        std::vector<std::string> counts; // one object each
        std::string total;
    };
    const Case cases[] = {
        {{"-8952655659253949509", "-2238163914813487360"}, "-9223372036854775808"},
        {{"-4611686018427387904", "-4611686018427386880"}, "-9223372036854774784"}, // exact: it fits
        {{"-9223372036854775808", "-1"}, "-9223372036854775808"},
        {{"-1e300", "-4"}, "-4"},
    };
    for (const Case& c : cases) {
        std::string scene;
        for (const std::string& count : c.counts)
            scene += replace_first(good_asc(), "Vertices: 3     Faces: 1", "Vertices: " + count + "     Faces: " + count);
        Harness h;
        h.services.default_answer = true;
        const SceneRun run = run_scene(h, "scene.asc", scene);
        EXPECT_EQ(run.failure, "") << c.total;
        EXPECT_TRUE(run.analysed) << c.total;
        EXPECT_EQ(h.controls().Text_faces.text, c.total);
        EXPECT_EQ(h.controls().Text_vertices.text, c.total);
    }
}

namespace {

// The process's peak resident memory so far, in KiB.
long peak_memory_kib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return 0;
}

// Writes `text` followed by `zeros` zero bytes without a line end: one endless
// line. The zeros are a hole in the file, so they cost no disk space.
std::string write_with_endless_line(const TempDir& dir, const std::string& name, const std::string& text,
                                    std::uintmax_t zeros)
{
    const std::string path = dir.write(name, text);
    std::error_code ec;
    std::filesystem::resize_file(path, text.size() + zeros, ec);
    return ec ? std::string() : path;
}

} // namespace

TEST(RobustnessLimits, AnEndlessLinePassesInBoundedMemory)
{
    const Watchdog watchdog("the endless line", std::chrono::seconds(300));
    constexpr std::uintmax_t zeros = std::uintmax_t{256} << 20;
    for (const auto& [name, text] : {std::pair{"scene.ase", good_ase()}, std::pair{"scene.asc", good_asc()}}) {
        Harness h;
        h.services.default_answer = true;
        const std::string path = write_with_endless_line(h.dir, name, text, zeros);
        ASSERT_FALSE(path.empty());
        const long before = peak_memory_kib();
        h.services.open_choices.push_back(ScriptedServices::chosen(path));
        h.form().click_Analize_filename();
        EXPECT_TRUE(h.session().analysis_report.completed) << name;
        EXPECT_EQ(h.controls().Text_valid_objects.text, "1") << name;
        h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
        h.form().click_Target_filename();
        h.form().click_Start_process();
        EXPECT_FALSE(h.form().busy());
        // Far less than the line: it is never gathered whole.
        EXPECT_LT(peak_memory_kib() - before, 64 * 1024) << name;
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{}) << name;
    }
}

TEST(RobustnessLimits, AStopRequestInsideAnEndlessLineIsHonoured)
{
    const Watchdog watchdog("the stop inside an endless line", std::chrono::seconds(120));
    // A line of a thousand gigabytes: read to its end, it would outlast the watchdog.
    Harness h;
    const std::string path = write_with_endless_line(h.dir, "scene.asc", good_asc(), std::uintmax_t{1} << 40);
    if (path.empty())
        GTEST_SKIP() << "the file system refuses a sparse file of 1 TiB";
    std::atomic<bool> stop{false};
    h.session().settings.stop = &stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    h.services.open_choices.push_back(ScriptedServices::chosen(path));
    h.form().click_Analize_filename();
    stopper.join();
    EXPECT_FALSE(h.session().analysis_report.completed);
    EXPECT_TRUE(h.session().analysis_report.not_analysable);
    EXPECT_FALSE(h.form().busy());
}
