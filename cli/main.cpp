// trevanix-cli: the window's analysis and conversion without a window.
#include <atomic>
#include <csignal>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

#include <CLI/CLI.hpp>

#include "state/error_log.hpp"
#include "state/paths.hpp"
#include "app/form.hpp"
#include "cli/cli_services.hpp"
#include "cli/report.hpp"
#include "cli/scene_run.hpp"

namespace {

using namespace trevanix;
using namespace trevanix::cli;

volatile std::sig_atomic_t g_interrupted = 0;
// Read by the engine's readers at every block, so a stop lands even inside a
// long line or the counting pass.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
// The exit status of an unexpected failure in the phase under way.
int g_failure_status = exit_status::not_analysable;

extern "C" void on_interrupt(int)
{
    g_interrupted = 1;
    g_stop.store(true, std::memory_order_relaxed);
}

struct Arguments {
    std::string scene;
    std::string log;
    bool json = false;
    bool lf_ends = false;
    // convert only
    std::string target;
    bool target_given = false;
    std::string options = "all";
    bool yes = false;
};

std::filesystem::path program_folder(const char* argv0)
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path();
}

void add_scene_options(CLI::App& command, Arguments& args)
{
    command.add_option("SCENE", args.scene, "The scene file: an .ase (ASCII Scene Export) or .asc (3D Studio ASCII mesh)")
        ->required();
    command.add_option("--log", args.log,
                       "Where to write the error log (default: testfile.txt beside the program, "
                       "or in ~/.local/state/trevanix when that folder cannot be written)");
    command.add_flag("--json", args.json, "Print one JSON object on standard output instead of text");
    command.add_flag("--lf-ends", args.lf_ends, "Also end a line at a lone line feed (files with LF line ends)");
}

void hint(const std::string& text) { std::cerr << "trevanix-cli: " << text << '\n'; }

// Notes on standard error that the window leaves to the user's eyes.
void explain_analysis(const Session& session, const CliServices& services, const Arguments& args, bool converting)
{
    const AnalysisReport& report = session.analysis_report;
    if (report.no_objects && report.input_has_lone_line_feeds && !args.lf_ends)
        hint("hint: this file ends its lines with lone line feeds (LF), which do not end a line by default; "
             "run again with --lf-ends to read them as line ends.");
    if (report.completed && report.problems && !(converting && conversion_allowed(session)))
        hint("the rejected objects are listed in the error log: " + session.log.path().string());
    if (!report.completed && services.messages().empty()) {
        const std::string& type = session.scene.file_type;
        hint(type == "ase" || type == "asc" ? "the scene could not be analysed."
                                            : "only .ase and .asc scene files can be analysed.");
    }
}

void explain_conversion(const Session& session, bool target_given, bool target_refused)
{
    const ConversionReport& report = session.conversion_report;
    if (!session.analysis_report.completed || target_refused)
        return;
    if (!conversion_allowed(session)) {
        hint("the scene has problems and cannot be converted; see the error log: " + session.log.path().string());
        return;
    }
    switch (report.status) {
    case ConversionStatus::Completed:
        if (session.analysis_report.problems)
            hint("some objects were skipped; \"trevanix-cli analyze\" lists them in the error log (a conversion "
                 "leaves the log empty).");
        break;
    case ConversionStatus::RefusedTarget:
        if (!target_given)
            hint("the output would replace the input scene; choose another file with --target FILE.");
        break;
    case ConversionStatus::Declined:
        hint("the conversion was stopped by a No answer; nothing was written (use --yes to answer Yes).");
        break;
    case ConversionStatus::NotRun:
        hint("the conversion did not run.");
        break;
    default:
        break;
    }
}

int finish(const Arguments& args, const Form& form, const CliServices& services, const AnalysisSnapshot& snapshot,
           bool conversion_part, int status)
{
    if (args.json) {
        Json object = analysis_json(snapshot, services.messages());
        if (conversion_part)
            add_conversion_json(object, form.session().conversion_report);
        std::cout << object.dump(2) << '\n';
    } else if (conversion_part) {
        print_written_files(std::cout, form.session().conversion_report);
    }
    std::cout.flush();
    if (g_interrupted != 0) {
        hint("interrupted.");
        return exit_status::interrupted;
    }
    return status;
}

int run(const Arguments& args, bool convert, const char* argv0)
{
    EngineSettings settings;
    const auto folder = program_folder(argv0);
    settings.program_folder = folder.string();
    settings.log_path = args.log.empty() ? default_log_path(folder).string() : args.log;
    settings.lf_ends_line = args.lf_ends;
    settings.stop = &g_stop;

    CliServices services(args.json ? nullptr : &std::cerr);
    Form form(services, settings);
    services.watch_interrupt(&g_interrupted, &form.session().stop_requested);

    // A scene that cannot even be opened is refused before the engine starts,
    // so the error log of an earlier run stays as it was.
    if (const std::string reason = unreadable_scene_reason(without_surrounding_quotes(args.scene)); !reason.empty()) {
        services.show_message({"Error", reason, MessageIcon::Critical, MessageButtons::Ok});
        return finish(args, form, services, snapshot_analysis(form.session()), convert,
                      exit_status::not_analysable);
    }

    run_analysis(form, services, args.scene);
    const AnalysisSnapshot snapshot = snapshot_analysis(form.session());
    if (!args.json && snapshot.completed)
        print_statistics(std::cout, snapshot);
    std::cout.flush();
    explain_analysis(form.session(), services, args, convert);
    if (!convert || g_interrupted != 0)
        return finish(args, form, services, snapshot, convert, analysis_exit_status(form.session()));

    bool target_refused = false;
    if (conversion_allowed(form.session())) {
        if (args.target_given)
            target_refused = !choose_target(form, services, args.target);
        if (!target_refused) {
            g_failure_status = exit_status::write_failed;
            set_option_boxes(form, *parse_option_list(args.options));
            run_conversion(form, services, args.yes);
        }
    }
    explain_conversion(form.session(), args.target_given, target_refused);
    return finish(args, form, services, snapshot, true, conversion_exit_status(form.session(), target_refused));
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);

    CLI::App app{"Prepares textured 3D scenes for Kolbrin2: analyses an .ase or .asc scene, logs every rejected "
                 "object to an error log, converts the valid objects to .asc and writes the .mat material file.",
                 "trevanix-cli"};
    app.set_version_flag("--version", std::string("trevanix-cli ") + TREVANIX_VERSION);
    app.require_subcommand(1);
    app.footer("Exit status: 0 done without problems; 1 objects were skipped, or an .asc scene with problems was "
               "not converted; 2 usage error or refused target; 3 the scene could not be analysed, or the "
               "conversion was declined; 4 an output could not be written.");

    Arguments args;
    CLI::App* analyze = app.add_subcommand("analyze", "Analyse a scene: statistics, verdict and the error log");
    add_scene_options(*analyze, args);

    CLI::App* convert =
        app.add_subcommand("convert", "Analyse a scene, then convert its valid objects to .asc (and its .mat file)");
    add_scene_options(*convert, args);
    convert->add_option("--target", args.target,
                        "The .asc file to write (\".asc\" is added when missing); default: beside the input, "
                        "named after it");
    convert
        ->add_option("--options", args.options,
                     "all (the default), none, or a comma list of split, flip-axis, flip-textures, mat")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                if (parse_option_list(value))
                    return {};
                return "expected all, none, or a comma list of split, flip-axis, flip-textures, mat; got '" +
                       value + "'";
            },
            "LIST"));
    convert->add_flag("--yes", args.yes, "Answer Yes to the conversion's questions (default: No)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? exit_status::ok : exit_status::usage;
    }
    args.target_given = convert->parsed() && convert->count("--target") > 0;

    try {
        return run(args, convert->parsed(), argc > 0 ? argv[0] : "trevanix-cli");
    } catch (const std::exception& e) {
        std::cerr << "trevanix-cli: internal error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "trevanix-cli: internal error\n";
    }
    return g_failure_status;
}
