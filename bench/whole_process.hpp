#pragma once
// Whole processes measured from outside, as a user compares tools: a
// program's wall time from its start to its exit (start-up included) and its
// peak memory, and two programs run in turn (A B A B ...) so that their
// ratio is taken pair by pair and a drift of the machine's speed during the
// run does not move it.
#include <functional>
#include <string>
#include <vector>

namespace trevanix::bench {

struct ProcessRun {
    double seconds = 0;
    long peak_mib = 0;
    long peak_kib = 0; // the same, finer, for small programs
    bool ok = false; // exit status 0 or 1 (objects left out or skipped)
};

// Runs the program with its output thrown away.
ProcessRun run_process(const std::vector<std::string>& args);

// A against B: the medians of each and of the ratios A/B of the pairs.
struct Paired {
    double a_seconds = 0;
    double b_seconds = 0;
    double ratio = 0;
    long a_peak_mib = 0;
    bool ok = false;
};

// `pairs` pairs after one warm-up pair; `before_each` runs before every run
// (to remove earlier outputs).
Paired run_paired(const std::vector<std::string>& a, const std::vector<std::string>& b, int pairs,
                  const std::function<void()>& before_each);

} // namespace trevanix::bench
