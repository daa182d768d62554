// trevanix-cli: the window's analysis and conversion without a window, for one
// scene or many.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <csignal>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/batch_run.hpp"
#include "cli/console.hpp"
#include "cli/run_plan.hpp"
#include "cli/scene_job.hpp"
#include "cli/scene_list.hpp"
#include "cli/scene_run.hpp"
#include "cli/usage_check.hpp"
#include "format/text.hpp"
#include "state/error_log.hpp"

namespace {

using namespace trevanix;
using namespace trevanix::cli;

// The signal that stopped the run (SIGINT or SIGTERM), 0 while none has.
volatile std::sig_atomic_t g_interrupted = 0;
// Read by the engine's readers at every block, so a stop lands even inside a
// long line or the counting pass.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void on_interrupt(int signal_number)
{
    if (g_interrupted == 0)
        g_interrupted = signal_number;
    g_stop.store(true, std::memory_order_relaxed);
}

// The most scenes run at once: each is a thread of its own.
constexpr unsigned most_jobs = 1024;

struct Arguments {
    std::vector<std::string> scenes; // scenes and folders of scenes
    std::string log;
    std::string log_dir;
    bool json = false;
    bool json_lines = false;
    bool lf_ends = false;
    bool quiet = false;
    bool recursive = false;
    std::string reader = "exact"; // for ".ase" and ".asc" scenes
    unsigned jobs = 0; // 0: one per processor
    // analyze only
    bool no_rename = false;
    // convert only
    std::string target;
    std::string out_dir;
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
    command
        .add_option("SCENE_OR_FOLDER", args.scenes,
                    "Scene files (.ase ASCII Scene Export, .asc 3D Studio ASCII mesh, or a scene of another tool: "
                    ".gltf, .glb, .obj, .fbx, .dae, .3ds and the other formats Assimp reads), or folders: a folder "
                    "stands for the scene files in it, in name order, leaving out a scene's earlier .asc output. A "
                    "file whose name begins with - is given as ./-NAME or after --")
        ->required()
        ->type_name("");
    CLI::Option* log = command
                           .add_option("--log", args.log,
                                       "Where to write the error log of a lone scene file, made afresh (default: "
                                       "testfile.txt in $XDG_STATE_HOME/trevanix, else ~/.local/state/trevanix; "
                                       "beside the program when it runs from its build tree; /dev/null discards it)")
                           ->type_name("FILE");
    CLI::Option* log_dir =
        command
            .add_option("--log-dir", args.log_dir,
                        "Write each scene's error log into DIR as SCENE_FILE_NAME.log.txt, DIR created when missing "
                        "(default for a folder or several scenes: beside each scene)")
            ->type_name("DIR");
    log->excludes(log_dir);
    CLI::Option* json = command.add_flag(
        "--json", args.json,
        "Print JSON on standard output instead of text: one indented document for one scene file, one object a "
        "line for a folder or several scenes; standard error keeps what --quiet keeps");
    CLI::Option* json_lines =
        command.add_flag("--json-lines", args.json_lines,
                         "Print one JSON object per scene, each on one line, whatever the number of scenes (for "
                         "scripts); standard error keeps what --quiet keeps");
    json->excludes(json_lines);
    command.add_option("--jobs", args.jobs, "Run up to N scenes at once (default: the number of processors)")
        ->type_name("N")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                unsigned jobs = 0;
                const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
                if (error == std::errc() && end == value.data() + value.size() && jobs >= 1 && jobs <= most_jobs)
                    return {};
                return "N is the number of scenes run at once, a whole number from 1 to " +
                       std::to_string(most_jobs) + "; got '" + value + "'";
            },
            ""));
    command.add_flag("--quiet", args.quiet,
                     "No messages on standard error except errors and the lines that explain an exit status other "
                     "than 0, and no progress display");
    command.add_flag("--lf-ends", args.lf_ends,
                     "Also end a line at a lone line feed in a file that holds CR as well (a file without any CR "
                     "ends its lines at LF anyway)");
    command.add_flag("--recursive", args.recursive, "Also take the scenes of every folder below a folder given");
    command
        .add_option("--reader", args.reader,
                    "How .ase and .asc scenes are read: exact (the default), general (through Assimp, as the scenes "
                    "of other tools are), or auto (exact, then general when the exact reader refuses the structure)")
        ->type_name("READER")
        ->check(CLI::IsMember({"exact", "general", "auto"}));
}

void add_convert_options(CLI::App& convert, Arguments& args)
{
    CLI::Option* target = convert
                              .add_option("--target", args.target,
                                          "The .asc file to write for a lone scene file (\".asc\" is added when "
                                          "missing), its folder created when missing; default: beside the input, "
                                          "named after it")
                              ->type_name("FILE");
    CLI::Option* out_dir = convert
                               .add_option("--out-dir", args.out_dir,
                                           "Write each scene's outputs into DIR, named after the scene (DIR/NAME.asc), "
                                           "DIR created when missing")
                               ->type_name("DIR");
    target->excludes(out_dir);
    convert
        .add_option("--options", args.options,
                    "all (the default), none, or a comma list of split, flip-axis, flip-textures, mat")
        ->type_name("LIST")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                if (parse_option_list(value))
                    return {};
                return "expected all, none, or a comma list of split, flip-axis, flip-textures, mat; got '" +
                       value + "'";
            },
            ""));
    convert.add_flag("--yes", args.yes, "Answer Yes to the conversion's questions (default: No)");
}

// Paths in the note are shown with their control bytes escaped.
void error_note(const std::string& text) { std::cerr << "trevanix-cli: " << printable_text(text) << '\n'; }

bool make_folder(const std::string& folder)
{
    if (folder.empty())
        return true;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec && !std::filesystem::is_directory(folder)) {
        error_note("cannot create the folder \"" + folder + "\": " + ec.message());
        return false;
    }
    return true;
}

// A batch prints and logs the same way whatever its folders hold: a folder
// argument, or more than one argument, makes it one.
bool is_batch(const Arguments& args, const SceneListing& listing)
{
    return args.scenes.size() > 1 || listing.folder_given || listing.scenes.size() > 1;
}

// The folder a lone scene's target goes into, made as --out-dir is.
std::string target_folder(const Arguments& args, bool converting)
{
    if (!converting || args.target.empty())
        return {};
    return std::filesystem::path(args.target).parent_path().string();
}

// 130 for SIGINT and 143 for SIGTERM, as shells report a stop by a signal.
int stopped_status()
{
    const int signal_number = g_interrupted;
    return signal_number == SIGTERM ? exit_status::terminated : exit_status::interrupted;
}

// The settings every scene's session starts from; each scene adds its log.
EngineSettings engine_settings(const Arguments& args, const std::filesystem::path& folder)
{
    EngineSettings settings;
    settings.program_folder = folder.string();
    settings.lf_ends_line = args.lf_ends;
    settings.stop = &g_stop;
    settings.picture_renaming = args.no_rename ? PictureRenaming::ListOnly : PictureRenaming::Rename;
    settings.reader = args.reader == "general" ? ReaderChoice::General
                      : args.reader == "auto"  ? ReaderChoice::Auto
                                               : ReaderChoice::Exact;
    return settings;
}

PlanRequest plan_request(const Arguments& args, const SceneListing& listing, bool converting,
                         const OptionBoxes& options, const std::filesystem::path& folder)
{
    PlanRequest request;
    request.scenes = listing.scenes;
    request.batch = is_batch(args, listing);
    request.log_file = args.log;
    request.log_dir = args.log_dir;
    if (args.no_rename && args.log.empty() && args.log_dir.empty())
        request.away_from_scenes = user_state_folder().string();
    else if (!request.batch && args.log.empty() && args.log_dir.empty())
        request.default_log = default_log_path(folder).string();
    request.converting = converting;
    request.target = args.target;
    request.out_dir = args.out_dir;
    request.split_chosen = options.all || options.split;
    return request;
}

RunChoices run_choices(const Arguments& args, bool several, bool converting, const OptionBoxes& options,
                       const std::filesystem::path& folder)
{
    RunChoices choices;
    choices.converting = converting;
    choices.json = args.json || args.json_lines;
    choices.json_lines = several || args.json_lines;
    choices.several = several;
    choices.quiet = args.quiet;
    choices.lf_ends = args.lf_ends;
    choices.options = options;
    choices.yes = args.yes;
    choices.engine = engine_settings(args, folder);
    choices.interrupted = &g_interrupted;
    return choices;
}

int run(const Arguments& args, bool converting, const char* argv0)
{
    const SceneListing listing = list_scenes(args.scenes, args.recursive);
    if (!listing.error.empty()) {
        error_note(listing.error);
        return exit_status::usage;
    }
    const auto folder = program_folder(argv0);
    const OptionBoxes options = *parse_option_list(args.options);
    const PlanRequest request = plan_request(args, listing, converting, options, folder);
    const RunPlan plan = plan_run(request);
    if (!plan.error.empty()) {
        error_note(plan.error);
        return exit_status::usage;
    }
    if (!make_folder(args.log_dir) || !make_folder(args.out_dir) || !make_folder(target_folder(args, converting)))
        return exit_status::write_failed;

    const RunChoices choices = run_choices(args, request.batch, converting, options, folder);
    const unsigned jobs = args.jobs != 0 ? args.jobs : std::max(1u, std::thread::hardware_concurrency());
    Console console(!args.quiet && standard_error_is_a_terminal());
    // A stop leaves out the scenes not started and those stopped before
    // their outputs were placed (130); a scene whose outputs were placed
    // keeps its own status.
    const int status = run_scenes(plan.scenes, choices, jobs, console);
    if (status != exit_status::interrupted)
        return status;
    error_note(stopped_status() == exit_status::terminated ? "terminated." : "interrupted.");
    return stopped_status();
}

// The long options of a command, as its parser holds them.
CommandWords command_words(const CLI::App& command)
{
    CommandWords words;
    words.name = command.get_name();
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames()) {
            if (name == "help")
                continue;
            (option->get_items_expected_max() == 0 ? words.flags : words.valued).push_back("--" + name);
        }
    }
    return words;
}

// A mistake the parser would report in its own terms, told plainly; "" when
// there is none.
std::string usage_problem_of(const CLI::App& app, int argc, char** argv)
{
    std::vector<CommandWords> commands;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        commands.push_back(command_words(*command));
    return usage_problem(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), commands,
                         {"--help", "-h", "--version"});
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);

    CLI::App app{"Prepares textured 3D scenes for Kolbrin2: analyses .ase or .asc scenes (and the scenes of other "
                 "tools, through Assimp), logs every rejected object to an error log, converts the valid objects to "
                 ".asc and writes the .mat material file and the TIFF pictures.",
                 "trevanix-cli"};
    app.set_version_flag("--version", std::string("trevanix-cli ") + TREVANIX_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Exit status (with several scenes, the highest of any scene): 0 done without problems; 1 objects were "
        "rejected, skipped or left out, or an .asc scene with problems was not converted; 2 usage error, a target "
        "refused because it would replace the input, or scenes that would write the same output; 3 the scene could "
        "not be analysed (unreadable, not a regular file, saved as UTF-16, changed while it was read, of another "
        "type, no objects, broken structure), or the conversion was stopped by a No answer; 4 an output could not "
        "be written, a folder for the logs or the outputs could not be created, another conversion was "
        "writing to the target, or the input could not be read again or changed since its analysis; 130 "
        "interrupted (SIGINT, Ctrl-C) before any output was placed; 143 the same, stopped by SIGTERM.");

    Arguments args;
    CLI::App* analyze = app.add_subcommand("analyze", "Analyse scenes: statistics, verdict and the error log");
    add_scene_options(*analyze, args);
    analyze->add_flag("--no-rename", args.no_rename,
                      "Touch nothing beside the scenes: rename no picture, only list the renames (JSON "
                      "renamed_pictures); without --log or --log-dir the logs go to the user's state folder");

    CLI::App* convert =
        app.add_subcommand("convert", "Analyse scenes, then convert their valid objects to .asc (and a .mat file)");
    add_scene_options(*convert, args);
    add_convert_options(*convert, args);

    if (const std::string problem = usage_problem_of(app, argc, argv); !problem.empty()) {
        error_note(problem);
        return exit_status::usage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here too, with status 0.
        if (e.get_exit_code() == 0)
            return app.exit(e) == 0 ? exit_status::ok : exit_status::usage;
        std::cerr << "trevanix-cli: " << e.what() << "\nRun with --help for more information.\n";
        return exit_status::usage;
    }

    try {
        return run(args, convert->parsed(), argc > 0 ? argv[0] : "trevanix-cli");
    } catch (const std::exception& e) {
        error_note(std::string("internal error: ") + e.what());
    } catch (...) {
        error_note("internal error");
    }
    return exit_status::not_analysable;
}
