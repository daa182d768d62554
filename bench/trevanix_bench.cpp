// trevanix-bench: generates a large ".ase" and ".asc" scene and sets the
// analysis and the conversion against the cheapest thing that reads (a
// newline count) or writes (a plain copy) the same bytes. The engine should
// stay within a small factor of both. The analysis is measured in a process
// of its own, so its peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "app/form.hpp"
#include "bench/object_count_bench.hpp"
#include "bench/scene_generator.hpp"
#include "cli/cli_services.hpp"
#include "cli/scene_run.hpp"
#include "format/line_scan.hpp"

namespace fs = std::filesystem;
using namespace trevanix;

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr double kTargetRatio = 3.0;
constexpr double kConversionTargetRatio = 2.0;
constexpr double kAnalysisTargetRatio = 2.0;
constexpr long kAnalysisTargetMib = 64;

struct Settings {
    std::vector<std::uint64_t> sizes_mb{200}; // each size is generated and measured in turn
    int repeat = 3;
    std::string dir;
    bool keep = false;
    std::int64_t object_lines = 0; // the object-count mode instead, with this many object lines
};

double seconds_of(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double best_of(int repeat, const std::function<void()>& prepare, const std::function<void()>& work)
{
    double best = 0;
    for (int i = 0; i < repeat; ++i) {
        prepare();
        const double t = seconds_of(work);
        best = i == 0 ? t : std::min(best, t);
    }
    return best;
}

long peak_rss_mib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Where the newline counts go, so that the compiler cannot drop the count
// whose result nobody else reads.
volatile std::uint64_t g_newlines_seen = 0;

std::uint64_t count_newlines(const std::string& path)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr)
        throw std::runtime_error("cannot read " + path);
    std::vector<char> buffer(kBlock);
    std::uint64_t lines = 0;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        const char* p = buffer.data();
        const char* end = p + n;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++lines;
            ++p;
        }
    }
    std::fclose(in);
    return lines;
}

// A plain copy; with `synced`, flushed to the disk before it counts as done,
// as every output of the conversion is.
void copy_file(const std::string& from, const std::string& to, bool synced = false)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    if (in == nullptr || out == nullptr)
        throw std::runtime_error("cannot copy " + from + " to " + to);
    std::vector<char> buffer(kBlock);
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        if (std::fwrite(buffer.data(), 1, n, out) != n)
            throw std::runtime_error("cannot write " + to);
    std::fclose(in);
    if (synced && (std::fflush(out) != 0 || ::fdatasync(fileno(out)) != 0))
        throw std::runtime_error("cannot write " + to);
    if (std::fclose(out) != 0)
        throw std::runtime_error("cannot write " + to);
}

// One form over one scene, driven as trevanix-cli drives it.
struct Run {
    explicit Run(const Settings& settings)
        : form(services, [&] {
              EngineSettings engine;
              engine.program_folder = settings.dir;
              engine.log_path = (fs::path(settings.dir) / "testfile.txt").string();
              return engine;
          }())
    {
    }
    cli::CliServices services;
    Form form;
};

void remove_outputs(const std::string& dir, const std::string& stem)
{
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(stem, 0) == 0 && (entry.path().extension() == ".asc" || entry.path().extension() == ".mat"))
            fs::remove(entry.path());
    }
}

struct Row {
    std::uint64_t size_mb = 0;
    std::string scene;
    std::string phase;
    std::string baseline;
    double baseline_s = 0;
    double engine_s = 0;
    long rss_mib = 0;
    std::string note;
    double target = kTargetRatio;
    long target_mib = 0; // 0: no memory target
};

void print_rows(const std::vector<Row>& rows)
{
    std::printf("\n%7s %-6s %-11s %-15s %12s %12s %8s %8s %14s  %s\n", "MB", "scene", "phase", "baseline", "baseline s",
                "engine s", "ratio", "target", "peak RSS MiB", "note");
    for (const auto& r : rows) {
        const double ratio = r.baseline_s > 0 ? r.engine_s / r.baseline_s : 0;
        char target[48];
        std::snprintf(target, sizeof target, "<= %gx", r.target);
        const bool over_memory = r.target_mib > 0 && r.rss_mib > r.target_mib;
        std::printf("%7llu %-6s %-11s %-15s %12.3f %12.3f %7.2fx %8s %14ld  %s%s%s\n",
                    static_cast<unsigned long long>(r.size_mb), r.scene.c_str(), r.phase.c_str(), r.baseline.c_str(),
                    r.baseline_s, r.engine_s, ratio, target, r.rss_mib, ratio > r.target ? "OVER TARGET " : "",
                    over_memory ? "OVER MEMORY TARGET " : "", r.note.c_str());
    }
}

// Seconds per MB of each analysis and conversion row beside the same row at
// the first size: about 1.0 when the time grows linearly with the scene.
void print_growth(const std::vector<Row>& rows)
{
    bool header = false;
    for (const auto& r : rows) {
        if (r.size_mb == rows.front().size_mb)
            continue;
        for (const auto& base : rows) {
            if (base.phase != r.phase || base.scene != r.scene || base.baseline != r.baseline ||
                base.size_mb != rows.front().size_mb)
                continue;
            if (!header) {
                std::printf("\ngrowth (seconds per MB beside %llu MB; 1.00 is linear)\n",
                            static_cast<unsigned long long>(base.size_mb));
                header = true;
            }
            const double per_mb = r.engine_s / static_cast<double>(r.size_mb);
            const double base_per_mb = base.engine_s / static_cast<double>(base.size_mb);
            std::printf("%7llu %-6s %-11s %7.2fx  (beside %s: %.2fx at %llu MB, %.2fx at %llu MB)\n",
                        static_cast<unsigned long long>(r.size_mb), r.scene.c_str(), r.phase.c_str(),
                        base_per_mb > 0 ? per_mb / base_per_mb : 0, r.baseline.c_str(),
                        base.baseline_s > 0 ? base.engine_s / base.baseline_s : 0,
                        static_cast<unsigned long long>(base.size_mb),
                        r.baseline_s > 0 ? r.engine_s / r.baseline_s : 0, static_cast<unsigned long long>(r.size_mb));
        }
    }
}

// Runs `work` in a child process and returns what it writes back, so a
// measurement's peak memory is its own and not that of earlier phases.
template <typename Result>
Result in_child_process(const std::function<Result()>& work)
{
    int channel[2];
    if (::pipe(channel) != 0)
        throw std::runtime_error("cannot create a pipe");
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("cannot start a child process");
    if (child == 0) {
        ::close(channel[0]);
        Result result{};
        try {
            result = work();
        } catch (...) {
            ::_exit(1);
        }
        const bool sent = ::write(channel[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    Result result{};
    const bool received = ::read(channel[0], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("a measurement failed");
    return result;
}

struct AnalysisTimes {
    double newline_count_s = 0;
    double analysis_s = 0;
    long peak_rss_mib = 0;
    bool completed = true;
};

// The analysis beside a newline count of the same file, each the best of
// `repeat` runs taken in turn, in a process of their own.
Row analysis_row(const Settings& settings, std::uint64_t size_mb, const std::string& scene, const std::string& kind)
{
    const AnalysisTimes times = in_child_process<AnalysisTimes>([&] {
        AnalysisTimes t;
        count_newlines(scene); // warm the page cache
        for (int i = 0; i < settings.repeat; ++i) {
            const double count_s = seconds_of([&] { g_newlines_seen = count_newlines(scene); });
            const double analysis_s = seconds_of([&] {
                Run run(settings);
                cli::run_analysis(run.form, run.services, scene);
                t.completed = t.completed && run.form.session().analysis_report.completed;
            });
            t.newline_count_s = i == 0 ? count_s : std::min(t.newline_count_s, count_s);
            t.analysis_s = i == 0 ? analysis_s : std::min(t.analysis_s, analysis_s);
        }
        t.peak_rss_mib = peak_rss_mib();
        return t;
    });
    Row row;
    row.size_mb = size_mb;
    row.scene = kind;
    row.phase = "analysis";
    row.baseline = "newline count";
    row.baseline_s = times.newline_count_s;
    row.engine_s = times.analysis_s;
    row.rss_mib = times.peak_rss_mib;
    row.target = kAnalysisTargetRatio;
    row.target_mib = kAnalysisTargetMib;
    if (!times.completed)
        row.note = "analysis did not complete";
    return row;
}

void bench_scene(const Settings& settings, std::uint64_t size_mb, const std::string& scene, const std::string& kind,
                 std::vector<Row>& rows)
{
    const std::string copy = (fs::path(settings.dir) / ("copy-of-" + fs::path(scene).filename().string())).string();
    count_newlines(scene); // warm the page cache

    rows.push_back(analysis_row(settings, size_mb, scene, kind));

    // The conversion proper: the analysis runs before the clock starts, so
    // this is the conversion beyond the analysis. It is set beside a plain
    // copy, and beside a copy flushed to the disk as every output is.
    Row conversion;
    conversion.size_mb = size_mb;
    conversion.scene = kind;
    conversion.phase = "conversion";
    conversion.baseline = "copy";
    conversion.target = kConversionTargetRatio;
    conversion.baseline_s = best_of(
        settings.repeat, [&] { fs::remove(copy); }, [&] { copy_file(scene, copy); });
    fs::remove(copy);
    const double synced_copy_s = best_of(
        settings.repeat, [&] { fs::remove(copy); }, [&] { copy_file(scene, copy, true); });
    fs::remove(copy);
    // Output names never share a stem with an input, so clearing the outputs
    // between runs cannot touch the scenes.
    const std::string stem = kind == "asc" ? "asc-output" : fs::path(scene).stem().string();
    const std::string target = (fs::path(settings.dir) / (stem + ".asc")).string();
    std::unique_ptr<Run> run;
    bool converted = true;
    conversion.engine_s = best_of(
        settings.repeat,
        [&] {
            remove_outputs(settings.dir, stem);
            run = std::make_unique<Run>(settings);
            cli::run_analysis(run->form, run->services, scene);
            if (kind == "asc")
                cli::choose_target(run->form, run->services, target);
            cli::set_option_boxes(run->form, cli::OptionBoxes{}); // Check_all
        },
        [&] {
            cli::run_conversion(run->form, run->services, true);
            converted = converted && run->form.session().conversion_report.status == ConversionStatus::Completed;
        });
    run.reset();
    conversion.rss_mib = peak_rss_mib();
    if (!converted)
        conversion.note = "conversion did not complete";
    rows.push_back(conversion);
    Row beside_synced = conversion;
    beside_synced.baseline = "synced copy";
    beside_synced.baseline_s = synced_copy_s;
    rows.push_back(beside_synced);
    if (!settings.keep)
        remove_outputs(settings.dir, stem);
}

int usage(const char* message)
{
    std::fprintf(stderr,
                 "%s\nusage: trevanix-bench [--size-mb N[,N...]] [--repeat N] [--dir DIR] [--keep]\n"
                 "       trevanix-bench --object-lines N [--dir DIR]\n"
                 "  --size-mb N  size of each generated scene in MB (default 200); with a list, e.g. 200,1000,\n"
                 "               each size in turn and the growth of the analysis and the conversion beside the first\n"
                 "  --repeat N   runs of each measurement; the fastest counts (default 3)\n"
                 "  --dir DIR    folder for the generated scenes and outputs (default: a new temporary folder)\n"
                 "  --keep       keep the generated files\n"
                 "  --object-lines N  instead: the peak memory of trevanix-cli on a scene of N object lines\n"
                 "               (each a rejected object) and on a scene of LOD objects the conversion leaves\n"
                 "               out, in text and JSON mode, against 64 MiB (e.g. 10000000)\n",
                 message);
    return 2;
}

// Reads the options into `settings`; an exit status when the program is to
// end at once (help or a bad option), else none.
std::optional<int> parse_options(int argc, char** argv, Settings& settings)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        try {
            if (arg == "--size-mb" && has_value) {
                settings.sizes_mb.clear();
                std::string list = argv[++i];
                for (std::size_t at = 0; at <= list.size();) {
                    const std::size_t comma = std::min(list.find(',', at), list.size());
                    settings.sizes_mb.push_back(std::stoull(list.substr(at, comma - at)));
                    at = comma + 1;
                }
            }
            else if (arg == "--repeat" && has_value)
                settings.repeat = std::max(1, std::stoi(argv[++i]));
            else if (arg == "--dir" && has_value)
                settings.dir = argv[++i];
            else if (arg == "--keep")
                settings.keep = true;
            else if (arg == "--object-lines" && has_value)
                settings.object_lines = std::max<std::int64_t>(1, std::stoll(argv[++i]));
            else if (arg == "--help" || arg == "-h")
                return usage("trevanix-bench: analysis and conversion speed against plain reads and copies"), 0;
            else
                return usage(("trevanix-bench: unknown or incomplete option " + arg).c_str());
        } catch (const std::exception&) {
            return usage(("trevanix-bench: bad number for " + arg).c_str());
        }
    }
    if (std::find(settings.sizes_mb.begin(), settings.sizes_mb.end(), 0) != settings.sizes_mb.end())
        return usage("trevanix-bench: --size-mb must be at least 1");
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    if (const std::optional<int> status = parse_options(argc, argv, settings))
        return *status;

    bool own_dir = false;
    try {
        if (settings.dir.empty()) {
            std::random_device rd;
            settings.dir = (fs::temp_directory_path() / ("trevanix-bench-" + std::to_string(rd()))).string();
            own_dir = true;
        }
        fs::create_directories(settings.dir);
        if (settings.object_lines > 0) {
            const bool fine = bench::run_object_count_bench(
                {settings.object_lines, settings.dir, TREVANIX_CLI, kAnalysisTargetMib});
            if (own_dir)
                fs::remove_all(settings.dir);
            return fine ? 0 : 1;
        }
        const std::string ase = (fs::path(settings.dir) / "ase-scene.ase").string();
        const std::string asc = (fs::path(settings.dir) / "asc-scene.asc").string();
        std::printf("line scans: %s\n", line_scan_instruction_set());
        std::vector<Row> rows;
        for (const std::uint64_t size_mb : settings.sizes_mb) {
            const std::uint64_t bytes = size_mb * 1000 * 1000;
            std::printf("generating scenes of %llu MB in %s ...\n", static_cast<unsigned long long>(size_mb),
                        settings.dir.c_str());
            std::fflush(stdout);
            const auto ase_scene = bench::write_ase_scene(ase, bytes);
            const auto asc_scene = bench::write_asc_scene(asc, bytes);
            std::printf("ase-scene.ase: %.1f MB, %lld objects; asc-scene.asc: %.1f MB, %lld objects; best of %d runs\n",
                        static_cast<double>(ase_scene.bytes) / 1e6, static_cast<long long>(ase_scene.objects),
                        static_cast<double>(asc_scene.bytes) / 1e6, static_cast<long long>(asc_scene.objects),
                        settings.repeat);
            std::printf("peak RSS after generation: %ld MiB\n", peak_rss_mib());
            std::fflush(stdout);

            bench_scene(settings, size_mb, ase, "ase", rows);
            bench_scene(settings, size_mb, asc, "asc", rows);
        }
        print_rows(rows);
        print_growth(rows);
        if (!settings.keep) {
            fs::remove(ase);
            fs::remove(asc);
            fs::remove(fs::path(settings.dir) / "testfile.txt");
            if (own_dir)
                fs::remove_all(settings.dir);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trevanix-bench: %s\n", e.what());
        if (own_dir && !settings.keep) {
            std::error_code ec;
            fs::remove_all(settings.dir, ec);
        }
        return 1;
    }
    return 0;
}
