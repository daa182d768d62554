#include <gtest/gtest.h>

#include <set>

#include "analysis/object_check.hpp"
#include "analysis/texture_short_names.hpp"
#include "convert/left_out.hpp"

#include "state/messages.hpp"
#include "support/analysis_harness.hpp"
#include "support/ase_builder.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

// 1-based number of the n-th line (from 1) that contains `needle`.
int line_of(const std::string& text, const std::string& needle, int nth = 1)
{
    int line = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find("\r\n", start);
        const std::string current = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (current.find(needle) != std::string::npos && --nth == 0)
            return line;
        if (end == std::string::npos)
            break;
        start = end + 2;
        ++line;
    }
    return 0;
}

std::string err(int line, const std::string& name, const std::string& tail)
{
    return "Error in line " + std::to_string(line) + " (object '" + name + "') : " + tail;
}

const std::string two_materials = material_list({standard_material("stone", "stone.bmp"),
                                                 multi_material("multi", {standard_submaterial("a", "a.bmp"),
                                                                          standard_submaterial("b", "b.bmp"),
                                                                          standard_submaterial("c", "c.bmp")})});

std::string scene(const std::vector<AseObject>& objects) { return ase_scene(objects, two_materials); }

AseObject object(std::string name)
{
    AseObject o;
    o.name = std::move(name);
    return o;
}

} // namespace

TEST(AseAnalysis, ObjectRulesWriteTheirLogLines)
{
    struct Case {
        const char* what;
        std::vector<AseObject> objects;
        // Builds the expected log from the scene text.
        std::function<std::vector<std::string>(const std::string&)> log;
        std::string boxes;
        std::vector<std::string> reasons = {}; // the reason key of each log line
    };
    AseObject no_quotes = object("q");
    no_quotes.node_line = "\t*NODE_NAME q";
    AseObject zero_vertices = object("v0");
    zero_vertices.vertices.clear();
    AseObject zero_faces = object("f0");
    zero_faces.faces.clear();
    AseObject many_faces = object("big");
    many_faces.faces = ase_faces(65536);
    AseObject limit_faces = object("limit");
    limit_faces.faces = ase_faces(65535);
    AseObject zero_tvertices = object("t0");
    zero_tvertices.tvertices.clear();
    AseObject zero_tfaces = object("tf0");
    zero_tfaces.tfaces.clear();
    zero_tfaces.faces = ase_faces(12);
    AseObject bad_sub = object("sub");
    bad_sub.material_ref = 1;
    bad_sub.faces = ase_faces_with_ids({0, 2, 3});
    AseObject good_sub = object("subok");
    good_sub.material_ref = 1;
    good_sub.faces = ase_faces_with_ids({0, 1, 2});
    AseObject plain_id1 = object("plain");
    plain_id1.faces = ase_faces_with_ids({1});
    AseObject wire = object("wire");
    wire.material_ref.reset();
    wire.faces = ase_faces_with_ids({7});
    AseObject missing_material = object("nomat");
    missing_material.material_ref = 5;

    const std::vector<Case> cases = {
        {"valid objects", {object("a"), good_sub}, [](const std::string&) { return std::vector<std::string>{}; }, "2/2/1/4/6/"},
        {"E1", {no_quotes, object("b")},
         [](const std::string& s) {
             return std::vector<std::string>{"Error in line " + std::to_string(line_of(s, "*NODE_NAME q")) +
                                             " : the quotes indicating the name of the object are missing"};
         },
         "2/1/1/1/3/", {"name_not_quoted"}},
        {"E2", {zero_vertices},
         [](const std::string& s) {
             return std::vector<std::string>{err(line_of(s, "*MESH_NUMVERTEX 0"), "v0",
                                                 "the line indicating the number of vertices indicates that the object has 0 vertices. This object was skipped since it would make Kb2 crash when importing it.")};
         },
         "1//1///", {"zero_vertices"}},
        {"E3", {zero_faces},
         [](const std::string& s) {
             return std::vector<std::string>{err(line_of(s, "*MESH_NUMFACES 0"), "f0",
                                                 "the line indicating the number of faces indicates that the object has 0 faces. This object was skipped since it would make Kb2 crash when importing it.")};
         },
         "1//1///", {"zero_faces"}},
        {"E4 above 65535, and 65535 passes", {many_faces, limit_faces},
         [](const std::string& s) {
             return std::vector<std::string>{err(line_of(s, "*MESH_NUMFACES 65536"), "big",
                                                 "the line indicating the number of faces indicates that the object has 65535 faces. This object was skipped since Kb2 doesn't import completly objects with more than 65535 faces.")};
         },
         "2/1/1/65535/3/", {"too_many_faces"}},
        {"E5", {zero_tvertices},
         [](const std::string& s) {
             return std::vector<std::string>{err(line_of(s, "*MESH_NUMTVERTEX 0"), "t0",
                                                 "the line indicating the number of mapping vertices indicates that the object has 0 mapping vertices. This object was skipped since it would make Kb2 crash when importing it.")};
         },
         "1//1///", {"zero_mapping_vertices"}},
        {"E6 on a mapped object of 12 faces", {zero_tfaces},
         [](const std::string& s) {
             return std::vector<std::string>{err(line_of(s, "*MESH_NUMTVFACES 0"), "tf0",
                                                 "the line indicating the number of mapping faces indicates that the object has 0 mapping faces. This object was skipped since it would make Kb2 crash when importing it.")};
         },
         "1//1///", {"zero_mapping_faces"}},
        {"E7 reports the first bad face at the material reference line", {bad_sub, plain_id1},
         [](const std::string& s) {
             const std::string tail = "indicates a non-existant sub-material reference (";
             return std::vector<std::string>{
                 err(line_of(s, "*MATERIAL_REF 1"), "sub",
                     "the line indicating information about the face nr 2" + tail +
                         "3). Please make sure that in your 3d modeller program you assign correctly every sub-material identifiers. This whole object was skipped."),
                 err(line_of(s, "*MATERIAL_REF 0"), "plain",
                     "the line indicating information about the face nr 0" + tail +
                         "1). Please make sure that in your 3d modeller program you assign correctly every sub-material identifiers. This whole object was skipped.")};
         },
         "2//1///2", {"invalid_submaterial_id", "invalid_submaterial_id"}},
        {"wire colour objects skip the sub-material check", {wire}, [](const std::string&) { return std::vector<std::string>{}; }, "1/1/1/1/3/"},
        {"a material reference outside the list fails the object", {missing_material},
         [](const std::string& s) {
             return std::vector<std::string>{err(line_of(s, "*MATERIAL_REF 5"), "nomat",
                                                 "the line indicating the material of this object refers to a non-existant material (5). This whole object was skipped.")};
         },
         "1//1///", {"unknown_material"}},
    };
    for (const auto& c : cases) {
        Harness h;
        const std::string text = scene(c.objects);
        h.analyse("scene.ase", text);
        EXPECT_EQ(h.log_lines(), c.log(text)) << c.what;
        std::vector<std::string> texts, reasons;
        for (const KeptProblem& problem : h.logged()) {
            texts.push_back(problem.text);
            reasons.push_back(problem.reason);
        }
        EXPECT_EQ(texts, c.log(text)) << c.what;
        EXPECT_EQ(reasons, c.reasons) << c.what;
        EXPECT_EQ(h.stat_boxes(), c.boxes) << c.what;
        EXPECT_TRUE(h.session().analysis_report.completed) << c.what;
    }
}

TEST(AseAnalysis, InvalidSubmaterialCountNeverResets)
{
    AseObject bad = object("bad");
    bad.faces = ase_faces_with_ids({4});
    Harness h;
    h.services.default_answer = true; // discard the loaded scene when asked
    h.analyse("one.ase", scene({bad}));
    h.analyse("two.ase", scene({bad, bad}));
    EXPECT_EQ(h.controls().Text1.text, "2");
    EXPECT_EQ(h.scene().invalid_submaterial_objects_since_start, 3);
}

TEST(AseAnalysis, BrokenStructureEndsTheAnalysis)
{
    struct Case {
        const char* what;
        std::string text;
        std::string message;
    };
    AseObject unmapped = object("flat");
    unmapped.mapping_lists = false;
    std::string no_vertex_count = scene({object("novc")});
    no_vertex_count.replace(no_vertex_count.find("\t\t*MESH_NUMVERTEX"), 2, "\t");
    std::string no_tfaces_count = scene({object("notf")});
    no_tfaces_count.replace(no_tfaces_count.find("\t\t*MESH_NUMTVFACES"), 2, " ");
    std::string cut_in_face_list = scene({object("cut")});
    cut_in_face_list.resize(cut_in_face_list.find("\t\t\t*MESH_FACE "));
    const std::vector<Case> cases = {
        {"F1: the vertex-count line has one tab only", no_vertex_count,
         "This .ase file is invalid (the object novc doesn't have a line indicating the number of vertices of this object). Unfortunately it's not possible to just skip this object, please remove this object in the 3d scene in the 3d modelling program."},
        {"F2: an unmapped last object", scene({object("first"), unmapped}),
         "This .ase file is invalid (the object flat doesn't have a line indicating the number of mapping vertices of this object). Unfortunately it's not possible to just skip this object, please remove this object in the 3d scene in the 3d modelling program."},
        {"F3", no_tfaces_count, messages::ase_invalid_structure},
        {"the end of the file in the face list", cut_in_face_list, messages::ase_invalid_structure},
        {"a material count beyond 16 bits", ase_header() + "*MATERIAL_LIST {\r\n\t*MATERIAL_COUNT 40000\r\n}\r\n" + ase_object(object("x")),
         messages::ase_invalid_structure},
    };
    for (const auto& c : cases) {
        Harness h;
        h.services.answers = {true}; // Yes to the express run: the fatal end must drop it
        h.analyse("broken.ase", c.text);
        ASSERT_FALSE(h.services.messages.empty()) << c.what;
        EXPECT_EQ(h.services.messages.front().message.text, messages::express_question) << c.what;
        EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::NotRun) << c.what;
        const auto& last = h.services.messages.back().message;
        EXPECT_EQ(last.caption, "Error") << c.what;
        EXPECT_EQ(last.icon, MessageIcon::Critical) << c.what;
        EXPECT_EQ(last.text, c.message) << c.what;
        EXPECT_FALSE(h.scene().file_loaded) << c.what;
        EXPECT_FALSE(h.session().analysis_report.completed) << c.what;
        EXPECT_TRUE(h.session().analysis_report.not_analysable) << c.what;
        EXPECT_FALSE(h.controls().Label_analize.visible);
        EXPECT_FALSE(h.controls().Analize_bar.visible);
        EXPECT_FALSE(h.controls().Clear_statistics.enabled) << c.what;
    }
}

TEST(AseAnalysis, AnUnmappedObjectTakesTheNextObjectsMappingCounts)
{
    AseObject unmapped = object("flat");
    unmapped.mapping_lists = false;
    Harness h;
    h.analyse("scene.ase", scene({unmapped, object("mapped"), object("third")}));
    // "flat" passes with the counts of "mapped", which is therefore never examined.
    EXPECT_EQ(h.stat_boxes(), "3/2/1/2/6/");
    EXPECT_TRUE(h.log_lines().empty());
}

TEST(AseAnalysis, FaceIdsThatAreNotNumbersFailTheObject)
{
    std::string text = scene({object("odd"), object("fine")});
    text.replace(text.find("*MESH_MTLID 0"), 13, "*MESH_MTLID x");
    Harness h;
    h.analyse("scene.ase", text);
    const std::vector<KeptProblem>& kept = h.logged();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].reason, "unreadable_submaterial_id");
    EXPECT_EQ(kept[0].object, "odd");
    EXPECT_EQ(h.log_lines(),
              std::vector<std::string>{err(line_of(text, "*MESH_MTLID x"), "odd",
                                           "the line indicating information about the face nr 0 doesn't indicate a valid sub-material reference. This whole object was skipped.")});
    EXPECT_EQ(h.stat_boxes(), "2/1/1/1/3/");
}

TEST(AseAnalysis, EveryReasonKeyIsDistinctSnakeCaseAndDocumented)
{
    const std::string readme = read_bytes(std::string(TREVANIX_SOURCE_DIR) + "/README.md");
    // Each family of keys in its own table of the README, under its own heading.
    auto table_after = [&readme](const std::string& heading) {
        const auto start = readme.find(heading);
        EXPECT_NE(start, std::string::npos) << heading;
        return readme.substr(start, readme.find("\n#", start + heading.size()) - start);
    };
    std::vector<std::pair<std::string, std::vector<std::string_view>>> families = {
        {"#### Reason keys", {}}, {"#### Reason keys of objects left out", {}}, {"#### Pictures not renamed", {}}};
    for (const RejectionReason reason : all_rejection_reasons)
        families[0].second.push_back(reason_key(reason));
    for (const LeftOutReason reason : all_left_out_reasons)
        families[1].second.push_back(left_out_key(reason));
    for (const std::string_view key : unrenamed::all)
        families[2].second.push_back(key);
    for (const auto& [heading, keys] : families) {
        const std::string table = table_after(heading + "\n");
        std::set<std::string_view> seen;
        for (const std::string_view key : keys) {
            EXPECT_TRUE(seen.insert(key).second) << key;
            EXPECT_EQ(key.find_first_not_of("abcdefghijklmnopqrstuvwxyz_"), std::string_view::npos) << key;
            EXPECT_NE(table.find("| `" + std::string(key) + "` |"), std::string::npos)
                << key << " is not in the README under " << heading;
        }
    }
}

TEST(AseAnalysis, RealScenesAreAnalysedWithoutCrashing)
{
    const std::filesystem::path corpus = TREVANIX_REAL_CORPUS;
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no real scene corpus here";
    int analysed = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".ase" && ext != ".ASE" && ext != ".asc"))
            continue;
        Harness h;
        h.services.open_choices.push_back(ScriptedServices::chosen(entry.path().string()));
        h.form().click_Analize_filename();
        const auto& report = h.session().analysis_report;
        EXPECT_TRUE(report.completed || report.not_analysable) << entry.path();
        ++analysed;
    }
    EXPECT_GT(analysed, 10);
}
