#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "state/messages.hpp"
#include "app/start_process.hpp"
#include "convert/conversion.hpp"
#include "format/line_source.hpp"
#include "convert_test_support.hpp"
#include "support/analysis_harness.hpp"

using namespace trevanix;
using namespace trevanix::convert_testing;

namespace {

// Object i of a scene, written back unchanged by the re-export.
std::string asc_block(int i)
{
    return asc_object({.name = "o" + std::to_string(i), .vertices = 1, .smoothing = false});
}

std::string asc_blocks(int from, int to)
{
    std::string s;
    for (int i = from; i < to; ++i)
        s += asc_block(i);
    return s;
}

std::string asc_scene(int objects) { return asc_header + asc_blocks(0, objects); }

std::vector<std::string> files_in(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Sets the stop request after a number of line steps, as a closing window does.
class StoppingServices : public ScriptedServices {
public:
    Session* session = nullptr;
    int stop_after = 0;
    void let_events_run() override
    {
        ScriptedServices::let_events_run();
        if (events_run == stop_after)
            session->stop_requested = true;
    }
};

} // namespace

TEST(ConversionDriver, PlacesObjectsIntoSplitFilesOf255)
{
    struct Case {
        int objects;
        std::int64_t split_files;
        bool split_chosen;
        std::vector<std::pair<std::string, std::pair<int, int>>> expected; // file, objects [from, to)
        std::int64_t curr_splitasc;
    };
    const Case cases[] = {
        {256, 2, true, {{"scene_01.asc", {0, 255}}, {"scene_02.asc", {255, 256}}}, 2},
        {300, 3, true, {{"scene_01.asc", {0, 255}}, {"scene_02.asc", {255, 300}}, {"scene_03.asc", {0, 0}}}, 2},
        {255, 2, true, {{"scene_01.asc", {0, 255}}, {"scene_02.asc", {0, 0}}}, 2},
        {3, 1, true, {{"scene.asc", {0, 3}}}, 1},
        {300, 2, false, {{"scene.asc", {0, 300}}}, 1},
        // More objects than the analysis foresaw go to a further split file.
        {520, 2, true, {{"scene_01.asc", {0, 255}}, {"scene_02.asc", {255, 510}}, {"scene_03.asc", {510, 520}}}, 3},
    };
    for (const auto& c : cases) {
        ConversionFixture f;
        f.load("in.asc", asc_scene(c.objects), c.split_files);
        f.options(c.split_chosen, false, false, false);
        f.session.scene.chosen_target = f.dir.file("scene.asc");
        start_process(f.session);
        std::vector<std::string> outputs;
        for (const auto& [name, range] : c.expected) {
            EXPECT_EQ(f.output(name), asc_blocks(range.first, range.second)) << c.objects << " " << name;
            outputs.push_back(f.dir.file(name));
        }
        EXPECT_EQ(f.session.conversion_report.outputs, outputs) << c.objects;
        EXPECT_EQ(f.session.conversion_report.objects_written, c.objects);
        EXPECT_EQ(f.session.conversion_report.next_split_file, c.curr_splitasc) << c.objects;
        const bool warned = !f.ui.messages.empty() && f.ui.messages[0].message.text == messages::split_warning;
        EXPECT_EQ(warned, c.split_files > 1 && !c.split_chosen) << c.objects;
        if (warned) {
            EXPECT_EQ(f.ui.messages[0].message.caption, "Warning");
            EXPECT_EQ(f.ui.messages[0].message.icon, MessageIcon::Exclamation);
        }
    }
}

TEST(ConversionDriver, NamesTheTenthSplitFileWithTheFixedZero)
{
    ConversionFixture f;
    f.load("in.asc", asc_scene(1), 10);
    f.options(true, false, false, false);
    f.session.scene.chosen_target = f.dir.file("city.asc");
    start_process(f.session);
    EXPECT_EQ(f.output("city_01.asc"), asc_blocks(0, 1));
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("city_09.asc")));
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("city_010.asc")));
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("city_10.asc")));
    EXPECT_EQ(f.session.conversion_report.outputs.back(), f.dir.file("city_010.asc"));
}

TEST(ConversionDriver, EndsWithTheFinalMessageAndLeavesTheWindowIdle)
{
    struct Case {
        int express;
        bool show;
        std::optional<bool> answer;
        bool quits;
    };
    const Case cases[] = {{1, true, std::nullopt, true}, {0, true, true, true}, {0, true, false, false},
                          {1, false, std::nullopt, false}};
    for (const auto& c : cases) {
        ConversionFixture f;
        f.load("scene.ase", ase_scene({}));
        f.session.show_final_message = c.show;
        f.session.controls.Open_error_log.enabled = true;
        if (c.answer)
            f.ui.answers.push_back(*c.answer);
        start_process(f.session, {.express_run = c.express == 1, .prepared = nullptr});
        EXPECT_EQ(f.ui.quit_called, c.quits);
        EXPECT_EQ(f.ui.messages.size(), c.show ? 1u : 0u);
        if (c.show) {
            const Message& m = f.ui.messages.back().message;
            EXPECT_EQ(m.caption, "Finished");
            EXPECT_EQ(m.text, c.express ? messages::finished_express : messages::finished_close_question);
            EXPECT_EQ(m.buttons, c.express ? MessageButtons::Ok : MessageButtons::YesNo);
        }
        EXPECT_FALSE(f.session.controls.Open_error_log.enabled);
        EXPECT_FALSE(f.session.controls.Label_analize.visible);
        EXPECT_FALSE(f.session.controls.Process_bar.visible);
        EXPECT_FALSE(f.ui.busy);
        EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::Completed);
        EXPECT_EQ(f.output("scene.asc"), "") << "an express run writes beside the input";
    }
}

TEST(ConversionDriver, AWriteFailureLeavesThePreviousFilesAndNoTemporary)
{
    ConversionFixture f;
    f.load("in.asc", asc_scene(40));
    f.session.scene.chosen_target = f.dir.file("out.asc");
    f.dir.write("out.asc", "previous");

    // Files of this process may not grow beyond 1000 bytes for the duration.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit small = old_limit;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    start_process(f.session);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::WriteFailed);
    EXPECT_EQ(f.output("out.asc"), "previous");
    EXPECT_EQ(files_in(f.dir), (std::vector<std::string>{"in.asc", "out.asc", "testfile.txt"}));
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].message.caption, "Error");
    EXPECT_EQ(f.ui.messages[0].message.icon, MessageIcon::Critical);
    EXPECT_NE(f.ui.messages[0].message.text.find(f.dir.file("out.asc")), std::string::npos);
    EXPECT_FALSE(f.ui.quit_called);
    EXPECT_FALSE(f.session.controls.Process_bar.visible);
}

TEST(ConversionDriver, ReportsAMissingTargetFolderOrInputWithoutWritingAnything)
{
    struct Case {
        bool remove_input;
        const char* target;
        ConversionStatus status;
    };
    const Case cases[] = {{false, "no/such/folder/out.asc", ConversionStatus::WriteFailed},
                          {true, "out.asc", ConversionStatus::InputFailed}};
    for (const auto& c : cases) {
        ConversionFixture f;
        f.load("in.asc", asc_scene(1));
        if (c.remove_input)
            std::filesystem::remove(f.session.scene.scene_path);
        f.session.scene.chosen_target = f.dir.file(c.target);
        start_process(f.session);
        EXPECT_EQ(f.session.conversion_report.status, c.status);
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].message.caption, "Error");
        EXPECT_EQ(f.ui.messages[0].message.icon, MessageIcon::Critical);
        EXPECT_FALSE(std::filesystem::exists(f.dir.file("out.asc")));
        EXPECT_TRUE(f.session.conversion_report.outputs.empty());
    }
}

TEST(ConversionDriver, AStopRequestAbandonsTheOutputsSilently)
{
    StoppingServices ui;
    TempDir dir;
    EngineSettings settings;
    settings.log_path = dir.file("testfile.txt");
    Session session(ui, settings);
    ui.session = &session;
    ui.stop_after = 10;
    const std::string input = asc_scene(40);
    session.scene.scene_path = dir.write("in.asc", input);
    session.scene.scene_identity = identity_of(session.scene.scene_path);
    session.scene.file_type = FileType::Asc;
    session.scene.extension = "asc";
    session.scene.line_count = 2 + 40 * 7;
    session.scene.statistics.split_files = 1;
    session.scene.chosen_target = dir.file("out.asc");
    dir.write("out.asc", "previous");
    start_process(session);
    EXPECT_NE(session.conversion_report.status, ConversionStatus::Completed);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(read_bytes(dir.file("out.asc")), "previous");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"in.asc", "out.asc", "testfile.txt"}));
    EXPECT_FALSE(ui.busy);
}

namespace {

// Whether the line source cuts lines longer than its bound; a reader that
// gathers them whole leaves nothing to refuse.
bool line_source_cuts_long_lines(const TempDir& dir)
{
    const std::string path = dir.write("probe.txt", std::string(LineSource::max_line_length + 10, 'x') + "\r\n");
    LineSource source;
    std::string error;
    std::string_view line;
    return source.open(path, error) && source.next(line) && source.line_cut();
}

} // namespace

TEST(ConversionDriver, ALineTooLongToCopyRefusesTheConversionNamingIt)
{
    {
        TempDir probe;
        if (!line_source_cuts_long_lines(probe))
            GTEST_SKIP() << "this line source does not cut long lines";
    }
    const std::string endless(LineSource::max_line_length + 10, '7');
    const std::string copied_vertex =
        crlf({"Named object: \"o1\"", "Tri-mesh, Vertices: 1     Faces: 1", "Vertex list:",
              "Vertex 0:  X:1     Y:2     Z:" + endless, "Face list:", "Face 0: A:0 B:0 C:0 AB:1 BC:1 CA:1", ""});
    AseObject endless_x;
    endless_x.vertices = {{endless, "0", "0"}, {"1", "0", "0"}, {"0", "1", "0"}};
    endless_x.faces = {{0, 1, 2}};
    endless_x.tvertices = {{"0", "0"}, {"1", "0"}, {"0", "1"}};
    endless_x.tfaces = {{0, 1, 2}};
    struct Case {
        std::string name;
        std::string scene;
        std::int64_t refused_line; // 0: the line is skipped and the conversion completes
    };
    const Case cases[] = {
        {"in.asc", asc_scene(1) + copied_vertex, 2 + 7 + 4},
        // Outside any object the line is never copied.
        {"in.asc", asc_scene(1) + crlf({"Comment " + endless, ""}) + asc_blocks(1, 2), 0},
        // The header's two lines, then the object's lines up to its first vertex.
        {"in.ase", ase_scene({endless_x}), 2 + 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.refused_line));
        ConversionFixture f;
        f.load(c.name, c.scene);
        f.options(false, false, false, false);
        f.session.scene.chosen_target = f.dir.file("out.asc");
        f.dir.write("out.asc", "previous");
        start_process(f.session);
        if (c.refused_line == 0) {
            EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::Completed);
            EXPECT_EQ(f.output("out.asc"), asc_blocks(0, 2));
            continue;
        }
        EXPECT_EQ(f.session.conversion_report.status, ConversionStatus::InputFailed);
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].message.caption, "Error");
        EXPECT_EQ(f.ui.messages[0].message.text, line_too_long_text(f.session.scene.scene_path, c.refused_line));
        EXPECT_EQ(f.output("out.asc"), "previous");
        EXPECT_EQ(files_in(f.dir), (std::vector<std::string>{c.name, "out.asc", "testfile.txt"}));
    }
}

namespace {

std::int64_t line_of(const std::string& text, const std::string& fragment)
{
    const std::string before = text.substr(0, text.find(fragment));
    return static_cast<std::int64_t>(std::count(before.begin(), before.end(), '\n')) + 1;
}

std::string without_line(std::string text, const std::string& after, const std::string& line_start)
{
    const auto at = text.find(line_start, text.find(after));
    return text.erase(at, text.find("\r\n", at) + 2 - at);
}

} // namespace

TEST(ConversionDriver, EveryObjectThatPassedTheAnalysisIsWrittenOrNamed)
{
    AseObject good, lod, flat, first, second;
    good.name = "good";
    lod.name = "LOD1_tree";
    flat.name = "flat";
    flat.vertices = {};
    first.name = "first";
    second.name = "second";
    // A mapping vertex count beyond its list: the loop reads on into the next
    // object, whose first line it takes as part of this one.
    std::string overrun = ase_scene({first, second});
    overrun.replace(overrun.find("*MESH_NUMTVERTEX 3"), 18, "*MESH_NUMTVERTEX 5");
    const std::string lod_scene = ase_scene({good, lod, flat});
    const std::string asc_text = trevanix::testing::asc_scene({{.name = "a"}, {.name = "b"}, {.name = "c"}, {.name = "d"}});
    const std::string missing_face = without_line(asc_text, "\"c\"", "Face 0:");
    // Kolbrin2's face limit itself passes both readings of both formats.
    AseObject limit;
    limit.name = "limit";
    limit.faces = ase_faces(65535);
    limit.tfaces = ase_tfaces(65535);
    const std::string limit_ase = ase_scene({limit});
    const std::string limit_asc = trevanix::testing::asc_scene({{.name = "limit", .faces = 65535}});
    // More lines in one object than are kept for a conversion riding along
    // the analysis: that one reads the scene again.
    const std::string huge_asc = trevanix::testing::asc_scene({{.name = "huge", .vertices = 300000}, {.name = "next"}});
    struct Case {
        const char* what;
        std::string name, scene;
        std::int64_t written;
        std::vector<std::string> left_out;
    };
    const Case cases[] = {
        {"a missing face line", "scene.asc", missing_face, 3,
         {std::to_string(line_of(missing_face, "\"c\"")) + " c face_line_missing"}},
        {"a LOD object beside one the analysis rejects", "scene.ase", lod_scene, 1,
         {std::to_string(line_of(lod_scene, "\"LOD1_tree\"") - 1) + " LOD1_tree lod_name"}},
        {"an object read into the one before it", "scene.ase", overrun, 1,
         {std::to_string(line_of(overrun, "\"second\"") - 1) + " second object_start_skipped"}},
        {"an .ase object of exactly 65535 faces", "scene.ase", limit_ase, 1, {}},
        {"an .asc object of exactly 65535 faces", "scene.asc", limit_asc, 1, {}},
        {"an .asc object of more lines than a riding conversion keeps", "scene.asc", huge_asc, 2, {}},
    };
    for (const Case& c : cases) {
        Harness h;
        h.services.default_answer = true;
        h.analyse(c.name, c.scene);
        h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
        h.form().click_Target_filename();
        h.form().click_Start_process();
        const ConversionReport& report = h.session().conversion_report;
        ASSERT_EQ(report.status, ConversionStatus::Completed) << c.what;
        EXPECT_EQ(report.objects_written, c.written) << c.what;
        std::vector<std::string> left_out;
        for (const LeftOutObject& o : report.first_left_out)
            left_out.push_back(std::to_string(o.line) + " " + o.object + " " + o.reason);
        EXPECT_EQ(left_out, c.left_out) << c.what;
        // Written and named add up to what passed.
        EXPECT_EQ(report.objects_written + report.objects_left_out, h.scene().statistics.valid_objects) << c.what;
        // The conversion's log stays empty.
        EXPECT_EQ(h.log_text(), "") << c.what;

        // The same conversion riding along the analysis, as the command line
        // runs it, writes and names the same.
        Harness riding;
        const std::string path = riding.dir.write(c.name, c.scene);
        riding.form().start_up(path, ConversionRequest{riding.dir.file("out.asc"), {true, true, true, true}});
        riding.services.save_choices.push_back(ScriptedServices::chosen(riding.dir.file("out.asc")));
        riding.form().click_Target_filename();
        riding.form().click_Start_process();
        const ConversionReport& rode = riding.session().conversion_report;
        EXPECT_EQ(rode.objects_written, report.objects_written) << c.what;
        EXPECT_EQ(rode.objects_left_out, report.objects_left_out) << c.what;
        std::vector<std::string> rode_left_out;
        for (const LeftOutObject& o : rode.first_left_out)
            rode_left_out.push_back(std::to_string(o.line) + " " + o.object + " " + o.reason);
        EXPECT_EQ(rode_left_out, left_out) << c.what;
        EXPECT_EQ(read_bytes(riding.dir.file("out.asc")), read_bytes(h.dir.file("out.asc"))) << c.what;
    }
}
