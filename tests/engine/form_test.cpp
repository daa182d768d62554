#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "convert/material_file.hpp"
#include "state/controls.hpp"
#include "state/error_log.hpp"
#include "state/messages.hpp"
#include "state/scene_state.hpp"
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
    box.checked = !box.checked;
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
    EXPECT_TRUE(c.Check_all.checked);
    EXPECT_TRUE(c.Check_all.enabled);
    EXPECT_EQ(enabled_options(c), "----");
    EXPECT_FALSE(c.Label_analize.visible);
    EXPECT_FALSE(c.Analize_bar.visible);
    EXPECT_FALSE(c.Process_bar.visible);
    EXPECT_EQ(c.Text2.text, "Text2");
    EXPECT_EQ(h.scene().statistics, SceneStatistics{});
    EXPECT_EQ(h.scene().passed_objects.count(), 0);
}

TEST(Form, CheckAllSwitchesTheOptionsByFileType)
{
    struct Case {
        const char* file_type;
        const char* unchecked;
    };
    for (const Case& c : {Case{"", "MSAV"}, Case{"ase", "MSAV"}, Case{"asc", "-SA-"}}) {
        Harness h;
        h.scene().extension = c.file_type;
        h.scene().file_type = file_type_of(c.file_type);
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
    EXPECT_TRUE(h.scene().file_loaded);
    EXPECT_TRUE(std::filesystem::exists(h.log_path()));

    h.services.answers = {true};
    h.form().click_Clear_statistics();
    EXPECT_FALSE(h.scene().file_loaded);
    EXPECT_EQ(h.stat_boxes(), "/////");
    EXPECT_EQ(h.scene().passed_objects.count(), 0);
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
    h.scene().file_loaded = true;

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

TEST(Form, StartNeedsALoadedSceneAndATarget)
{
    // After the clearing, a target is kept and shown for the next scene, but
    // there is nothing to start yet.
    Harness h;
    h.analyse("s.asc", one_object_asc);
    h.services.answers = {true};
    h.form().click_Clear_statistics();
    ASSERT_TRUE(h.controls().Target_filename.enabled);
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
    h.form().click_Target_filename();
    EXPECT_FALSE(h.controls().Start_process.enabled);
    EXPECT_EQ(h.controls().Text_savefile.text, h.dir.file("out.asc"));

    h.analyse("s.asc", one_object_asc);
    EXPECT_EQ(h.services.texts().back(), messages::finished);
    EXPECT_TRUE(h.controls().Start_process.enabled);
    EXPECT_EQ(h.controls().Text_savefile.text, h.dir.file("out.asc"));
    h.form().click_Start_process();
    EXPECT_EQ(h.session().conversion_report.outputs, std::vector<std::string>{h.dir.file("out.asc")});
}

TEST(Form, ADroppedSceneIsAnalysedAsTheCommandLineStartDoes)
{
    struct Case {
        const char* what;
        bool loaded_before;
        std::deque<bool> answers;
        bool a_folder; // named "dropped.asc"
        bool analysed;
    };
    const Case cases[] = {
        {"nothing loaded: no question", false, {}, false, true},
        {"loaded, Yes to the discard question", true, {true}, false, true},
        {"loaded, No keeps the loaded scene", true, {false}, false, false},
        {"a folder: refused before the question, the loaded scene and its log kept", true, {true}, true, false},
    };
    for (const Case& c : cases) {
        Harness h;
        if (c.loaded_before)
            h.analyse("first.asc", asc_object({.faces = 0})); // one rejected object: a log line
        h.services.messages.clear();
        h.services.answers = c.answers;
        const std::string dropped = h.dir.file("dropped.asc");
        if (c.a_folder)
            std::filesystem::create_directory(dropped);
        else
            h.dir.write("dropped.asc", one_object_asc);
        h.form().drop_scene(dropped);
        EXPECT_EQ(h.services.open_requests.size(), c.loaded_before ? 1u : 0u) << c.what;
        EXPECT_EQ(h.scene().scene_path, c.analysed ? dropped : h.dir.file("first.asc")) << c.what;
        EXPECT_TRUE(h.scene().file_loaded) << c.what;
        EXPECT_EQ(h.log_text().empty(), c.analysed) << c.what;
        if (c.a_folder) {
            ASSERT_EQ(h.services.messages.size(), 1u) << c.what;
            EXPECT_EQ(h.services.messages[0].message.caption, "Error") << c.what;
            EXPECT_NE(h.services.messages[0].message.text.find(dropped), std::string::npos) << c.what;
        } else if (c.loaded_before) {
            EXPECT_EQ(h.services.messages.front().message.text, messages::discard_question) << c.what;
        }
        if (c.analysed) {
            EXPECT_EQ(h.services.texts().back(), messages::finished_choose_target) << c.what;
        }
    }
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

TEST(Form, OpeningTheLogHandsItsPathToTheDesktopOrTellsWhereItIs)
{
    struct Case {
        const char* what;
        bool log_exists, desktop_opens, clipboard;
        bool handed_over;
        const char* message_end; // "": no message
    };
    const Case cases[] = {
        {"the desktop shows it", true, true, true, true, ""},
        {"no program for it: the path goes to the clipboard", true, false, true, true, messages::log_path_copied},
        {"no program and no clipboard", true, false, false, true, messages::log_open_by_hand},
        {"deleted outside the program", false, true, true, false, messages::log_missing_end},
    };
    for (const Case& c : cases) {
        Harness h;
        if (c.log_exists)
            h.dir.write("testfile.txt", "Error in line 3 : x\r\n");
        h.services.documents_open = c.desktop_opens;
        h.services.clipboard_available = c.clipboard;
        h.form().click_Open_error_log();
        EXPECT_EQ(h.services.opened_documents.size(), c.handed_over ? 1u : 0u) << c.what;
        const bool copied = c.message_end == std::string_view(messages::log_path_copied);
        EXPECT_EQ(h.services.clipboard_history, copied ? std::vector<std::string>{h.log_path()}
                                                       : std::vector<std::string>{})
            << c.what;
        if (*c.message_end == '\0') {
            EXPECT_TRUE(h.services.messages.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(h.services.messages.size(), 1u) << c.what;
        const std::string& text = h.services.messages[0].message.text;
        EXPECT_NE(text.find('"' + h.log_path() + '"'), std::string::npos) << c.what;
        EXPECT_TRUE(text.ends_with(c.message_end)) << c.what << ": " << text;
        EXPECT_EQ(h.services.messages[0].message.caption, "Warning") << c.what;
    }
}

TEST(Form, MessagesCaptionsAndMaterialTemplatesAreWordForWord)
{
    // Users and their documentation quote these texts, typos included; each is
    // written out here once, so a slip in the program's own constants fails.
    using namespace std::string_view_literals;
    const MaterialTemplates& t = material_templates();
    struct Pinned {
        const char* what;
        std::string_view shown, expected;
    };
    const Pinned pinned[] = {
        {"discard_question", messages::discard_question,
         "Are you sure ? All information from previous loaded file will be lost, so as the error log filed! Continue?"},
        {"open_dialog_title", messages::open_dialog_title, "Please choose the 3d scene file you want to import in Kolbrin2..."},
        {"open_dialog_filter", messages::open_dialog_filter,
         "ASCII scene export (*.ase)|*.ase|3D studio ASCII Mesh file (*.asc)|*.asc"},
        {"no_file_selected", messages::no_file_selected, "No file selected or imported."},
        {"no_objects", messages::no_objects,
         "The specified file doesn't contain any objects declared correctly, so this program won't process this file, choose another file."},
        {"express_question", messages::express_question,
         "Do you want the 3dscene to be processed and converted to .asc right away after being analyzed (sucessfully) into the final .asc files, USING THE SAME PATH AND FILENAME of the input .ase file and the default processing settings?"},
        {"comments_problems", messages::comments_problems,
         "Objects with problems found and skipped, check error log for more details when analyzing is finished."},
        {"asc_finished_with_problems", messages::asc_finished_with_problems,
         "Analyzing of 3d scene file finished, but because of some errors you can't process this scene."},
        {"finished_choose_target", messages::finished_choose_target,
         "Analyzing of 3d scene file finished! But before processing it you need to choose the target path to save the processed file(s)."},
        {"finished", messages::finished, "Analyzing of 3d scene file finished!"},
        {"ase_finished_with_problems", messages::ase_finished_with_problems,
         "Analyzing of 3d scene file finished, but certain objects will not be processed and were skipped."},
        {"ase_finished_with_problems_choose_target", messages::ase_finished_with_problems_choose_target,
         "Analyzing of 3d scene file finished, but certain objects will not be processed and were skipped. Also, before doing the processing you need to choose the target path to save the processed file(s)."},
        {"ase_invalid_structure", messages::ase_invalid_structure,
         "This .ase file is invalid, make sure you don't edit it manually."},
        {"save_dialog_title", messages::save_dialog_title,
         "Please indicate location and filename of final processed asc file(s)..."},
        {"save_dialog_filter", messages::save_dialog_filter, "3D studio ASCII Mesh file (*.asc)|*.asc"},
        {"no_target_chosen", messages::no_target_chosen, "No filename choosed or entered, cancelling operation."},
        {"cannot_overwrite_input", messages::cannot_overwrite_input,
         "You can't overwrite the original 3d scene file from where this program will read the information! You HAVE to choose another name or another path!"},
        {"text2_exclamation", messages::text2_exclamation,
         "The character ! (exclamation point) is NOT allowed to be used here since it is used in vornak2 to trigger special effects such as water volumes."},
        {"text2_backslash", messages::text2_backslash,
         "The character \\  is NOT allowed to be used here since it is used in vornak2 to trigger special effects such as water volumes."},
        {"clear_question", messages::clear_question, "Are you sure ? The error log file will also be deleted! Continue?"},
        {"split_warning", messages::split_warning,
         "Without choosing to divid the final .asc, 3d scenes with more than 255 valid objects, Kb2 will only import 255 objects for a single .asc file, unless you aren't using this .asc file to import yet into Kolbrint2..."},
        {"finished_express", messages::finished_express,
         "Finished exporting of the imported 3d scene file ! If you have doubts in how to import the project into kb2 just consult the documentation in the section 'HOW TO IMPORT THE PROCESSED .ASC FILE(S) INTO KOLBRIN2'."},
        {"finished_close_question", messages::finished_close_question,
         "Finished exporting of the imported 3d scene file ! If you have doubts in how to import the project into kb2 just consult the documentation in the section 'HOW TO IMPORT THE PROCESSED .ASC FILE(S) INTO KOLBRIN2'. Do you want the program to close itself immediatly ?"},
        {"mat_exists_question", messages::mat_exists_question,
         "There is already a .mat file with the same name of the final project indicated. Do you want to overwrite it ?"},
        {"mat_exists_backup_warning", messages::mat_exists_backup_warning,
         "This 3d scene does have materials so a .mat file is required to be created. But it already exists a .mat file with the same name as the chosen final project name. Since it's not possible to skip this, if you want to preserve it, please switch to windows explorer and backup it, or/and press OK here when done to continue the criation of the new .mat file."},
        {"mat_not_created_notice", messages::mat_not_created_notice,
         "You choosed to NOT create a .mat file for this 3dscene, but this 3d scene DOES use materials and you didn't choosed to remote materials mapping information. This means if you try to load this .asc into Kb2 it will ask for the .mat file."},
        {"mat_delete_question", messages::mat_delete_question,
         "You choosed to NOT create a .mat file for this 3dscene, but this 3d scene DOES use materials and you didn't choosed to remote materials mapping information. Altough there is a .mat file with the same filename of the target scene file, make sure you know what are you doing, and that .mat file corresponds to this 3d scene. Anyways, you want the program to delete it to avoid confusion ?"},

        {"window", captions::window, "Textured 3d scenes processor for Kolbrin2 v1.1.3"},
        {"Analize_filename", captions::Analize_filename, "&Indicate and analyze 3d scene file"},
        {"Label_analize", captions::Label_analize, "Analyzing..."},
        {"Frame2", captions::Frame2, "Statistics of analized 3d scene file"},
        {"Label1", captions::Label1, "Total objects found :"},
        {"Label2", captions::Label2, "Valid objects found :"},
        {"Label6", captions::Label6, "Total faces in 3d scene :"},
        {"Label7", captions::Label7, "Total vertices in 3d scene :"},
        {"Label4", captions::Label4, "Asc split files required to import in Kb2 :"},
        {"Label3", captions::Label3, "Nr or objects with invalid sub-material id references :"},
        {"Label11", captions::Label11, "Comments : "},
        {"Open_error_log", captions::Open_error_log, "&Open log error txt file"},
        {"Clear_statistics", captions::Clear_statistics, "&Clear statistics and unload 3d scene file info"},
        {"Frame1", captions::Frame1, "Settings for processed file creation"},
        {"Target_filename", captions::Target_filename, "&Target filename and path for processed 3d scene file"},
        {"Check_createmat", captions::Check_createmat, "Create custom .mat file for the imported scene"},
        {"Check_all", captions::Check_all, "Use all required settings for a complete 3d scene importing"},
        {"Check_splitasc", captions::Check_splitasc, "Split 3d scene file into 255 objects each file"},
        {"Check_flip3daxis", captions::Check_flip3daxis, "Flip 3D studio axis"},
        {"Check_vtextures", captions::Check_vtextures, "Flip all textures vertically"},
        {"Start_process", captions::Start_process, "&Start Process"},
        {"tooltip_Analize_filename", captions::tooltip_Analize_filename,
         "Import .asc files mostly when there is no materials mapping. For 3d scene files "},
        {"tooltip_Frame1", captions::tooltip_Frame1,
         "This function it's for those that only need to use some functions of this program, and that don't want the full process to happen yet."},
        {"tooltip_Text_savefile", captions::tooltip_Text_savefile,
         "The .asc file that Start Process writes, chosen with the Target button on the left.\nStart Process stays disabled until a target is chosen."},
        {"tooltip_Target_filename", captions::tooltip_Target_filename,
         "Choose the .asc file that Start Process writes: split files are numbered after it, and the .mat file goes beside it."},
        {"Label_analize_converting", captions::Label_analize_converting, "Writing..."},

        // The material file's four templates, byte for byte.
        {"file_header", t.file_header, "\x00\x00\x00\x12\x00\x00\x00\x08\x00\x00\x00\x05\x00\x00\x00\x02"sv},
        {"record_start", t.record_start,
         "\x00\x00\x00\x3C\x00\x00\x00\x50\xFF\xFF\xFF\xFF\x3D\xCC\xCC\xCD\x3F\x33\x33\x33\x00\x00\x00\x00"
         "\x41\xA0\x00\x00\x00\x00\x00\x21\x3F\x80\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x3F\x80\x00\x00"
         "\x00\x00\x00\x00\x00\x00\x00\x00\x0A\x1F\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
         "\x00"sv},
        {"record_middle", t.record_middle, "\x00\x00\x00\x00\x1C\x00\x00\x00\x04"sv},
        {"record_end", t.record_end, "\x00\x00\x00\x00\x00\x00\x00\x00\x00"sv},
    };
    for (const Pinned& p : pinned)
        EXPECT_EQ(p.shown, p.expected) << p.what;
}

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(Form, TheLogLivesInTheProgramFolderOfABuildTreeOrElseInTheUserStateFolder)
{
    TempDir dir;
    const std::filesystem::path root = dir.path();
    // A build tree carries the marker; an installed program's folder, however
    // writable, never gets the log.
    dir.write(std::string("program/") + build_tree_marker, "");
    std::filesystem::create_directories(root / "installed");
    dir.write("not_a_folder", "");
    const std::string xdg = (root / "xdg").string();
    const std::string home = (root / "home").string();
    struct Case {
        std::filesystem::path program_folder;
        const char* xdg_state_home; // nullptr: unset
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {root / "program", xdg.c_str(), root / "program" / "testfile.txt"},
        {root / "installed", xdg.c_str(), root / "xdg" / "trevanix" / "testfile.txt"},
        {root / "installed", nullptr, root / "home" / ".local" / "state" / "trevanix" / "testfile.txt"},
        {root / "missing", xdg.c_str(), root / "xdg" / "trevanix" / "testfile.txt"},
        {root / "not_a_folder", "", root / "home" / ".local" / "state" / "trevanix" / "testfile.txt"},
        {"", nullptr, root / "home" / ".local" / "state" / "trevanix" / "testfile.txt"},
    };
    const ScopedEnvironment home_env("HOME", home.c_str());
    for (const Case& c : cases) {
        const ScopedEnvironment xdg_env("XDG_STATE_HOME", c.xdg_state_home);
        EXPECT_EQ(default_log_path(c.program_folder), c.expected) << c.program_folder;
        // The fallback folder is made ready for the log.
        EXPECT_TRUE(std::filesystem::is_directory(c.expected.parent_path())) << c.program_folder;
    }
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
            form->drop_scene("elsewhere.asc");
            for (auto box : {&Controls::Check_all, &Controls::Check_createmat, &Controls::Check_splitasc,
                             &Controls::Check_flip3daxis, &Controls::Check_vtextures})
                form->click_check_box(box);
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
    EXPECT_EQ(form.scene().scene_path, dir.file("s.asc"));
    EXPECT_FALSE(form.busy());
    // The check boxes kept their values, and take clicks again afterwards.
    EXPECT_EQ(enabled_options(form.controls()) + std::string(form.controls().Check_all.checked ? "1" : "0"), "----1");
    form.click_check_box(&Controls::Check_all);
    EXPECT_EQ(enabled_options(form.controls()) + std::string(form.controls().Check_all.checked ? "1" : "0"), "-SA-0");
}
