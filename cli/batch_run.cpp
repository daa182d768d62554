#include "cli/batch_run.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "format/text.hpp"
#include "state/paths.hpp"

namespace trevanix::cli {

namespace {

struct SceneSlot {
    SceneProgress progress;
    std::unique_ptr<SceneOutput> output;
    int status = 0;
    bool done = false; // guarded by the run's mutex
};

class SceneRun {
public:
    SceneRun(const std::vector<ScenePlan>& plans, const RunChoices& choices, Console& console)
        : plans_(plans), choices_(choices), console_(console), slots_(plans.size())
    {
        for (std::size_t i = 0; i < plans.size(); ++i) {
            // Several scenes share standard error: each line says whose it is.
            slots_[i].output =
                std::make_unique<SceneOutput>(choices.several ? printable_text(plans[i].scene) + ": " : std::string());
            // A lone scene shows its text as it comes, as a one-scene run always did.
            if (plans.size() == 1)
                slots_[i].output->pass_on_flush(
                    [this](std::vector<OutputPiece>&& pieces) { console_.print(pieces); });
        }
    }

    int run(unsigned jobs)
    {
        const std::size_t workers = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(plans_.size(), 1));
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < workers; ++i)
            threads.emplace_back([this] { work(); });
        int status = 0;
        for (std::size_t next = 0; next < slots_.size(); ++next)
            status = std::max(status, print_when_done(next));
        for (std::thread& thread : threads)
            thread.join();
        console_.erase_progress();
        return status;
    }

private:
    bool interrupted() const { return choices_.interrupted != nullptr && *choices_.interrupted != 0; }

    void work()
    {
        for (;;) {
            const std::size_t i = next_scene_.fetch_add(1);
            if (i >= slots_.size())
                return;
            SceneSlot& slot = slots_[i];
            if (interrupted()) {
                slot.status = exit_status::interrupted; // never started
            } else {
                slot.status = run_scene(plans_[i], choices_, slot.output->out(), slot.output->err(), slot.progress);
            }
            {
                std::lock_guard lock(mutex_);
                slot.done = true;
            }
            scene_done_.notify_all();
        }
    }

    // Waits for scene `index`, keeping the progress display up to date
    // meanwhile, then prints its output.
    int print_when_done(std::size_t index)
    {
        SceneSlot& slot = slots_[index];
        for (;;) {
            std::unique_lock lock(mutex_);
            if (scene_done_.wait_for(lock, std::chrono::milliseconds(200), [&] { return slot.done; }))
                break;
            lock.unlock();
            console_.draw_progress(running_scenes());
        }
        slot.output->drain([this](std::vector<OutputPiece>&& pieces) { console_.print(pieces); });
        slot.output.reset();
        return slot.status;
    }

    std::vector<ProgressLine> running_scenes() const
    {
        std::vector<ProgressLine> lines;
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const ScenePhase phase = slots_[i].progress.phase.load(std::memory_order_relaxed);
            if (phase == ScenePhase::Analysing || phase == ScenePhase::Converting)
                lines.push_back({printable_text(file_name_of(plans_[i].scene)), phase,
                                 slots_[i].progress.percent.load(std::memory_order_relaxed)});
        }
        return lines;
    }

    const std::vector<ScenePlan>& plans_;
    const RunChoices& choices_;
    Console& console_;
    std::vector<SceneSlot> slots_;
    std::atomic<std::size_t> next_scene_{0};
    std::mutex mutex_;
    std::condition_variable scene_done_;
};

} // namespace

int run_scenes(const std::vector<ScenePlan>& plans, const RunChoices& choices, unsigned jobs, Console& console)
{
    return SceneRun(plans, choices, console).run(jobs);
}

} // namespace trevanix::cli
