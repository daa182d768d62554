#pragma once
// Maps the engine's 64-bit progress range (line numbers of huge scenes) onto
// the int range a progress bar widget holds.
#include <algorithm>
#include <climits>
#include <cstdint>

namespace trevanix::window {

struct BarRange {
    int min = 0;
    int max = 1;
    int value = 0;
    bool operator==(const BarRange&) const = default;
};

// Steps of a scaled bar: fine enough for any screen, far from int overflow.
inline constexpr int scaled_bar_steps = 1 << 24;

inline BarRange scale_progress(std::int64_t min, std::int64_t max, std::int64_t value) noexcept
{
    // An empty or inverted range (a scene of fewer than two lines) still gives
    // a valid bar: empty before the end, full at it.
    if (max <= min)
        return {0, 1, value >= max ? 1 : 0};
    value = std::clamp(value, min, max);
    if (min >= INT_MIN && max <= INT_MAX)
        return {static_cast<int>(min), static_cast<int>(max), static_cast<int>(value)};
    // Unsigned differences never overflow, whatever the signs of the bounds.
    const auto span = static_cast<std::uint64_t>(max) - static_cast<std::uint64_t>(min);
    const auto done = static_cast<std::uint64_t>(value) - static_cast<std::uint64_t>(min);
    const long double ratio = static_cast<long double>(done) / static_cast<long double>(span);
    return {0, scaled_bar_steps, static_cast<int>(ratio * scaled_bar_steps)};
}

} // namespace trevanix::window
