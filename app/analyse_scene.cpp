#include "app/analyse_scene.hpp"

#include <filesystem>
#include <string>
#include <system_error>

#include "analysis/analysis_driver.hpp"
#include "app/notices.hpp"
#include "app/options_and_clearing.hpp"
#include "app/start_process.hpp"
#include "format/line_source.hpp"
#include "format/scene_file.hpp"
#include "format/text.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::string decimal(std::int64_t value) { return format_number(value); }

LineSourceOptions reading_options(const Session& session)
{
    return {session.settings.lf_ends_line, session.settings.read_block_size, session.settings.stop};
}

// Shows an analysis as it runs: the progress row, the totals as they grow,
// the comment and the log button once an object fails.
class ShownAnalysis : public AnalysisObserver {
public:
    explicit ShownAnalysis(Session& session) : s_(session), scene_(session.scene), c_(session.controls) {}

    bool keep_going() override
    {
        s_.ui.let_events_run();
        return !s_.stop_requested;
    }

    void lines_counted() override
    {
        c_.Label_analize.visible = true;
        c_.Analize_bar.visible = true;
        c_.Analize_bar.min = 1;
        // A file of fewer than two lines still needs a valid range.
        c_.Analize_bar.max = scene_.line_count > 1 ? scene_.line_count : 2;
        c_.Analize_bar.value = 1;
        s_.refresh();
    }

    void objects_counted() override
    {
        c_.Text_total_objects.text = decimal(scene_.statistics.objects_found);
        c_.Text_ascsplit.text = decimal(scene_.statistics.split_files);
        s_.refresh();
    }

    void materials_read(const std::vector<PictureRenameFailure>& rename_failures,
                        const std::vector<UnrenamedPicture>& unrenamed) override
    {
        for (const PictureRenameFailure& failure : rename_failures)
            s_.tell("Warning",
                    "The picture \"" + failure.from + "\" could not be renamed to \"" + failure.to + "\" (" +
                        failure.reason + "). Please rename it by hand.",
                    MessageIcon::Exclamation);
        if (!unrenamed.empty())
            s_.tell(unrenamed_pictures_notice(unrenamed));
    }

    void object_passed() override
    {
        const SceneStatistics& totals = scene_.statistics;
        c_.Text_valid_objects.text = decimal(totals.valid_objects);
        c_.Text_faces.text = decimal(totals.faces);
        c_.Text_vertices.text = decimal(totals.vertices);
    }

    void object_failed(const ObjectCheck& check) override
    {
        if (check.invalid_submaterial)
            c_.Text1.text = decimal(scene_.statistics.invalid_submaterial_objects);
        c_.Text_comments.text = messages::comments_problems;
        c_.Open_error_log.enabled = true;
        s_.refresh();
    }

    void line_checked(std::int64_t line_number) override { c_.Analize_bar.value = line_number; }

private:
    Session& s_;
    SceneState& scene_;
    Controls& c_;
};

class AnalyseAction {
public:
    explicit AnalyseAction(Session& session)
        : s_(session), scene_(session.scene), c_(session.controls), report_(session.analysis_report)
    {
    }

    void run()
    {
        report_ = {};
        std::string path = scene_.command_line_scene;
        if (path.empty()) {
            if (scene_.file_loaded == 1 && !confirm_discard())
                return;
            if (!choose_input(path))
                return;
        }
        // A file that cannot be read is reported before anything else changes.
        // The command-line scene is dropped then, so the next click offers the
        // dialog instead of failing again.
        {
            SceneFile probe;
            std::string error;
            if (!probe.open(path, error)) {
                scene_.command_line_scene.clear();
                s_.tell("Error", error, MessageIcon::Critical);
                report_.not_analysable = true;
                return;
            }
        }
        scene_.scene_path = path;
        s_.last_scene_folder = parent_folder_of(path);
        c_.Text_loadfile.text = scene_.scene_path;
        report_.ran = true;
        scene_.file_type = to_lower_copy(extension_of(c_.Text_loadfile.text));
        c_.Text_comments.enabled = false;
        c_.Check_createmat.enabled = false;
        c_.Check_vtextures.enabled = false;
        s_.refresh();
        create_log();

        if (scene_.file_type == "asc" || scene_.file_type == "ase") {
            analyse();
        } else {
            s_.log.close();
            scene_.command_line_scene.clear();
            s_.tell("Error", messages::not_a_scene_file, MessageIcon::Critical);
        }

        if (scene_.express_run)
            start_process(s_);
        scene_.express_run = false;
    }

private:
    bool confirm_discard()
    {
        if (!s_.ask("Warning", messages::discard_question))
            return false;
        forget_loaded_scene(s_);
        return true;
    }

    bool choose_input(std::string& path)
    {
        FileDialogRequest request;
        request.title = messages::open_dialog_title;
        request.filter = messages::open_dialog_filter;
        request.initial_folder = open_dialog_folder();
        request.must_exist = true;
        const FileDialogResult choice = s_.ui.open_file_dialog(request);
        if (choice.cancelled)
            return false;
        if (choice.path.empty() || choice.title.empty()) {
            s_.tell("Warning", messages::no_file_selected, MessageIcon::Critical);
            return false;
        }
        path = choice.path;
        return true;
    }

    // The folder of the last scene analysed while it is still there; the
    // program's own folder before the first scene.
    std::string open_dialog_folder() const
    {
        std::error_code ignored;
        if (!s_.last_scene_folder.empty() && std::filesystem::is_directory(s_.last_scene_folder, ignored))
            return s_.last_scene_folder;
        return s_.settings.program_folder;
    }

    void create_log()
    {
        std::string error;
        log_failure_told_ = !s_.log.create(error);
        if (log_failure_told_)
            s_.tell("Warning", error, MessageIcon::Exclamation);
    }

    // Without an ".asc" namesake beside it, an ".ase" scene may be converted
    // right after its analysis.
    void ask_for_express_run()
    {
        const std::string namesake =
            join_path(parent_folder_of(scene_.scene_path), base_name_of(scene_.scene_path) + ".asc");
        if (!file_exists(namesake) && s_.ask("Question", messages::express_question))
            scene_.express_run = true;
    }

    void become_idle()
    {
        s_.log.close();
        // A log that filled its disk holds only some of the problems: said once.
        if (s_.log.failed() && !log_failure_told_) {
            log_failure_told_ = true;
            s_.tell(log_failure_notice(s_.log));
        }
        s_.ui.set_busy_pointer(false);
        c_.Label_analize.visible = false;
        c_.Analize_bar.visible = false;
        s_.refresh();
    }

    void analyse()
    {
        const bool ase = scene_.file_type == "ase";
        if (ase)
            ask_for_express_run();
        s_.ui.set_busy_pointer(true);
        ShownAnalysis shown(s_);
        AnalysisResult result =
            analyse_scene_file(scene_, s_.log, reading_options(s_), shown, s_.settings.picture_renaming);
        // Rejected objects stay reported when a broken structure ends the analysis after them.
        report_.problems = result.problems;
        report_.renamed_pictures = std::move(result.renamed_pictures);
        report_.missing_pictures = std::move(result.missing_pictures);
        report_.unrenamed_pictures = std::move(result.unrenamed_pictures);
        if (result.end != AnalysisEnd::Completed) {
            scene_.express_run = false;
            // A scene that cannot be analysed is not offered again: the next
            // click opens the dialog, as the message asks for another file.
            scene_.command_line_scene.clear();
        }
        switch (result.end) {
        case AnalysisEnd::Completed:
            become_idle();
            if (ase)
                give_ase_verdict(result.problems);
            else
                give_asc_verdict(result.problems);
            finish_loading(result.problems);
            return;
        case AnalysisEnd::Unreadable:
        case AnalysisEnd::BrokenStructure:
            s_.tell("Error", result.message, MessageIcon::Critical);
            report_.not_analysable = true;
            become_idle();
            return;
        case AnalysisEnd::NoObjects:
            s_.tell("Error", messages::no_objects, MessageIcon::Critical);
            report_.no_objects = true;
            report_.not_analysable = true;
            report_.input_has_lone_line_feeds = result.input_has_lone_line_feeds;
            become_idle();
            if (!ase)
                clear_statistics(s_);
            return;
        case AnalysisEnd::Stopped:
            report_.not_analysable = true;
            become_idle();
            return;
        }
    }

    void give_asc_verdict(bool problems)
    {
        if (problems) {
            c_.Open_error_log.enabled = true;
            c_.Target_filename.enabled = false;
            c_.Start_process.enabled = false;
            s_.tell("Finished", messages::asc_finished_with_problems, MessageIcon::Information);
            return;
        }
        c_.Open_error_log.enabled = false;
        c_.Target_filename.enabled = true;
        if (scene_.target_path.empty()) {
            s_.tell("Finished", messages::finished_choose_target, MessageIcon::Information);
        } else {
            s_.tell("Finished", messages::finished, MessageIcon::Information);
            c_.Start_process.enabled = true;
        }
    }

    void give_ase_verdict(bool problems)
    {
        if (problems) {
            c_.Open_error_log.enabled = true;
            if (!scene_.target_path.empty()) {
                s_.tell("Warning", messages::ase_finished_with_problems, MessageIcon::Critical);
                c_.Start_process.enabled = true;
            } else {
                s_.tell("Warning", messages::ase_finished_with_problems_choose_target, MessageIcon::Critical);
            }
            scene_.express_run = false; // a scene with problems is never converted right away
        } else {
            c_.Open_error_log.enabled = false;
            if (!scene_.express_run && scene_.target_path.empty()) {
                s_.tell("Finished", messages::finished_choose_target, MessageIcon::Information);
            } else if (!scene_.express_run) {
                s_.tell("Finished", messages::finished, MessageIcon::Information);
                c_.Start_process.enabled = true;
            }
        }
        c_.Target_filename.enabled = true;
    }

    void finish_loading(bool problems)
    {
        c_.Clear_statistics.enabled = true;
        scene_.file_loaded = 1;
        scene_.file_type = to_lower_copy(extension_of(scene_.scene_path));
        scene_.command_line_scene.clear();
        report_.completed = true;
        report_.problems = problems;
        s_.refresh();
    }

    Session& s_;
    SceneState& scene_;
    Controls& c_;
    AnalysisReport& report_;
    bool log_failure_told_ = false;
};

} // namespace

void analyse_scene(Session& session)
{
    AnalyseAction(session).run();
}

void analyse_given_scene(Session& session, const std::string& path)
{
    if (session.scene.file_loaded == 1) {
        if (!session.ask("Warning", messages::discard_question))
            return;
        forget_loaded_scene(session);
    }
    session.scene.command_line_scene = path;
    analyse_scene(session);
}

} // namespace trevanix
