// trevanix-bench: generates a large ".ase" and ".asc" scene and sets the
// whole trevanix-cli process against the tools a user would compare it with,
// run side by side on the same file with the page cache warm: "analyze"
// against GNU "wc -l", "convert --options all --yes" against "cp", and the
// conversion of the ".ase" scene against "assimp info" of it. Each pair runs
// in turn (A B A B ...), and the median of the pairs' ratios counts.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/object_count_bench.hpp"
#include "bench/scene_generator.hpp"
#include "bench/whole_process.hpp"

namespace fs = std::filesystem;
using namespace trevanix;

namespace {

constexpr double kAnalysisTargetRatio = 2.0;   // at most twice "wc -l"
constexpr double kConversionTargetRatio = 1.5; // at most 1.5 times "cp"
constexpr double kAssimpTargetRatio = 1.0 / 6; // at least six times faster than "assimp info"
constexpr long kTargetMib = 64;

struct Settings {
    std::vector<std::uint64_t> sizes_mb{200}; // each size is generated and measured in turn
    int repeat = 5;                           // pairs measured after a warm-up pair
    std::string dir;
    bool keep = false;
    std::int64_t object_lines = 0; // the object-count mode instead, with this many object lines
    std::string assimp = "assimp";
};

struct Row {
    std::uint64_t size_mb = 0;
    std::string scene;
    std::string phase;
    std::string baseline;
    bench::Paired measured;
    double target = 0;
    long target_mib = 0; // 0: no memory target
};

std::string target_text(double target)
{
    char text[48];
    if (target < 1)
        std::snprintf(text, sizeof text, "<= %.2fx", target);
    else
        std::snprintf(text, sizeof text, "<= %gx", target);
    return text;
}

void print_rows(const std::vector<Row>& rows)
{
    std::printf("\n%7s %-5s %-8s %-12s %10s %10s %8s %9s %9s  %s\n", "MB", "scene", "command", "beside",
                "median s", "beside s", "ratio", "target", "peak MiB", "note");
    for (const Row& r : rows) {
        const bench::Paired& m = r.measured;
        const bool over_time = m.ratio > r.target;
        const bool over_memory = r.target_mib > 0 && m.a_peak_mib > r.target_mib;
        std::printf("%7llu %-5s %-8s %-12s %10.3f %10.3f %7.2fx %9s %9ld  %s%s%s\n",
                    static_cast<unsigned long long>(r.size_mb), r.scene.c_str(), r.phase.c_str(), r.baseline.c_str(),
                    m.a_seconds, m.b_seconds, m.ratio, target_text(r.target).c_str(), m.a_peak_mib,
                    over_time ? "OVER TARGET " : "", over_memory ? "OVER MEMORY TARGET " : "",
                    m.ok ? "" : "a run failed");
    }
}

// Seconds per MB of each row beside the same row at the first size: about
// 1.0 when the time grows linearly with the scene.
void print_growth(const std::vector<Row>& rows)
{
    bool header = false;
    for (const Row& r : rows) {
        if (r.size_mb == rows.front().size_mb)
            continue;
        for (const Row& base : rows) {
            if (base.phase != r.phase || base.scene != r.scene || base.baseline != r.baseline ||
                base.size_mb != rows.front().size_mb)
                continue;
            if (!header) {
                std::printf("\ngrowth (seconds per MB beside %llu MB; 1.00 is linear)\n",
                            static_cast<unsigned long long>(base.size_mb));
                header = true;
            }
            const double per_mb = r.measured.a_seconds / static_cast<double>(r.size_mb);
            const double base_per_mb = base.measured.a_seconds / static_cast<double>(base.size_mb);
            std::printf("%7llu %-5s %-8s %7.2fx  (beside %s: %.2fx at %llu MB, %.2fx at %llu MB)\n",
                        static_cast<unsigned long long>(r.size_mb), r.scene.c_str(), r.phase.c_str(),
                        base_per_mb > 0 ? per_mb / base_per_mb : 0, r.baseline.c_str(), base.measured.ratio,
                        static_cast<unsigned long long>(base.size_mb), r.measured.ratio,
                        static_cast<unsigned long long>(r.size_mb));
        }
    }
}

void remove_outputs(const std::string& dir, const std::string& stem)
{
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(stem, 0) == 0 && (entry.path().extension() == ".asc" || entry.path().extension() == ".mat"))
            fs::remove(entry.path());
    }
}

// The three comparisons of one scene, each a pair of whole processes.
void bench_scene(const Settings& settings, std::uint64_t size_mb, const std::string& scene, const std::string& kind,
                 std::vector<Row>& rows)
{
    const std::string cli = TREVANIX_CLI;
    const std::string copy = (fs::path(settings.dir) / ("copy-of-" + fs::path(scene).filename().string())).string();
    // Output names never share a stem with an input, so clearing the outputs
    // between runs cannot touch the scenes.
    const std::string stem = kind + "-output";
    const std::string target = (fs::path(settings.dir) / (stem + ".asc")).string();
    auto fresh_outputs = [&] {
        remove_outputs(settings.dir, stem);
        fs::remove(copy);
    };
    const std::vector<std::string> analyze{cli, "analyze", scene, "--log", "/dev/null"};
    const std::vector<std::string> convert{cli, "convert", scene, "--options", "all", "--yes", "--target", target,
                                           "--log", "/dev/null"};
    rows.push_back({size_mb, kind, "analyze", "wc -l",
                    bench::run_paired(analyze, {"wc", "-l", scene}, settings.repeat, [] {}), kAnalysisTargetRatio,
                    kTargetMib});
    rows.push_back({size_mb, kind, "convert", "cp",
                    bench::run_paired(convert, {"cp", scene, copy}, settings.repeat, fresh_outputs),
                    kConversionTargetRatio, kTargetMib});
    if (kind == "ase" && bench::run_process({settings.assimp, "version"}).ok)
        rows.push_back({size_mb, kind, "convert", "assimp info",
                        bench::run_paired(convert, {settings.assimp, "info", scene}, settings.repeat, fresh_outputs),
                        kAssimpTargetRatio, kTargetMib});
    fresh_outputs();
}

int usage(const char* message)
{
    std::fprintf(stderr,
                 "%s\nusage: trevanix-bench [--size-mb N[,N...]] [--repeat N] [--dir DIR] [--keep] [--assimp PROGRAM]\n"
                 "       trevanix-bench --object-lines N [--dir DIR]\n"
                 "  --size-mb N  size of each generated scene in MB (default 200); with a list, e.g. 200,1000,\n"
                 "               each size in turn and the growth of the analysis and the conversion beside the first\n"
                 "  --repeat N   pairs of runs of each comparison after a warm-up pair; the medians count (default 5)\n"
                 "  --assimp P   the assimp program the .ase conversion is set beside (default: assimp)\n"
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
            else if (arg == "--assimp" && has_value)
                settings.assimp = argv[++i];
            else if (arg == "--object-lines" && has_value)
                settings.object_lines = std::max<std::int64_t>(1, std::stoll(argv[++i]));
            else if (arg == "--help" || arg == "-h")
                return usage("trevanix-bench: trevanix-cli against wc -l, cp and assimp info"), 0;
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
                {settings.object_lines, settings.dir, TREVANIX_CLI, kTargetMib});
            if (own_dir)
                fs::remove_all(settings.dir);
            return fine ? 0 : 1;
        }
        const std::string ase = (fs::path(settings.dir) / "ase-scene.ase").string();
        const std::string asc = (fs::path(settings.dir) / "asc-scene.asc").string();
        std::vector<Row> rows;
        for (const std::uint64_t size_mb : settings.sizes_mb) {
            const std::uint64_t bytes = size_mb * 1000 * 1000;
            std::printf("generating scenes of %llu MB in %s ...\n", static_cast<unsigned long long>(size_mb),
                        settings.dir.c_str());
            std::fflush(stdout);
            const auto ase_scene = bench::write_ase_scene(ase, bytes);
            const auto asc_scene = bench::write_asc_scene(asc, bytes);
            std::printf("ase-scene.ase: %.1f MB, %lld objects; asc-scene.asc: %.1f MB, %lld objects; medians of %d pairs\n",
                        static_cast<double>(ase_scene.bytes) / 1e6, static_cast<long long>(ase_scene.objects),
                        static_cast<double>(asc_scene.bytes) / 1e6, static_cast<long long>(asc_scene.objects),
                        settings.repeat);
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
