#pragma once
// One scene of a run, from start to end, exactly as a run of that scene alone:
// its own session, analysis, optional conversion, its text or JSON report and
// its notes on standard error. Several scene jobs may run at once.
#include <csignal>
#include <ostream>
#include <string>

#include "cli/progress.hpp"
#include "cli/run_plan.hpp"
#include "cli/scene_run.hpp"
#include "state/session.hpp"

namespace trevanix::cli {

// What every scene of a run shares.
struct RunChoices {
    bool converting = false;
    bool json = false;
    bool json_lines = false; // several scenes: one JSON object a line
    bool several = false;    // several scenes: text output names each scene
    bool quiet = false;      // standard error carries errors only
    bool lf_ends = false;
    OptionBoxes options;
    bool yes = false;
    EngineSettings engine; // the settings each scene's session starts from
    const volatile std::sig_atomic_t* interrupted = nullptr;
};

// Runs one scene, printing to `out` and `err`; returns its exit status.
int run_scene(const ScenePlan& plan, const RunChoices& choices, std::ostream& out, std::ostream& err,
              SceneProgress& progress);

} // namespace trevanix::cli
