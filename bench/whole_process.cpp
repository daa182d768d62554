#include "bench/whole_process.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace trevanix::bench {

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

ProcessRun run_process(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ProcessRun run;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_kib = usage.ru_maxrss;
    run.peak_mib = usage.ru_maxrss / 1024;
    run.ok = WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
    return run;
}

Paired run_paired(const std::vector<std::string>& a, const std::vector<std::string>& b, int pairs,
                  const std::function<void()>& before_each)
{
    std::vector<double> a_times, b_times, ratios;
    Paired paired;
    paired.ok = true;
    for (int i = 0; i <= pairs; ++i) {
        before_each();
        const ProcessRun ra = run_process(a);
        before_each();
        const ProcessRun rb = run_process(b);
        paired.ok = paired.ok && ra.ok && rb.ok;
        paired.a_peak_mib = std::max(paired.a_peak_mib, ra.peak_mib);
        if (i == 0)
            continue; // the warm-up pair fills the page cache
        a_times.push_back(ra.seconds);
        b_times.push_back(rb.seconds);
        ratios.push_back(rb.seconds > 0 ? ra.seconds / rb.seconds : 0);
    }
    paired.a_seconds = median(a_times);
    paired.b_seconds = median(b_times);
    paired.ratio = median(ratios);
    return paired;
}

} // namespace trevanix::bench
