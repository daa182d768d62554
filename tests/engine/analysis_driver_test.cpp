#include <gtest/gtest.h>

#include <optional>

#include "app/scene_types.hpp"
#include "state/messages.hpp"
#include "support/analysis_harness.hpp"
#include "support/ase_builder.hpp"
#include "support/comma_locale.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

const std::string bad_asc = crlf({"Named object: \"box\"", "Tri-mesh, Vertices: 1     Faces: 0", ""});

std::string good_ase() { return ase_header() + material_list({standard_material("m", "m.bmp")}) + ase_object({}); }
std::string bad_ase()
{
    AseObject o;
    o.faces.clear();
    return ase_header() + material_list({standard_material("m", "m.bmp")}) + ase_object(o) + ase_object({});
}

struct Buttons {
    bool start, log, target, clear;
    bool operator==(const Buttons&) const = default;
};

Buttons buttons(Harness& h)
{
    const Controls& c = h.controls();
    return {c.Start_process.enabled, c.Open_error_log.enabled, c.Target_filename.enabled, c.Clear_statistics.enabled};
}

std::ostream& operator<<(std::ostream& os, const Buttons& b)
{
    return os << "start=" << b.start << " log=" << b.log << " target=" << b.target << " clear=" << b.clear;
}

} // namespace

TEST(AnalysisVerdict, ButtonsAndMessageFollowTheOutcome)
{
    struct Case {
        const char* what;
        std::string file;
        std::string content;
        bool target_chosen;
        bool start_before; // Start_process state before the analysis ("unchanged" rows)
        Buttons after;
        std::string caption;
        std::string message;
        MessageIcon icon;
    };
    const std::vector<Case> cases = {
        {"asc ok, target", "s.asc", one_object_asc, true, false, {true, false, true, true}, "Finished", messages::finished, MessageIcon::Information},
        {"asc ok, no target", "s.asc", one_object_asc, false, true, {true, false, true, true}, "Finished", messages::finished_choose_target, MessageIcon::Information},
        {"asc problems", "s.asc", bad_asc, true, true, {false, true, false, true}, "Finished", messages::asc_finished_with_problems, MessageIcon::Information},
        {"ase ok, target", "s.ase", good_ase(), true, false, {true, false, true, true}, "Finished", messages::finished, MessageIcon::Information},
        {"ase ok, no target", "s.ase", good_ase(), false, false, {false, false, true, true}, "Finished", messages::finished_choose_target, MessageIcon::Information},
        {"ase problems, target", "s.ase", bad_ase(), true, false, {true, true, true, true}, "Warning", messages::ase_finished_with_problems, MessageIcon::Critical},
        {"ase problems, no target", "s.ase", bad_ase(), false, true, {true, true, true, true}, "Warning", messages::ase_finished_with_problems_choose_target, MessageIcon::Critical},
    };
    for (const auto& c : cases) {
        Harness h;
        if (c.target_chosen)
            h.scene().target_path = h.dir.file("target.asc");
        h.controls().Start_process.enabled = c.start_before;
        h.analyse(c.file, c.content);
        EXPECT_EQ(buttons(h), c.after) << c.what;
        ASSERT_FALSE(h.services.messages.empty()) << c.what;
        const Message& last = h.services.messages.back().message;
        EXPECT_EQ(last.caption, c.caption) << c.what;
        EXPECT_EQ(last.text, c.message) << c.what;
        EXPECT_EQ(last.icon, c.icon) << c.what;
        EXPECT_TRUE(h.scene().file_loaded) << c.what;
        EXPECT_FALSE(h.controls().Check_createmat.enabled) << c.what;
        EXPECT_FALSE(h.controls().Check_vtextures.enabled) << c.what;
        EXPECT_FALSE(h.controls().Text_comments.enabled) << c.what;
    }
}

TEST(AnalysisVerdict, IsTheSameUnderACommaDecimalLanguage)
{
    // A mapping-vertex count written "0.6" is not 0, so the object passes,
    // whatever language the desktop speaks.
    std::string scene = good_ase();
    const std::string count = "*MESH_NUMTVERTEX 3";
    scene.replace(scene.find(count), count.size(), "*MESH_NUMTVERTEX 0.6");
    std::vector<std::string> outcomes;
    for (const bool comma_language : {false, true}) {
        std::optional<CommaDecimalLocale> comma;
        if (comma_language && !comma.emplace().active())
            GTEST_SKIP() << "no locale with a decimal comma can be had here";
        Harness h;
        h.dir.write("s.asc", "");
        h.analyse("s.ase", scene);
        outcomes.push_back(h.stat_boxes() + " " + h.services.texts().back() + " " + h.log_text());
    }
    EXPECT_EQ(outcomes[0], std::string("1/1/1/1/3/ ") + messages::finished_choose_target + " ");
    EXPECT_EQ(outcomes[1], outcomes[0]);
}

TEST(AnalysisVerdict, AseInputAsksForAnExpressRunUnlessItsAscNamesakeExists)
{
    Harness asked;
    asked.analyse("city.ase", good_ase());
    ASSERT_FALSE(asked.services.messages.empty());
    EXPECT_EQ(asked.services.messages.front().message.caption, "Question");
    EXPECT_EQ(asked.services.messages.front().message.text, messages::express_question);

    Harness not_asked;
    not_asked.dir.write("city.asc", "");
    not_asked.analyse("city.ase", good_ase());
    for (const auto& m : not_asked.services.messages)
        EXPECT_NE(m.message.text, messages::express_question);
}

TEST(AnalysisVerdict, AnExpressRunStartsTheConversionOnlyWithoutProblems)
{
    struct Case {
        bool yes, problems;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        // No verdict box in an express run: the question, then the express
        // ending of the conversion, which closes the program.
        {true, false, {messages::express_question, messages::finished_express}},
        // A Yes that cannot be honoured is answered with the reason.
        {true, true,
         {messages::express_question, messages::ase_finished_with_problems_choose_target,
          messages::express_run_not_honoured}},
        {false, true, {messages::express_question, messages::ase_finished_with_problems_choose_target}},
        {false, false, {messages::express_question, messages::finished_choose_target}},
    };
    for (const auto& c : cases) {
        Harness h;
        h.services.answers = {c.yes};
        h.analyse("city.ase", c.problems ? bad_ase() : good_ase());
        const bool express = c.yes && !c.problems;
        const bool converted = h.session().conversion_report.status == ConversionStatus::Completed;
        EXPECT_EQ(converted, express) << c.yes << c.problems;
        EXPECT_EQ(h.services.texts(), c.messages) << c.yes << c.problems;
        EXPECT_EQ(h.services.quit_called, express);
        if (express) {
            EXPECT_FALSE(read_bytes(h.dir.file("city.asc")).empty()) << "the express run writes beside the input";
        } else {
            EXPECT_FALSE(std::filesystem::exists(h.dir.file("city.asc")));
        }
        // Whether it converted or not, nothing holds the target afterwards.
        EXPECT_FALSE(std::filesystem::exists(h.dir.file("city.asc.trevanix-lock"))) << c.yes << c.problems;
    }

    // A scene that will be refused unread (saved as UTF-16) is refused before the question.
    Harness h;
    h.services.answers = {true};
    h.analyse("city.ase", std::string("\xFF\xFE") + good_ase());
    ASSERT_EQ(h.services.messages.size(), 1u);
    EXPECT_EQ(h.services.messages[0].message.caption, "Error");
    EXPECT_NE(h.services.texts()[0].find("UTF-16"), std::string::npos);
    EXPECT_FALSE(h.session().analysis_report.completed);
    EXPECT_FALSE(h.scene().file_loaded);
}

TEST(AnalysisStart, ALoadedSceneIsKeptWhenTheUserSaysNo)
{
    Harness h;
    h.analyse("s.asc", bad_asc);
    const std::string log_before = h.log_text();
    const std::string boxes = h.stat_boxes();
    h.services.answers = {false};
    h.form().click_Analize_filename();
    EXPECT_EQ(h.services.messages.back().message.text, messages::discard_question);
    EXPECT_EQ(h.services.open_requests.size(), 1u);
    EXPECT_EQ(h.stat_boxes(), boxes);
    EXPECT_EQ(h.log_text(), log_before);
    EXPECT_TRUE(h.scene().file_loaded);
}

TEST(AnalysisStart, YesThenCancelLeavesAnEmptyUnloadedScene)
{
    Harness h;
    h.analyse("s.asc", bad_asc);
    h.services.answers = {true};
    h.form().click_Analize_filename(); // the dialog is cancelled: no choice queued
    EXPECT_FALSE(h.scene().file_loaded);
    EXPECT_EQ(h.stat_boxes(), "/////");
    EXPECT_EQ(h.scene().scene_path, "");
    EXPECT_FALSE(std::filesystem::exists(h.log_path()));
    EXPECT_FALSE(h.controls().Clear_statistics.enabled);
    const FileDialogRequest& request = h.services.open_requests.back();
    EXPECT_EQ(request.title, messages::open_dialog_title);
    // "All scenes" first, with the general reader's extensions, then the exact readers' own pairs.
    EXPECT_EQ(request.filter, scene_dialog_filter());
    EXPECT_TRUE(request.filter.starts_with("All scenes|*.ase;*.asc;"));
    EXPECT_NE(request.filter.find(";*.gltf;"), std::string::npos);
    EXPECT_TRUE(request.filter.ends_with(messages::open_dialog_filter));
    EXPECT_TRUE(request.must_exist);
}

TEST(AnalysisStart, AnEmptyChoiceIsRefused)
{
    Harness h;
    FileDialogResult empty;
    empty.cancelled = false;
    h.services.open_choices.push_back(empty);
    h.form().click_Analize_filename();
    ASSERT_EQ(h.services.messages.size(), 1u);
    EXPECT_EQ(h.services.messages[0].message.caption, "Warning");
    EXPECT_EQ(h.services.messages[0].message.text, messages::no_file_selected);
    EXPECT_EQ(h.services.messages[0].message.icon, MessageIcon::Critical);
}

TEST(AnalysisStart, TheCommandLineSceneIsAnalysedWithoutQuestions)
{
    Harness h;
    const std::string path = h.dir.write("Cmd Line.ASC", one_object_asc);
    h.form().start_up("\"" + path + "\"");
    EXPECT_EQ(h.scene().scene_path, path);
    EXPECT_EQ(h.scene().file_type, FileType::Asc);
    EXPECT_TRUE(h.session().analysis_report.completed);
    EXPECT_TRUE(h.services.open_requests.empty());
    // The next click asks for a file again.
    h.services.answers = {true};
    h.form().click_Analize_filename();
    EXPECT_EQ(h.services.open_requests.size(), 1u);
}

TEST(AnalysisStart, APathWithoutQuotesIsTakenWhole)
{
    Harness h;
    const std::string path = h.dir.write("plain.asc", one_object_asc);
    h.form().start_up(path);
    EXPECT_EQ(h.scene().scene_path, path);
    EXPECT_TRUE(h.session().analysis_report.completed);
}

TEST(AnalysisStart, AMissingFileGetsAClearMessageAndNothingElseChanges)
{
    Harness h;
    h.dir.write("testfile.txt", "earlier log\r\n");
    h.form().start_up(h.dir.file("missing.ase"));
    ASSERT_EQ(h.services.messages.size(), 1u);
    EXPECT_EQ(h.services.messages[0].message.caption, "Error");
    EXPECT_NE(h.services.messages[0].message.text.find("missing.ase"), std::string::npos);
    EXPECT_TRUE(h.session().analysis_report.not_analysable);
    EXPECT_FALSE(h.scene().file_loaded);
    EXPECT_EQ(h.scene().scene_path, "");
    EXPECT_EQ(h.controls().Text_loadfile.text, "");
    EXPECT_EQ(h.log_text(), "earlier log\r\n");
    EXPECT_TRUE(h.controls().Check_all.enabled);
    // The next click offers the dialog rather than failing on the same path again.
    h.form().click_Analize_filename();
    EXPECT_EQ(h.services.open_requests.size(), 1u);
}

TEST(AnalysisStart, OtherExtensionsAreRefusedWithAMessageAndLeaveAnEmptyLog)
{
    Harness h;
    h.analyse("notes.txt", one_object_asc);
    ASSERT_EQ(h.services.messages.size(), 1u);
    const Message& refusal = h.services.messages[0].message;
    EXPECT_EQ(refusal.caption, "Error");
    EXPECT_EQ(refusal.icon, MessageIcon::Critical);
    EXPECT_NE(refusal.text.find(".ase"), std::string::npos);
    EXPECT_NE(refusal.text.find(".asc"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(h.log_path()));
    EXPECT_EQ(h.log_text(), "");
    EXPECT_FALSE(h.session().analysis_report.completed);
    EXPECT_FALSE(h.scene().file_loaded);
}

// A command-line scene that cannot be analysed is given up, so the next
// click offers the dialog instead of refusing the same file again.
TEST(AnalysisStart, EveryEarlyEndDropsTheCommandLineScene)
{
    struct Case {
        const char* name;
        std::string content;
        std::string first_message;
    };
    std::string cut_in_face_list = ase_header() + ase_object({});
    cut_in_face_list.resize(cut_in_face_list.find("\t\t\t*MESH_FACE "));
    const std::vector<Case> cases = {
        {"empty.asc", crlf({"nothing here"}), messages::no_objects},
        {"empty.ase", crlf({"*3DSMAX_ASCIIEXPORT 200"}), messages::no_objects},
        {"broken.ase", cut_in_face_list, messages::ase_invalid_structure},
        {"notes.txt", one_object_asc, messages::not_a_scene_file},
    };
    for (const Case& c : cases) {
        Harness h;
        h.dir.write("empty.asc", "");
        h.dir.write("broken.asc", "");
        h.form().start_up("\"" + h.dir.write(c.name, c.content) + "\"");
        ASSERT_FALSE(h.services.messages.empty()) << c.name;
        EXPECT_NE(h.services.messages[0].message.text.find(c.first_message), std::string::npos) << c.name;
        EXPECT_FALSE(h.session().analysis_report.completed) << c.name;
        h.form().click_Analize_filename();
        EXPECT_EQ(h.services.open_requests.size(), 1u) << c.name;
    }
}

TEST(AnalysisStart, TheOpenDialogStartsInTheFolderOfTheLastSceneAnalysed)
{
    Harness h;
    h.services.default_answer = true;
    h.form().click_Analize_filename(); // cancelled
    EXPECT_EQ(h.services.open_requests.back().initial_folder, h.dir.path().string());
    h.analyse("scenes/s.asc", one_object_asc);
    h.form().click_Analize_filename();
    EXPECT_EQ(h.services.open_requests.back().initial_folder, h.dir.file("scenes"));
    EXPECT_EQ(h.session().last_scene_folder, h.dir.file("scenes"));
    // A folder that is gone is not offered.
    h.session().last_scene_folder = h.dir.file("gone");
    h.form().click_Analize_filename();
    EXPECT_EQ(h.services.open_requests.back().initial_folder, h.dir.path().string());
}

TEST(AnalysisStart, AFileWithoutObjectsIsRejected)
{
    // ".asc": the rejection, then the clearing question (answered No here).
    Harness asc;
    asc.analyse("empty.asc", crlf({"nothing here"}));
    ASSERT_EQ(asc.services.messages.size(), 2u);
    EXPECT_EQ(asc.services.messages[0].message.text, messages::no_objects);
    EXPECT_EQ(asc.services.messages[1].message.text, messages::clear_question);
    EXPECT_TRUE(asc.session().analysis_report.no_objects);

    // ".ase": the rejection only.
    Harness ase;
    ase.dir.write("empty.asc", "");
    ase.analyse("empty.ase", crlf({"*3DSMAX_ASCIIEXPORT 200"}));
    ASSERT_EQ(ase.services.messages.size(), 1u);
    EXPECT_EQ(ase.services.messages[0].message.caption, "Error");
    EXPECT_EQ(ase.services.messages[0].message.text, messages::no_objects);
}

TEST(AnalysisStart, LoneLineFeedsEndLinesOnlyInFilesWithoutCarriageReturns)
{
    std::string lf_only = "Ambient light color: Red=0.3\r\n" + one_object_asc;
    std::erase(lf_only, '\r');
    // One CR anywhere keeps the CR rule: the lone LFs stay inside one line.
    const std::string mixed = "Ambient light color: Red=0.3\r" + lf_only;
    struct Case {
        const std::string& scene;
        bool lf_ends_line; // asked for
        bool completed;
        bool hint;         // the file holds lone LFs that did not end lines
    };
    const Case cases[] = {
        {lf_only, false, true, false},
        {mixed, false, false, true},
        {mixed, true, true, false},
    };
    for (const Case& c : cases) {
        Harness h;
        h.session().settings.lf_ends_line = c.lf_ends_line;
        h.analyse("unix.asc", c.scene);
        EXPECT_EQ(h.session().analysis_report.completed, c.completed);
        EXPECT_EQ(h.session().analysis_report.input_has_lone_line_feeds, c.hint);
        if (c.completed) {
            EXPECT_EQ(h.stat_boxes(), "1/1/1/1/1/");
        }
    }
}

TEST(AnalysisStart, TwoAnalysesOfOneFileGiveTheSameTotals)
{
    Harness h;
    h.services.default_answer = true;
    h.dir.write("s.asc", "");
    h.analyse("s.ase", bad_ase());
    const std::string first = h.stat_boxes();
    h.services.open_choices.push_back(ScriptedServices::chosen(h.dir.file("s.ase")));
    h.form().click_Analize_filename();
    EXPECT_EQ(h.stat_boxes(), first);
    EXPECT_EQ(h.log_lines().size(), 1u);
}
