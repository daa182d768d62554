#pragma once
// Whole user sessions over one scene, for the robustness tests: analyse,
// choose a target, convert, and the checks every run must pass whatever the
// input (a verdict or a message, no temporary left, the input untouched).
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/analysis_harness.hpp"

namespace trevanix::testing {

// Files whose names show an output that was never committed or abandoned.
inline std::vector<std::string> leftover_temporaries(const std::filesystem::path& folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find(".trevanix-") != std::string::npos || name.ends_with(".tmp"))
            found.push_back(it->path().string());
    }
    return found;
}

// Aborts the whole test program when a test runs far longer than it ever
// should: a hang becomes a failure with a name instead of a stuck CI job.
class Watchdog {
public:
    Watchdog(const char* what, std::chrono::seconds limit)
        : thread_([this, what, limit] {
              std::unique_lock lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: %s did not finish within %lld s\n", what,
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

// True when a message shown from index `first` on is a notice (OK button)
// captioned "Error" or "Warning": how an action that stops short tells the
// user why. Questions do not count, so the express-run question that opens
// every ".ase" analysis is no such message.
inline bool told_why_it_stopped(const ScriptedServices& services, std::size_t first)
{
    for (std::size_t i = first; i < services.messages.size(); ++i) {
        const Message& m = services.messages[i].message;
        if (m.buttons == MessageButtons::Ok && (m.caption == "Error" || m.caption == "Warning"))
            return true;
    }
    return false;
}

// What one run of a scene through the window's actions ended with.
struct SceneRun {
    bool analysed = false;     // the analysis reached its verdict
    bool converted = false;    // a conversion completed
    std::string failure;       // empty, or which promise was broken
};

// Analyses `bytes` as `name` in the harness folder, then, when the window
// would allow it, chooses `target_name` there and converts. The services'
// answers decide the questions. Checks that every action ends with a verdict
// or a message, that the input stays as it was and that no temporary is left.
inline SceneRun run_scene(Harness& h, const std::string& name, const std::string& bytes,
                          const std::string& target_name = "out.asc")
{
    SceneRun run;
    std::size_t before = h.services.messages.size();
    h.analyse(name, bytes);
    const AnalysisReport& analysis = h.session().analysis_report;
    run.analysed = analysis.completed;
    if (!analysis.completed && !told_why_it_stopped(h.services, before))
        run.failure = "analysis ended without a verdict or a message";
    if (h.controls().Target_filename.enabled) {
        h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file(target_name)));
        h.form().click_Target_filename();
    }
    if (run.failure.empty() && h.controls().Start_process.enabled) {
        before = h.services.messages.size();
        h.form().click_Start_process();
        const ConversionReport& conversion = h.session().conversion_report;
        run.converted = conversion.status == ConversionStatus::Completed;
        // A conversion stops short only on the user's No or with a message.
        if (!run.converted && conversion.status != ConversionStatus::Declined &&
            !told_why_it_stopped(h.services, before))
            run.failure = "conversion ended without completing or a message";
    }
    if (h.form().busy())
        run.failure = "the form stayed busy";
    if (read_bytes(h.dir.file(name)) != bytes)
        run.failure = "the input was changed";
    if (const auto left = leftover_temporaries(h.dir.path()); !left.empty())
        run.failure = "temporary left behind: " + left.front();
    return run;
}

// A sample scene from the repository or the public corpus, empty when absent.
inline std::string scene_file(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) ? read_bytes(path.string()) : std::string();
}

} // namespace trevanix::testing
