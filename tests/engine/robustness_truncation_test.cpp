// Every scene cut short: each prefix that ends at a line end (after the CR and
// after the CR LF), and a sample of prefixes that end inside a line, is
// analysed and converted with every option and every question answered Yes.
// Each run must end with a verdict or a message, leave the input as it was
// and leave no temporary file behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ase_builder.hpp"
#include "support/scene_runs.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

struct SampleScene {
    std::string label;
    std::string name; // file name, whose extension picks the analysis
    std::string bytes;
};

std::vector<SampleScene> sample_scenes()
{
    const std::filesystem::path examples = std::filesystem::path(TREVANIX_SOURCE_DIR) / "examples";
    const std::filesystem::path real = TREVANIX_REAL_CORPUS;

    AseObject multi;
    multi.name = "multi";
    multi.faces = ase_faces_with_ids({0, 1});
    multi.tfaces = ase_tfaces(2);
    AseObject unmapped;
    unmapped.name = "unmapped";
    unmapped.mapping_lists = false;
    unmapped.material_ref.reset();
    const std::string generated_ase =
        ase_header() +
        material_list({multi_material("mm", {standard_submaterial("s0", "a_very_long_texture_name.bmp"),
                                             gta_submaterial("Map", "another_long_texture_name.bmp")}),
                       gta_material("gta", "a_very_long_texture_name.bmp")}) +
        ase_object(multi) + ase_object(unmapped) + ase_object(AseObject{});
    const std::string generated_asc = asc_scene(
        {{.name = "a"}, {.name = "b", .vertices = 1, .mapped = true, .uv = true, .material = "m"}});

    std::vector<SampleScene> scenes = {
        {"examples/town.ase", "town.ase", scene_file(examples / "town.ase")},
        {"examples/crate.asc", "crate.asc", scene_file(examples / "crate.asc")},
        {"generated .ase", "gen.ase", generated_ase},
        {"generated .asc", "gen.asc", generated_asc},
    };
    // Small public scenes, when the corpus is there.
    const char* real_scenes[][2] = {
        {"assimp__assimp/ThreeCubesGreen.crlf.ase", "cubes.ase"},
        {"assimp__assimp/InvalidUVIndex.crlf.ase", "invalid_uv.ase"},
        {"TrenchBroom__TrenchBroom/wedge_45_no_uv.crlf.ase", "wedge.ase"},
        {"mtuomi__SecondReality/TESTI.ASC", "testi.asc"},
    };
    for (const auto& [path, name] : real_scenes)
        if (std::string bytes = scene_file(real / path); !bytes.empty())
            scenes.push_back({path, name, std::move(bytes)});
    return scenes;
}

// Prefix lengths: every line end (after its CR LF), a CR whose LF is cut off
// on every third line, and the middle of every fifth line.
std::vector<std::size_t> cut_points(const std::string& bytes)
{
    std::vector<std::size_t> cuts = {0};
    std::size_t line_start = 0;
    int line = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r')
            continue;
        if (line++ % 5 == 0 && i > line_start + 1)
            cuts.push_back(line_start + (i - line_start) / 2);
        const bool lf_follows = i + 1 < bytes.size() && bytes[i + 1] == '\n';
        if (!lf_follows || line % 3 == 0)
            cuts.push_back(i + 1);
        if (lf_follows)
            cuts.push_back(++i + 1);
        line_start = i + 1;
    }
    if (cuts.back() != bytes.size())
        cuts.push_back(bytes.size());
    return cuts;
}

} // namespace

TEST(RobustnessTruncation, EveryPrefixOfASceneEndsWithAVerdictOrAMessage)
{
    const Watchdog watchdog("the truncation sweep", std::chrono::seconds(120));
    for (const SampleScene& scene : sample_scenes()) {
        ASSERT_FALSE(scene.bytes.empty()) << scene.label;
        int analysed = 0;
        int converted = 0;
        for (const std::size_t cut : cut_points(scene.bytes)) {
            Harness h;
            h.services.default_answer = true;
            const SceneRun run = run_scene(h, scene.name, scene.bytes.substr(0, cut));
            ASSERT_EQ(run.failure, "") << scene.label << " cut after " << cut << " bytes";
            analysed += run.analysed;
            converted += run.converted;
        }
        // Our own scenes, whole, are analysed and converted: a sweep that never
        // gets that far proves nothing. (Some public scenes are rejected whole.)
        if (scene.name.starts_with("gen") || scene.label.starts_with("examples")) {
            EXPECT_GT(analysed, 0) << scene.label;
            EXPECT_GT(converted, 0) << scene.label;
        }
    }
}
