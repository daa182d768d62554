#pragma once
// How far a running scene has got, shared between the thread that runs it
// and the thread that draws the progress display.
#include <atomic>
#include <cstdint>

namespace trevanix::cli {

enum class ScenePhase : int { Waiting, Analysing, Converting, Done };

struct SceneProgress {
    std::atomic<ScenePhase> phase{ScenePhase::Waiting};
    std::atomic<int> percent{0};
};

// Percent of a progress bar's range, 0 to 100.
inline int percent_of(std::int64_t min, std::int64_t max, std::int64_t value) noexcept
{
    if (max <= min || value <= min)
        return 0;
    if (value >= max)
        return 100;
    return static_cast<int>(static_cast<double>(value - min) * 100.0 / static_cast<double>(max - min));
}

} // namespace trevanix::cli
