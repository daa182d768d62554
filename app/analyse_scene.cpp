#include "app/analyse_scene.hpp"

#include <filesystem>
#include <string>
#include <system_error>

#include "analysis/analysis_driver.hpp"
#include "app/notices.hpp"
#include "app/options_and_clearing.hpp"
#include "app/scene_types.hpp"
#include "app/start_process.hpp"
#include "format/line_source.hpp"
#include "format/scene_file.hpp"
#include "format/text.hpp"
#include "import/general_analysis.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::string decimal(std::int64_t value) { return format_number(value); }

LineSourceOptions reading_options(const Session& session)
{
    return {session.settings.lf_ends_line, session.settings.read_block_size, session.settings.stop};
}

// The sentence that refuses `path` before a line of it is read (it cannot be
// opened, is not a regular file, or is saved as UTF-16), or "" when there is
// none, so a refused file leaves the loaded scene alone and is refused before
// any question.
std::string refusal_before_reading(const std::string& path)
{
    SceneFile probe;
    std::string refusal;
    return open_scene_file(probe, path, refusal) ? std::string() : refusal;
}

// Tells why `path` cannot be analysed, before anything changes; false when it can be.
bool refused_before_reading(Session& session, const std::string& path)
{
    const std::string refusal = refusal_before_reading(path);
    if (refusal.empty())
        return false;
    session.analysis_report = {};
    session.analysis_report.not_analysable = true;
    session.tell("Error", refusal, MessageIcon::Critical);
    return true;
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

    void reading_started(std::int64_t total) override
    {
        c_.Label_analize.visible = true;
        c_.Analize_bar.visible = true;
        c_.Analize_bar.min = 0;
        // An empty file still needs a valid range.
        c_.Analize_bar.max = total > 0 ? total : 1;
        c_.Analize_bar.value = 0;
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

    void progress(std::int64_t done) override { c_.Analize_bar.value = done; }

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
        if (refused_before_reading(s_, path)) {
            scene_.command_line_scene.clear();
            return;
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
        // Whatever an earlier scene left: this one is read anew.
        scene_.reader = SceneReader::Exact;
        scene_.held_scene.reset();

        if (read_by_general_reader_first(scene_.file_type, s_.settings.reader)) {
            ask_for_express_run();
            analyse_generally();
        } else if (has_exact_reader(scene_.file_type)) {
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
        request.filter = scene_dialog_filter();
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
        if (result.end == AnalysisEnd::BrokenStructure && turn_to_general_reader(result.message))
            return;
        conclude(result, ase);
    }

    // After the exact reader refused the structure of an ".ase" file: the
    // general reader reads it when it was chosen to follow (auto), or when
    // the user agrees to it. True when the general reader took over or the
    // user declined it (the refusal has then been shown).
    bool turn_to_general_reader(const std::string& refusal)
    {
        switch (s_.settings.reader) {
        case ReaderChoice::Auto:
            become_idle();
            start_over();
            analyse_generally();
            return true;
        case ReaderChoice::OfferGeneral:
            s_.tell("Error", refusal, MessageIcon::Critical);
            become_idle();
            if (s_.ask("Question", messages::general_reader_question)) {
                start_over();
                analyse_generally();
                return true;
            }
            scene_.express_run = false;
            scene_.command_line_scene.clear();
            report_.not_analysable = true;
            return true;
        case ReaderChoice::Exact:
        case ReaderChoice::General:
            break;
        }
        return false;
    }

    // Empties what an exact reader that gave up showed and logged.
    void start_over()
    {
        scene_.statistics = {};
        for (TextBoxState* box : {&c_.Text_total_objects, &c_.Text_valid_objects, &c_.Text_ascsplit, &c_.Text_faces,
                                  &c_.Text_vertices, &c_.Text1, &c_.Text_comments})
            box->text.clear();
        c_.Open_error_log.enabled = false;
        report_.problems = false;
        report_.renamed_pictures.clear();
        report_.missing_pictures.clear();
        report_.unrenamed_pictures.clear();
        create_log();
    }

    void analyse_generally()
    {
        report_.reader = SceneReader::General;
        s_.ui.set_busy_pointer(true);
        ShownAnalysis shown(s_);
        GeneralAnalysis general = analyse_general_scene(scene_, s_.log, s_.settings.stop, shown);
        report_.problems = general.result.problems;
        report_.missing_pictures = std::move(general.result.missing_pictures);
        report_.repaired = std::move(general.repaired);
        if (!general.notice.empty())
            s_.tell("Warning", general.notice, MessageIcon::Information);
        conclude(general.result, true);
    }

    // The verdict of an analysis, or the message of one that could not end.
    // `ase_like`: the scene converts as an ".ase" scene does.
    void conclude(const AnalysisResult& result, bool ase_like)
    {
        if (result.end != AnalysisEnd::Completed) {
            scene_.express_run = false;
            // A scene that cannot be analysed is not offered again: the next
            // click opens the dialog, as the message asks for another file.
            scene_.command_line_scene.clear();
        }
        switch (result.end) {
        case AnalysisEnd::Completed:
            become_idle();
            if (ase_like)
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
            if (!ase_like)
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
            // A scene with problems is never converted right away; a Yes to
            // that question is answered with the reason.
            if (scene_.express_run)
                s_.tell("Warning", messages::express_run_not_honoured, MessageIcon::Information);
            scene_.express_run = false;
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
    // A file that will be refused leaves the loaded scene and its log as they are.
    if (refused_before_reading(session, path))
        return;
    if (session.scene.file_loaded == 1) {
        if (!session.ask("Warning", messages::discard_question))
            return;
        forget_loaded_scene(session);
    }
    session.scene.command_line_scene = path;
    analyse_scene(session);
}

} // namespace trevanix
