#include "cli/scene_job.hpp"

#include <exception>

#include "app/form.hpp"
#include "app/scene_types.hpp"
#include "cli/cli_services.hpp"
#include "cli/report.hpp"

namespace trevanix::cli {

namespace {

// A note that reports an error or explains a status other than 0: --quiet
// and --json keep it. Paths in it are shown with control bytes escaped.
void error_note(std::ostream& err, const std::string& text)
{
    err << "trevanix-cli: " << shown(text) << '\n';
}

class SceneJob {
public:
    SceneJob(const ScenePlan& plan, const RunChoices& choices, std::ostream& out, std::ostream& err,
             SceneProgress& progress)
        : plan_(plan), choices_(choices), out_(out), err_(err), progress_(progress),
          // Standard output stays pure JSON; errors and explanations still
          // go to standard error.
          services_(&err, choices.quiet || choices.json), form_(services_, settings_for(plan, choices)),
          lists_(choices.json_lines)
    {
        services_.watch_interrupt(choices.interrupted, &form_.session().stop_requested);
        services_.watch_progress(&form_.controls(), &progress_);
        // The per-object lists of the JSON report, filled as the objects come.
        if (choices.json) {
            form_.session().log.set_listener(&lists_);
            form_.session().left_out_listener = &lists_;
        }
    }

    int run()
    {
        try {
            return run_phases();
        } catch (const std::exception& e) {
            error_note(std::string("internal error: ") + e.what());
        } catch (...) {
            error_note("internal error");
        }
        return failure_status_;
    }

private:
    static EngineSettings settings_for(const ScenePlan& plan, const RunChoices& choices)
    {
        EngineSettings settings = choices.engine;
        settings.log_path = plan.log_path;
        return settings;
    }

    bool interrupted() const { return choices_.interrupted != nullptr && *choices_.interrupted != 0; }

    // A note that explains a status other than 0; --quiet keeps it.
    void hint(const std::string& text) { cli::error_note(err_, text); }
    void error_note(const std::string& text) { cli::error_note(err_, text); }

    // Where the rejected objects can be read: never a log that does not hold them.
    std::string rejected_objects_note() const
    {
        const ErrorLog& log = form_.session().log;
        const std::string listed = "; \"trevanix-cli analyze --json\" lists them";
        if (!snapshot_.log_error.empty())
            return "the rejected objects are not all in the error log \"" + log.path().string() +
                   "\", which could not be made or written (" + snapshot_.log_error + ")" + listed;
        if (log.discarded())
            return "the rejected objects were not logged: the error log is \"" + log.path().string() + "\"" +
                   listed;
        return "the rejected objects are listed in the error log: " + log.path().string();
    }

    int run_phases()
    {
        if (choices_.several && !choices_.json)
            out_ << "Scene: " << shown(plan_.scene) << '\n';
        if (!analyse())
            return finish(choices_.converting, exit_status::not_analysable);
        if (!choices_.converting || interrupted())
            return finish(choices_.converting, analysis_exit_status(form_.session()));
        const bool target_refused = convert();
        explain_conversion(!plan_.target.empty(), target_refused);
        return finish(true, conversion_exit_status(form_.session(), target_refused));
    }

    // Returns false when the scene cannot even be opened: it is refused before
    // the engine starts, so the error log of an earlier run stays as it was.
    bool analyse()
    {
        progress_.percent = 0;
        progress_.phase = ScenePhase::Analysing;
        if (const std::string reason = unreadable_scene_reason(plan_.scene); !reason.empty()) {
            services_.show_message({"Error", reason, MessageIcon::Critical, MessageButtons::Ok});
            snapshot_ = take_analysis_snapshot(form_.session(), plan_.scene);
            return false;
        }
        std::optional<ConversionRequest> conversion;
        if (choices_.converting)
            conversion = conversion_request(plan_.target, choices_.options);
        run_analysis(form_, services_, plan_.scene, std::move(conversion));
        snapshot_ = take_analysis_snapshot(form_.session(), plan_.scene);
        if (!choices_.json) {
            if (snapshot_.completed)
                print_statistics(out_, snapshot_);
            // The material list is read before a broken structure can end the analysis.
            print_picture_notes(out_, snapshot_, choices_.engine.picture_renaming == PictureRenaming::ListOnly);
        }
        out_.flush();
        explain_analysis();
        return true;
    }

    // Converts when the verdict allows it. Returns whether the target given
    // was refused.
    bool convert()
    {
        progress_.percent = 0;
        progress_.phase = ScenePhase::Converting;
        if (!conversion_allowed(form_.session()))
            return false;
        if (!plan_.target.empty() && !choose_target(form_, services_, plan_.target))
            return true;
        failure_status_ = exit_status::write_failed;
        set_option_boxes(form_, choices_.options);
        run_conversion(form_, services_, choices_.yes);
        return false;
    }

    // Notes on standard error that the window leaves to the user's eyes.
    void explain_analysis()
    {
        const Session& session = form_.session();
        const AnalysisReport& report = session.analysis_report;
        if (report.no_objects && report.input_has_lone_line_feeds && !choices_.lf_ends)
            hint("hint: this file ends its lines with lone line feeds (LF), which do not end a line by default; "
                 "run again with --lf-ends to read them as line ends.");
        if (report.completed && report.problems && !(choices_.converting && conversion_allowed(session)))
            hint(rejected_objects_note());
        const bool interrupted = choices_.interrupted != nullptr && *choices_.interrupted != 0;
        if (!report.completed && services_.messages().empty() && !interrupted)
            error_note(is_scene_file_type(session.scene.extension)
                           ? "the scene could not be analysed."
                           : "only .ase and .asc scenes and the scenes the general reader takes can be analysed.");
        if (report.completed && report.reader == SceneReader::General && has_exact_reader(session.scene.extension) &&
            session.settings.reader == ReaderChoice::Auto)
            hint("the exact reader refused the structure of this scene; the general reader read it.");
    }

    void explain_conversion(bool target_given, bool target_refused)
    {
        const Session& session = form_.session();
        const ConversionReport& report = session.conversion_report;
        if (!session.analysis_report.completed || target_refused)
            return;
        if (!conversion_allowed(session)) {
            hint("the scene has problems and cannot be converted; " + rejected_objects_note());
            return;
        }
        switch (report.status) {
        case ConversionStatus::Completed:
            if (session.analysis_report.problems)
                hint("some objects were skipped; \"trevanix-cli analyze\" lists them in the error log (a "
                     "conversion leaves the log empty).");
            break;
        case ConversionStatus::RefusedTarget:
            if (!target_given)
                hint("the output would replace the input scene; choose another file with --target FILE.");
            break;
        case ConversionStatus::Declined:
            hint("the conversion was stopped by a No answer; nothing was written (use --yes to answer Yes).");
            break;
        case ConversionStatus::NotRun:
            error_note("the conversion did not run.");
            break;
        default:
            break;
        }
    }

    int finish(bool conversion_part, int status)
    {
        if (choices_.json) {
            Json object = analysis_json(snapshot_, services_.messages());
            const ConversionReport& conversion = form_.session().conversion_report;
            if (conversion_part)
                add_conversion_json(object, conversion);
            // Objects are left out only from a conversion that wrote its outputs.
            if (conversion.status != ConversionStatus::Completed)
                lists_.left_out.clear();
            write_scene_json(out_, object, lists_, choices_.json_lines);
        } else if (conversion_part) {
            print_written_files(out_, form_.session().conversion_report);
        }
        out_.flush();
        // Once the outputs are in place the run has converted the scene,
        // whenever the stop came.
        const bool placed = conversion_part && form_.session().conversion_report.status == ConversionStatus::Completed;
        return interrupted() && !placed ? exit_status::interrupted : status;
    }

    const ScenePlan& plan_;
    const RunChoices& choices_;
    std::ostream& out_;
    std::ostream& err_;
    SceneProgress& progress_;
    CliServices services_;
    Form form_;
    ObjectLists lists_;
    AnalysisSnapshot snapshot_;
    // The exit status of an unexpected failure in the phase under way.
    int failure_status_ = exit_status::not_analysable;
};

} // namespace

int run_scene(const ScenePlan& plan, const RunChoices& choices, std::ostream& out, std::ostream& err,
              SceneProgress& progress)
{
    int status = exit_status::not_analysable;
    try {
        status = SceneJob(plan, choices, out, err, progress).run();
    } catch (const std::exception& e) {
        error_note(err, std::string("internal error: ") + e.what());
    } catch (...) {
        error_note(err, "internal error");
    }
    progress.phase = ScenePhase::Done;
    return status;
}

} // namespace trevanix::cli
