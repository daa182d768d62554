#pragma once
// The peak memory of trevanix-cli on scenes of very many objects, in text and
// in JSON mode: memory must not grow with the number of objects. Each run is
// a process of its own, whose peak resident size (ru_maxrss) is measured.
#include <cstdint>
#include <string>

namespace trevanix::bench {

struct ObjectCountSettings {
    std::int64_t object_lines = 10'000'000;
    std::string dir;
    std::string cli; // the trevanix-cli program
    long target_mib = 64;
};

// Prints one row per run; returns false when a run failed or went over the target.
bool run_object_count_bench(const ObjectCountSettings& settings);

} // namespace trevanix::bench
