// The public samples: every scene of another tool, and every ".ase" file the
// exact reader refuses, converts with the general reader, and each ".asc" it
// writes passes the exact ".asc" analysis with the general reader's totals.
// Skipped where the corpus is absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "import_scenes.hpp"
#include "support/scene_runs.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

struct Sample {
    const char* corpus;
    const char* path;
};

const Sample samples[] = {
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/Box/glTF-Binary/Box.glb"},
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/BoxTextured/glTF/BoxTextured.gltf"},
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/BoxTextured/glTF-Embedded/BoxTextured.gltf"},
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/BoxVertexColors/glTF/BoxVertexColors.gltf"},
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/CesiumMilkTruck/glTF/CesiumMilkTruck.gltf"},
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/Duck/glTF/Duck.gltf"},
    {TREVANIX_MODERN_CORPUS, "KhronosGroup__glTF-Sample-Models/2.0/SimpleMeshes/glTF/SimpleMeshes.gltf"},
    {TREVANIX_MODERN_CORPUS,
     "KhronosGroup__glTF-Sample-Models/2.0/TextureCoordinateTest/glTF/TextureCoordinateTest.gltf"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/OBJ/spider.obj"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/OBJ/concave_polygon.obj"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/OBJ/mtl_different_folder.obj"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/FBX/spider.fbx"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/FBX/embedded_ascii/box.FBX"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/Collada/duck.dae"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/Collada/kwxport_test_vcolors.dae"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/3DS/test1.3ds"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/PLY/Wuson.ply"},
    {TREVANIX_MODERN_CORPUS, "assimp__assimp/test/models/STL/Spider_binary.stl"},
    // The ".ase" files the exact reader refuses as structurally invalid.
    {TREVANIX_REAL_CORPUS, "TrenchBroom__TrenchBroom/cuboid.ase"},
    {TREVANIX_REAL_CORPUS, "TrenchBroom__TrenchBroom/fallback_to_materialname__wedge_45.ase"},
    {TREVANIX_REAL_CORPUS, "TrenchBroom__TrenchBroom/no_scene_directive__wedge_45.ase"},
    {TREVANIX_REAL_CORPUS, "TrenchBroom__TrenchBroom/wedge_45_no_uv.ase"},
    {TREVANIX_REAL_CORPUS, "UnvanquishedAssets__map-station15_src.dpkdir/grass.ase"},
    {TREVANIX_REAL_CORPUS, "UnvanquishedAssets__map-station15_src.dpkdir/tree01a.ase"},
    {TREVANIX_REAL_CORPUS, "assimp__assimp/CameraRollAnimWithChildObject.ase"},
    {TREVANIX_REAL_CORPUS, "assimp__assimp/InvalidUVIndex.ase"},
    {TREVANIX_REAL_CORPUS, "assimp__assimp/RotatingCube.ASE"},
    {TREVANIX_REAL_CORPUS, "assimp__assimp/ThreeCubesGreen.ASE"},
    {TREVANIX_REAL_CORPUS, "assimp__assimp/anim2.ASE"},
};

class CorpusRoundTrip : public ::testing::TestWithParam<Sample> {};

TEST_P(CorpusRoundTrip, ConvertsAndPassesTheExactAnalysis)
{
    const std::filesystem::path scene = std::filesystem::path(GetParam().corpus) / GetParam().path;
    if (!std::filesystem::is_regular_file(scene))
        GTEST_SKIP() << scene << " is absent";
    Harness h;
    h.session().settings.reader = ReaderChoice::Auto;
    h.services.open_choices.push_back(ScriptedServices::chosen(scene.string()));
    h.form().click_Analize_filename();
    const AnalysisReport& analysis = h.session().analysis_report;
    ASSERT_TRUE(analysis.completed);
    EXPECT_EQ(analysis.reader, SceneReader::General);
    EXPECT_FALSE(analysis.problems) << h.log_text();
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
    h.form().click_Target_filename();
    h.form().click_Start_process();
    const ConversionReport& conversion = h.session().conversion_report;
    ASSERT_EQ(conversion.status, ConversionStatus::Completed);
    ASSERT_EQ(conversion.outputs, std::vector<std::string>{h.dir.file("out.asc")});
    expect_exact_analysis_agrees(h.dir.file("out.asc"), h.scene().statistics);
    EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Samples, CorpusRoundTrip, ::testing::ValuesIn(samples), [](const auto& test) {
    std::string name = std::filesystem::path(test.param.path).filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name + "_" + std::to_string(test.index);
});

} // namespace
