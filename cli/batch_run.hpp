#pragma once
// Runs the scenes of a run, up to `jobs` at once, and prints each scene's
// output whole and in input order, whatever the order in which they finish.
#include <vector>

#include "cli/console.hpp"
#include "cli/run_plan.hpp"
#include "cli/scene_job.hpp"

namespace trevanix::cli {

// Returns the highest exit status of the scenes. Once interrupted, scenes not
// yet started are left out.
int run_scenes(const std::vector<ScenePlan>& plans, const RunChoices& choices, unsigned jobs, Console& console);

} // namespace trevanix::cli
