// trevanix-cli: the window's analysis and conversion without a window, for one
// scene or many.
#include <atomic>
#include <csignal>
#include <algorithm>
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
#include "format/text.hpp"
#include "state/error_log.hpp"

namespace {

using namespace trevanix;
using namespace trevanix::cli;

volatile std::sig_atomic_t g_interrupted = 0;
// Read by the engine's readers at every block, so a stop lands even inside a
// long line or the counting pass.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void on_interrupt(int)
{
    g_interrupted = 1;
    g_stop.store(true, std::memory_order_relaxed);
}

struct Arguments {
    std::vector<std::string> scenes; // scenes and folders of scenes
    std::string log;
    std::string log_dir;
    bool json = false;
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
                    "stands for the scene files in it, in name order, leaving out a scene's earlier .asc output")
        ->required();
    CLI::Option* log = command.add_option(
        "--log", args.log,
        "Where to write the error log of a lone scene, made afresh (default: testfile.txt beside the program, or in "
        "~/.local/state/trevanix when that folder cannot be written; /dev/null discards it)");
    CLI::Option* log_dir = command.add_option(
        "--log-dir", args.log_dir,
        "Write each scene's error log into DIR as SCENE_FILE_NAME.log.txt (default with several scenes: beside "
        "each scene)");
    log->excludes(log_dir);
    command.add_flag("--json", args.json,
                     "Print one JSON object per scene on standard output instead of text (one line each with "
                     "several scenes); standard error keeps what --quiet keeps");
    command.add_option("--jobs", args.jobs, "Run up to N scenes at once (default: the number of processors)")
        ->check(CLI::PositiveNumber);
    command.add_flag("--quiet", args.quiet,
                     "No messages on standard error except errors and the lines that explain an exit status other "
                     "than 0, and no progress display");
    command.add_flag("--lf-ends", args.lf_ends, "Also end a line at a lone line feed (files with LF line ends)");
    command.add_flag("--recursive", args.recursive, "Also take the scenes of every folder below a folder given");
    command
        .add_option("--reader", args.reader,
                    "How .ase and .asc scenes are read: exact (the default), general (through Assimp, as the scenes "
                    "of other tools are), or auto (exact, then general when the exact reader refuses the structure)")
        ->check(CLI::IsMember({"exact", "general", "auto"}));
}

void add_convert_options(CLI::App& convert, Arguments& args)
{
    CLI::Option* target = convert.add_option(
        "--target", args.target,
        "The .asc file to write for a lone scene (\".asc\" is added when missing); default: beside the input, "
        "named after it");
    CLI::Option* out_dir = convert.add_option(
        "--out-dir", args.out_dir, "Write each scene's outputs into DIR, named after the scene (DIR/NAME.asc)");
    target->excludes(out_dir);
    convert
        .add_option("--options", args.options,
                    "all (the default), none, or a comma list of split, flip-axis, flip-textures, mat")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                if (parse_option_list(value))
                    return {};
                return "expected all, none, or a comma list of split, flip-axis, flip-textures, mat; got '" +
                       value + "'";
            },
            "LIST"));
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

PlanRequest plan_request(const Arguments& args, const std::vector<std::string>& scenes, bool converting,
                         const OptionBoxes& options, const std::filesystem::path& folder)
{
    PlanRequest request;
    request.scenes = scenes;
    request.log_file = args.log;
    request.log_dir = args.log_dir;
    if (args.no_rename && args.log.empty() && args.log_dir.empty())
        request.away_from_scenes = user_state_folder().string();
    else if (scenes.size() == 1 && args.log.empty() && args.log_dir.empty())
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
    choices.json = args.json;
    choices.json_lines = several;
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
    const RunPlan plan = plan_run(plan_request(args, listing.scenes, converting, options, folder));
    if (!plan.error.empty()) {
        error_note(plan.error);
        return exit_status::usage;
    }
    if (!make_folder(args.log_dir) || !make_folder(args.out_dir))
        return exit_status::write_failed;

    const RunChoices choices = run_choices(args, plan.scenes.size() > 1, converting, options, folder);
    const unsigned jobs = args.jobs != 0 ? args.jobs : std::max(1u, std::thread::hardware_concurrency());
    Console console(!args.quiet && standard_error_is_a_terminal());
    // A stop leaves out the scenes not started and those stopped before
    // their outputs were placed (130); a scene whose outputs were placed
    // keeps its own status.
    const int status = run_scenes(plan.scenes, choices, jobs, console);
    if (status == exit_status::interrupted)
        error_note("interrupted.");
    return status;
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
    app.footer("Exit status (with several scenes, the highest of any scene): 0 done without problems; 1 objects "
               "were skipped or left out, or an .asc scene with problems was not converted; 2 usage error, refused target, or "
               "scenes that would write the same output; 3 the scene could not be analysed, or the conversion was "
               "declined; 4 an output could not be written, another conversion was writing to the target, or the "
               "scene changed since its analysis; 130 interrupted before any output was placed.");

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? exit_status::ok : exit_status::usage;
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
