#pragma once
// The two runs of the command line over one form, the analysis of a scene and
// its conversion, and the exit status each run ends with. The form's own click
// actions do the work, exactly as the window's buttons do.
#include <optional>
#include <string>
#include <string_view>

#include "app/form.hpp"
#include "cli/cli_services.hpp"

namespace trevanix::cli {

namespace exit_status {
inline constexpr int ok = 0;
inline constexpr int problems = 1;       // objects skipped or left out, or an ".asc" scene that cannot be converted
inline constexpr int usage = 2;          // bad arguments, or a target that would replace the input
inline constexpr int not_analysable = 3; // unreadable or broken scene, or a conversion declined by a No
inline constexpr int write_failed = 4;   // an output could not be written
inline constexpr int interrupted = 130;  // stopped by a signal (the run ends with 143 for SIGTERM)
inline constexpr int terminated = 143;   // stopped by SIGTERM
} // namespace exit_status

// The option check boxes of the conversion. `all` stands for Check_all.
struct OptionBoxes {
    bool all = true;
    bool split = false;
    bool flip_axis = false;
    bool flip_textures = false;
    bool mat = false;
};

// "all", "none" or a comma list of split, flip-axis, flip-textures, mat.
// nullopt for anything else (an empty list included).
std::optional<OptionBoxes> parse_option_list(std::string_view list);

// A sentence saying why the scene file cannot be read, or "" when it can.
std::string unreadable_scene_reason(const std::string& path);

// Runs the analysis as the command-line start does, every question answered
// No. With `conversion`, the conversion that follows rides along it.
void run_analysis(Form& form, CliServices& services, const std::string& scene_argument,
                  std::optional<ConversionRequest> conversion = std::nullopt);

// What the conversion after the analysis will be asked for: the target as
// the target button takes it ("" beside the scene) and the options the boxes
// choose.
ConversionRequest conversion_request(const std::string& target, const OptionBoxes& boxes);

// Whether the analysis' verdict lets the scene be converted: an ".ase" scene
// (or one of the general reader) whose analysis completed, or an ".asc" scene
// that completed without problems.
bool conversion_allowed(const Session& session);

// Chooses the target as the window's target button does, with its refusal of
// the input file itself. Returns false when the target was refused.
bool choose_target(Form& form, CliServices& services, const std::string& target);

// Sets the check boxes as a user would click them.
void set_option_boxes(Form& form, const OptionBoxes& boxes);

// Runs the conversion without its closing "close the program?" message; every
// question of the conversion gets the answer `yes`.
void run_conversion(Form& form, CliServices& services, bool yes);

int analysis_exit_status(const Session& session);
// `target_refused`: the target given was refused before the conversion ran.
int conversion_exit_status(const Session& session, bool target_refused);

} // namespace trevanix::cli
