#pragma once
// The analysis of a scene by the general reader: Assimp reads it, every
// mesh instance becomes an object in 3D Studio's axes, and the objects are
// checked by the exact readers' rules where they have a meaning. Objects of
// more than 65535 faces are split, points, lines and degenerate faces
// dropped; each such object gets a log line. The scene state is filled as
// the exact analysis fills it, and the read scene is kept in it
// (held_scene) for the conversion.
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_driver.hpp"
#include "state/error_log.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

// The reason keys of the general reader's own log lines.
namespace general_reason {
inline constexpr std::string_view invalid_number = "invalid_number";         // rejected
inline constexpr std::string_view split_into_parts = "split_into_parts";     // repaired
inline constexpr std::string_view primitives_dropped = "primitives_dropped"; // repaired
} // namespace general_reason

struct GeneralAnalysis {
    AnalysisResult result; // its missing_pictures: the textures not found or not decodable
    // The objects written otherwise than the scene gives them, as the log names them.
    std::vector<LoggedProblem> repaired;
    // What the scene holds that is not carried, said once; "" when nothing.
    std::string notice;
};

// The progress of a general scene runs over this many steps (its objects
// have no input lines to count).
inline constexpr std::int64_t general_progress_steps = 1000;

// Analyses scene.scene_path (scene.extension is its lower-cased extension).
// `stop` (may be null) ends the reading once set. The log must be open (or
// have failed to open).
GeneralAnalysis analyse_general_scene(SceneState& scene, ErrorLog& log, const std::atomic<bool>* stop,
                                      AnalysisObserver& observer);

} // namespace trevanix
