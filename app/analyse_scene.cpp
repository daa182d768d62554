#include "app/analyse_scene.hpp"

#include <filesystem>
#include <string>
#include <system_error>

#include "analysis/analysis_driver.hpp"
#include "app/notices.hpp"
#include "app/on_scope_exit.hpp"
#include "app/options_and_clearing.hpp"
#include "app/scene_types.hpp"
#include "app/shown_analysis.hpp"
#include "format/line_source.hpp"
#include "format/scene_file.hpp"
#include "format/text.hpp"
#include "import/general_analysis.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

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

class AnalyseAction {
public:
    AnalyseAction(Session& session, const AnalysisRequest& request)
        : s_(session), scene_(session.scene), c_(session.controls), report_(session.analysis_report),
          request_(request)
    {
    }

    AnalysisOutcome run()
    {
        report_ = {};
        std::string path = request_.scene;
        if (path.empty() && !choose_scene(path))
            return {};
        // A file that cannot be read is reported before anything else changes.
        if (refused_before_reading(s_, path))
            return {};
        load(path);
        if (read_by_general_reader_first(scene_.extension, s_.settings.reader)) {
            ask_for_express_run();
            analyse_generally();
        } else if (has_exact_reader(scene_.extension)) {
            analyse_exactly();
        } else {
            s_.log.close();
            s_.tell("Error", messages::not_a_scene_file, MessageIcon::Critical);
        }
        // The outputs written beside the scan, and the claim on their target,
        // are kept only for a conversion that follows.
        if (!conversion_follows())
            rider_.reset();
        return {express_, std::move(rider_)};
    }

private:
    // The express run the user asked for and the verdict allows, or the
    // command line's conversion when the verdict allows it.
    bool conversion_follows() const
    {
        if (express_)
            return true;
        const bool allowed = converts_like_ase(scene_) || !report_.problems;
        return request_.conversion.has_value() && report_.completed && allowed;
    }

    // The open dialog, after the discard question when a scene is loaded.
    bool choose_scene(std::string& path)
    {
        if (scene_.file_loaded && !confirm_discard())
            return false;
        return choose_input(path);
    }

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

    void load(const std::string& path)
    {
        scene_.scene_path = path;
        s_.last_scene_folder = parent_folder_of(path);
        c_.Text_loadfile.text = scene_.scene_path;
        report_.ran = true;
        scene_.extension = to_lower_copy(extension_of(c_.Text_loadfile.text));
        scene_.file_type = file_type_of(scene_.extension);
        c_.Text_comments.enabled = false;
        c_.Check_createmat.enabled = false;
        c_.Check_vtextures.enabled = false;
        s_.refresh();
        create_log();
        // Whatever an earlier scene left: this one is read anew.
        scene_.reader = SceneReader::Exact;
        scene_.held_scene.reset();
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
            express_ = true;
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

    // The conversion that follows the analysis, when one is known to: it
    // reads the scene beside the checks.
    std::unique_ptr<RidingConversion> start_riding() const
    {
        std::optional<ConversionRequest> wanted = request_.conversion;
        if (!wanted && express_)
            wanted = ConversionRequest{scene_.chosen_target, chosen_options(c_)};
        return wanted ? RidingConversion::start(scene_, *wanted) : nullptr;
    }

    void analyse_exactly()
    {
        const bool ase = scene_.file_type == FileType::Ase;
        if (ase)
            ask_for_express_run();
        rider_ = start_riding();
        const ReaderChoice choice = s_.settings.reader;
        AnalysisResult result;
        {
            OnScopeExit idle([this] { become_idle(); });
            s_.ui.set_busy_pointer(true);
            ShownAnalysis shown(s_);
            result = analyse_scene_file(scene_, s_.log, reading_options(s_), shown, s_.settings.picture_renaming,
                                        rider_.get());
            take_findings(result);
            if (result.end != AnalysisEnd::BrokenStructure || choice == ReaderChoice::Exact ||
                choice == ReaderChoice::General)
                tell_early_end(result);
            else if (choice == ReaderChoice::OfferGeneral)
                s_.tell("Error", result.message, MessageIcon::Critical);
        }
        if (result.end == AnalysisEnd::BrokenStructure && choice == ReaderChoice::Auto)
            return start_over_generally();
        if (result.end == AnalysisEnd::BrokenStructure && choice == ReaderChoice::OfferGeneral)
            return offer_general_reader();
        after_idle(result, ase);
    }

    void take_findings(AnalysisResult& result)
    {
        // Rejected objects stay reported when a broken structure ends the analysis after them.
        report_.problems = result.problems;
        report_.renamed_pictures = std::move(result.renamed_pictures);
        report_.missing_pictures = std::move(result.missing_pictures);
        report_.unrenamed_pictures = std::move(result.unrenamed_pictures);
    }

    // After the exact reader refused the structure of an ".ase" file, the
    // user is asked whether the general reader should read it.
    void offer_general_reader()
    {
        if (s_.ask("Question", messages::general_reader_question))
            return start_over_generally();
        express_ = false;
        report_.not_analysable = true;
    }

    // Empties what an exact reader that gave up showed and logged, and reads
    // the scene with the general reader.
    void start_over_generally()
    {
        rider_.reset();
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
        analyse_generally();
    }

    void analyse_generally()
    {
        report_.reader = SceneReader::General;
        AnalysisResult result;
        {
            OnScopeExit idle([this] { become_idle(); });
            s_.ui.set_busy_pointer(true);
            ShownAnalysis shown(s_);
            GeneralAnalysis general = analyse_general_scene(scene_, s_.log, s_.settings.stop, shown);
            report_.problems = general.result.problems;
            report_.missing_pictures = std::move(general.result.missing_pictures);
            report_.repaired = std::move(general.repaired);
            if (!general.notice.empty())
                s_.tell("Warning", general.notice, MessageIcon::Information);
            result = std::move(general.result);
            tell_early_end(result);
        }
        after_idle(result, true);
    }

    // The message of an analysis that could not end, shown while the form
    // is still busy.
    void tell_early_end(const AnalysisResult& result)
    {
        switch (result.end) {
        case AnalysisEnd::Completed:
            return;
        case AnalysisEnd::Unreadable:
        case AnalysisEnd::BrokenStructure:
            s_.tell("Error", result.message, MessageIcon::Critical);
            break;
        case AnalysisEnd::NoObjects:
            s_.tell("Error", messages::no_objects, MessageIcon::Critical);
            report_.no_objects = true;
            report_.input_has_lone_line_feeds = result.input_has_lone_line_feeds;
            break;
        case AnalysisEnd::Stopped:
            break;
        }
        report_.not_analysable = true;
        // A scene that cannot be analysed is not converted right away.
        express_ = false;
    }

    // The verdict of an analysis, once the form is idle again. `ase_like`:
    // the scene converts as an ".ase" scene does.
    void after_idle(const AnalysisResult& result, bool ase_like)
    {
        if (result.end == AnalysisEnd::NoObjects && !ase_like)
            clear_statistics(s_);
        if (result.end != AnalysisEnd::Completed)
            return;
        if (ase_like)
            give_ase_verdict(result.problems);
        else
            give_asc_verdict(result.problems);
        finish_loading(result.problems);
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
        c_.Open_error_log.enabled = problems;
        if (problems)
            tell_problems();
        else if (!express_)
            tell_finished();
        c_.Target_filename.enabled = true;
    }

    void tell_problems()
    {
        if (!scene_.target_path.empty()) {
            s_.tell("Warning", messages::ase_finished_with_problems, MessageIcon::Critical);
            c_.Start_process.enabled = true;
        } else {
            s_.tell("Warning", messages::ase_finished_with_problems_choose_target, MessageIcon::Critical);
        }
        // A scene with problems is never converted right away; a Yes to
        // that question is answered with the reason.
        if (express_)
            s_.tell("Warning", messages::express_run_not_honoured, MessageIcon::Information);
        express_ = false;
    }

    void tell_finished()
    {
        if (scene_.target_path.empty()) {
            s_.tell("Finished", messages::finished_choose_target, MessageIcon::Information);
        } else {
            s_.tell("Finished", messages::finished, MessageIcon::Information);
            c_.Start_process.enabled = true;
        }
    }

    void finish_loading(bool problems)
    {
        c_.Clear_statistics.enabled = true;
        scene_.file_loaded = true;
        report_.completed = true;
        report_.problems = problems;
        s_.refresh();
    }

    Session& s_;
    SceneState& scene_;
    Controls& c_;
    AnalysisReport& report_;
    const AnalysisRequest& request_;
    bool log_failure_told_ = false;
    bool express_ = false;
    std::unique_ptr<RidingConversion> rider_;
};

} // namespace

AnalysisOutcome analyse_scene(Session& session, const AnalysisRequest& request)
{
    return AnalyseAction(session, request).run();
}

AnalysisOutcome analyse_given_scene(Session& session, const std::string& path)
{
    // A file that will be refused leaves the loaded scene and its log as they are.
    if (refused_before_reading(session, path))
        return {};
    if (session.scene.file_loaded) {
        if (!session.ask("Warning", messages::discard_question))
            return {};
        forget_loaded_scene(session);
    }
    return analyse_scene(session, {path, std::nullopt});
}

} // namespace trevanix
