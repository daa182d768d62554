#include <gtest/gtest.h>

#include "state/messages.hpp"
#include "support/analysis_harness.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {


std::string enabled_options(const Controls& c)
{
    std::string out;
    out += c.Check_createmat.enabled ? 'M' : '-';
    out += c.Check_splitasc.enabled ? 'S' : '-';
    out += c.Check_flip3daxis.enabled ? 'A' : '-';
    out += c.Check_vtextures.enabled ? 'V' : '-';
    return out;
}

void toggle_check_all(Form& form)
{
    CheckBoxState& box = form.controls().Check_all;
    box.value = box.value == 1 ? 0 : 1;
    form.click_Check_all();
}

} // namespace

TEST(Form, StartsWithOnlyTheAnalysisButtonAndCheckAllUsable)
{
    Harness h;
    const Controls& c = h.controls();
    EXPECT_TRUE(c.Analize_filename.enabled);
    EXPECT_FALSE(c.Target_filename.enabled);
    EXPECT_FALSE(c.Start_process.enabled);
    EXPECT_FALSE(c.Open_error_log.enabled);
    EXPECT_FALSE(c.Clear_statistics.enabled);
    EXPECT_EQ(c.Check_all.value, 1);
    EXPECT_TRUE(c.Check_all.enabled);
    EXPECT_EQ(enabled_options(c), "----");
    EXPECT_FALSE(c.Label_analize.visible);
    EXPECT_FALSE(c.Analize_bar.visible);
    EXPECT_FALSE(c.Process_bar.visible);
    EXPECT_EQ(c.Text2.text, "Text2");
    EXPECT_EQ(h.scene().statistics, SceneStatistics{});
    EXPECT_TRUE(h.scene().object_names.empty());
    EXPECT_EQ(h.session().templates.file_header.size(), 16u);
    EXPECT_EQ(h.session().templates.record_start.size(), 73u);
}

TEST(Form, CheckAllSwitchesTheOptionsByFileType)
{
    struct Case {
        const char* file_type;
        const char* unchecked;
    };
    for (const Case& c : {Case{"", "MSAV"}, Case{"ase", "MSAV"}, Case{"asc", "-SA-"}}) {
        Harness h;
        h.scene().file_type = c.file_type;
        toggle_check_all(h.form());
        EXPECT_EQ(enabled_options(h.controls()), c.unchecked) << c.file_type;
        toggle_check_all(h.form());
        EXPECT_EQ(enabled_options(h.controls()), "----") << c.file_type;
    }
}

TEST(Form, AnAnalysisDisablesTheMaterialAndTextureOptionsUntilCheckAllIsClickedAgain)
{
    Harness h;
    toggle_check_all(h.form());
    h.analyse("s.asc", one_object_asc);
    EXPECT_EQ(enabled_options(h.controls()), "-SA-");
}

TEST(Form, ClearingAsksThenForgetsTheScene)
{
    Harness h;
    h.analyse("s.asc", one_object_asc);
    h.scene().invalid_submaterial_objects_since_start = 4;
    h.services.answers = {false};
    h.form().click_Clear_statistics();
    EXPECT_EQ(h.services.messages.back().message.text, messages::clear_question);
    EXPECT_EQ(h.services.messages.back().message.caption, "Warning");
    EXPECT_EQ(h.scene().file_loaded, 1);
    EXPECT_TRUE(std::filesystem::exists(h.log_path()));

    h.services.answers = {true};
    h.form().click_Clear_statistics();
    EXPECT_EQ(h.scene().file_loaded, 0);
    EXPECT_EQ(h.stat_boxes(), "/////");
    EXPECT_EQ(h.scene().object_names, std::vector<std::string>{""});
    EXPECT_EQ(h.scene().invalid_submaterial_objects_since_start, 4);
    EXPECT_EQ(h.scene().scene_path, "");
    EXPECT_FALSE(std::filesystem::exists(h.log_path()));
    EXPECT_FALSE(h.controls().Start_process.enabled);
    EXPECT_FALSE(h.controls().Clear_statistics.enabled);
    EXPECT_TRUE(h.controls().Target_filename.enabled); // left as the analysis set it
    // The next analysis does not ask to discard anything.
    h.analyse("s.asc", one_object_asc);
    for (const auto& m : h.services.messages)
        EXPECT_NE(m.message.text, messages::discard_question);
}

TEST(Form, TheTargetChoiceRefusesAnEmptyNameAndTheInputItself)
{
    Harness h;
    const std::string input = h.dir.write("Town.asc", "");
    h.scene().scene_path = input;

    FileDialogResult empty;
    empty.cancelled = false;
    h.services.save_choices.push_back(empty);
    h.form().click_Target_filename();
    EXPECT_EQ(h.services.messages.back().message.text, messages::no_target_chosen);
    EXPECT_EQ(h.services.messages.back().message.caption, "Warning");

    for (const std::string& same : {input, h.dir.file("Town"), h.dir.path().string() + "/./Town.asc"}) {
        h.services.save_choices.push_back(ScriptedServices::chosen(same));
        h.form().click_Target_filename();
        EXPECT_EQ(h.services.messages.back().message.text, messages::cannot_overwrite_input) << same;
        EXPECT_EQ(h.services.messages.back().message.caption, "Error");
        EXPECT_FALSE(h.controls().Start_process.enabled) << same;
    }

    const std::size_t messages_before = h.services.messages.size();
    h.form().click_Target_filename(); // cancelled
    EXPECT_EQ(h.services.messages.size(), messages_before);

    // This file system tells letter cases apart: "TOWN.ASC" is another file.
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("TOWN.ASC")));
    h.form().click_Target_filename();
    EXPECT_EQ(h.scene().target_path, h.dir.file("TOWN.ASC"));

    h.controls().Start_process.enabled = false;
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("Out")));
    h.form().click_Target_filename();
    EXPECT_TRUE(h.controls().Start_process.enabled);
    EXPECT_EQ(h.scene().target_path, h.dir.file("Out.asc"));
    EXPECT_EQ(h.controls().Text_savefile.text, h.dir.file("Out.asc"));
    const FileDialogRequest& request = h.services.save_requests.back();
    EXPECT_EQ(request.title, messages::save_dialog_title);
    EXPECT_EQ(request.filter, messages::save_dialog_filter);
    EXPECT_EQ(request.initial_folder, h.dir.path().string());
    EXPECT_TRUE(request.confirm_overwrite);
}

TEST(Form, Text2RefusesExclamationPointsAndBackslashes)
{
    struct Case {
        const char* typed;
        std::vector<std::string> shown;
        const char* text_after;
    };
    const std::vector<Case> cases = {
        {"Group water", {}, "Group water"},
        {"wet!", {messages::text2_exclamation}, "Group"},
        {"a\\b", {messages::text2_backslash}, "Group"},
        {"!\\", {messages::text2_exclamation}, "Group"},
        {"\\!", {messages::text2_exclamation}, "Group"},
    };
    for (const auto& c : cases) {
        Harness h;
        h.form().change_Text2(c.typed);
        EXPECT_EQ(h.services.texts(), c.shown) << c.typed;
        EXPECT_EQ(h.controls().Text2.text, c.text_after) << c.typed;
    }
}

TEST(Form, OpeningTheLogHandsItsPathToTheDesktop)
{
    Harness h;
    h.form().click_Open_error_log();
    EXPECT_EQ(h.services.opened_documents, std::vector<std::string>{h.log_path()});
    EXPECT_TRUE(h.services.messages.empty());
}

namespace {

// Clicks again while the analysis lets events run, as an impatient user would.
class ReenteringServices : public ScriptedServices {
public:
    Form* form = nullptr;
    void let_events_run() override
    {
        ScriptedServices::let_events_run();
        if (form && !clicked) {
            clicked = true;
            form->click_Analize_filename();
            form->click_Start_process();
            form->click_Clear_statistics();
            form->click_Target_filename();
        }
    }
    bool clicked = false;
};

} // namespace

TEST(Form, ALongActionRefusesASecondOne)
{
    TempDir dir;
    ReenteringServices services;
    EngineSettings settings;
    settings.log_path = dir.file("testfile.txt");
    Form form(services, settings);
    services.form = &form;
    services.open_choices.push_back(ScriptedServices::chosen(dir.write("s.asc", one_object_asc)));
    form.click_Analize_filename();
    EXPECT_TRUE(services.clicked);
    EXPECT_EQ(services.open_requests.size(), 1u);
    EXPECT_TRUE(services.save_requests.empty());
    EXPECT_TRUE(form.session().analysis_report.completed);
    EXPECT_FALSE(form.busy());
}
