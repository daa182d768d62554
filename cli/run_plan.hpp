#pragma once
// Where each scene of a run writes: its error log and, for a conversion, its
// target. A plan is refused as a whole, before any scene runs, when two
// scenes would write the same file or one would replace a scene of the run.
#include <string>
#include <vector>

namespace trevanix::cli {

struct ScenePlan {
    std::string scene;
    std::string log_path;
    std::string target; // "" : beside the input, named after it (the conversion's own choice)
};

struct PlanRequest {
    std::vector<std::string> scenes;
    // The arguments name a folder or several scenes: each scene gets a log of
    // its own, and --log FILE and --target FILE are refused, whatever the
    // number of scenes found.
    bool batch = false;
    std::string log_file;    // --log FILE (one scene file only)
    std::string log_dir;     // --log-dir DIR
    std::string default_log; // the log of a lone scene when neither is given
    // Touch nothing beside the scenes (--no-rename): without --log or
    // --log-dir, every log goes to this folder (the user's state folder),
    // "testfile.txt" for a lone scene.
    std::string away_from_scenes;
    bool converting = false;
    std::string target;  // --target FILE (one scene file only)
    std::string out_dir; // --out-dir DIR
    bool split_chosen = false;
};

struct RunPlan {
    std::vector<ScenePlan> scenes;
    std::string error; // why the run is refused; "" when it may go on
};

RunPlan plan_run(const PlanRequest& request);

// The log of each scene, in order: --log FILE, else the scenes' own logs (in
// --log-dir, in the state folder for --no-rename, else beside each scene),
// else the default log of a lone scene.
std::vector<std::string> log_paths(const PlanRequest& request);

// The logs of several scenes: "<scene file name>.log.txt", beside the scene
// or in `log_dir`. In one folder two scenes may share a file name: the later
// one then gets "<scene file name>.2.log.txt" (then .3, ...). Names that
// differ only in letter case count as shared.
std::vector<std::string> several_scene_logs(const std::vector<std::string>& scenes, const std::string& log_dir);

} // namespace trevanix::cli
