// trevanix-import-bench: sets the general reader against "assimp info" of
// the same file. Both run as processes of their own, side by side, and the
// fastest of several runs counts: the wall time and the peak memory
// (ru_maxrss) of "trevanix-cli convert" (Assimp's reading, then the checks,
// the writing and the pictures) against those of "assimp info" (Assimp's
// reading with its default post-processing). The goals: at most 1.5 times
// the time, at most 2 times the memory. ProcessRund on the largest public
// sample and on a generated OBJ scene (100 MB by default).
#include <unistd.h>

#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/whole_process.hpp"

namespace fs = std::filesystem;

namespace {

constexpr double kTimeGoal = 1.5;
constexpr double kMemoryGoal = 2.0;

struct Settings {
    std::uint64_t size_mb = 100;
    int repeat = 3;
    std::string dir;
    bool keep = false;
    std::string corpus = TREVANIX_MODERN_CORPUS;
    std::string assimp = "assimp";
    std::string cli = TREVANIX_CLI;
};

using trevanix::bench::ProcessRun;
using trevanix::bench::run_process;

ProcessRun best_of(int repeat, const std::vector<std::string>& args, const std::function<void()>& before_each)
{
    ProcessRun best;
    for (int i = 0; i < repeat; ++i) {
        before_each();
        const ProcessRun m = run_process(args);
        const long peak_kib = std::max(best.peak_kib, m.peak_kib);
        const bool ok = (i == 0 || best.ok) && m.ok;
        if (i == 0 || m.seconds < best.seconds)
            best = m;
        best.peak_kib = peak_kib;
        best.ok = ok;
    }
    return best;
}

// A scene as modelling tools export it: objects of wavy grids of quads with
// texture coordinates and smooth normals, one textured material; each
// object has more than 65535 triangles, so it is written in two parts.
void write_obj_scene(const fs::path& folder, std::uint64_t size_mb)
{
    std::vector<unsigned char> rgb(64 * 64 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<unsigned char>((i * 37) % 251);
    stbi_write_png((folder / "stone.png").c_str(), 64, 64, 3, rgb.data(), 64 * 3);
    std::ofstream(folder / "scene.mtl") << "newmtl stone\nmap_Kd stone.png\n";
    std::ofstream obj(folder / "scene.obj", std::ios::binary);
    obj << "mtllib scene.mtl\n";
    const int side = 200; // quads a side
    const std::uint64_t limit = size_mb * 1000 * 1000;
    std::uint64_t base = 1;
    char line[512];
    for (int object = 0; static_cast<std::uint64_t>(obj.tellp()) < limit; ++object) {
        obj << "o part" << object << "\nusemtl stone\n";
        for (int r = 0; r <= side; ++r)
            for (int c = 0; c <= side; ++c) {
                const double x = c + object * (side + 10), z = r, y = std::sin(c * 0.1) * std::cos(r * 0.1);
                const double nx = -0.1 * std::cos(c * 0.1) * std::cos(r * 0.1);
                const double nz = 0.1 * std::sin(c * 0.1) * std::sin(r * 0.1);
                const double length = std::sqrt(nx * nx + 1 + nz * nz);
                std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", x, y, z,
                              c / double(side), r / double(side), nx / length, 1 / length, nz / length);
                obj << line;
            }
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c) {
                const std::uint64_t a = base + static_cast<std::uint64_t>(r * (side + 1) + c), b = a + 1,
                                    d = a + side + 1, e = d + 1;
                std::snprintf(line, sizeof line, "f %llu/%llu/%llu %llu/%llu/%llu %llu/%llu/%llu %llu/%llu/%llu\n",
                              (unsigned long long)a, (unsigned long long)a, (unsigned long long)a,
                              (unsigned long long)b, (unsigned long long)b, (unsigned long long)b,
                              (unsigned long long)e, (unsigned long long)e, (unsigned long long)e,
                              (unsigned long long)d, (unsigned long long)d, (unsigned long long)d);
                obj << line;
            }
        base += static_cast<std::uint64_t>((side + 1) * (side + 1));
    }
}

// The largest scene file of the public samples that the general reader takes.
fs::path largest_sample(const std::string& corpus)
{
    static const std::vector<std::string> scenes = {".gltf", ".glb", ".obj", ".fbx", ".dae", ".3ds", ".ply", ".stl"};
    fs::path best;
    std::uintmax_t best_size = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(corpus, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        if (it->is_regular_file() && std::find(scenes.begin(), scenes.end(), extension) != scenes.end() &&
            it->file_size() > best_size) {
            best = it->path();
            best_size = it->file_size();
        }
    }
    return best;
}

void compare(const Settings& settings, const fs::path& scene, const fs::path& work)
{
    const fs::path out = work / "out";
    const ProcessRun assimp = best_of(settings.repeat, {settings.assimp, "info", scene.string()}, [] {});
    const ProcessRun trevanix =
        best_of(settings.repeat,
                {settings.cli, "convert", scene.string(), "--out-dir", out.string(), "--yes", "--quiet", "--log",
                 (work / "log.txt").string()},
                [&] { fs::remove_all(out); });
    const double time_ratio = trevanix.seconds / std::max(assimp.seconds, 1e-9);
    const double memory_ratio =
        static_cast<double>(trevanix.peak_kib) / static_cast<double>(std::max<long>(assimp.peak_kib, 1));
    const bool over = time_ratio > kTimeGoal || memory_ratio > kMemoryGoal;
    std::printf("%-28s %8.1f MB | assimp info %8.3f s %7ld MiB | trevanix-cli convert %8.3f s %7ld MiB | "
                "time %.2fx (goal %.1f) memory %.2fx (goal %.1f)%s%s\n",
                scene.filename().c_str(), static_cast<double>(fs::file_size(scene)) / 1e6, assimp.seconds,
                assimp.peak_kib / 1024, trevanix.seconds, trevanix.peak_kib / 1024, time_ratio, kTimeGoal,
                memory_ratio, kMemoryGoal, over ? "  OVER" : "",
                assimp.ok && trevanix.ok ? "" : "  (a run failed)");
    std::fflush(stdout);
}

int usage(const char* message)
{
    std::fprintf(stderr,
                 "%s\nusage: trevanix-import-bench [--size-mb N] [--repeat N] [--dir DIR] [--keep] [--corpus DIR]\n"
                 "                             [--assimp PROGRAM]\n"
                 "  --size-mb N     size of the generated OBJ scene in MB (default 100)\n"
                 "  --repeat N      runs of each measurement; the fastest counts (default 3)\n"
                 "  --dir DIR       folder for the generated scene and the outputs (default: a new temporary folder)\n"
                 "  --keep          keep the generated files\n"
                 "  --corpus DIR    the public samples, whose largest scene is measured too\n"
                 "  --assimp PROG   the assimp command-line tool (default: assimp, from assimp-utils)\n",
                 message);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        try {
            if (arg == "--size-mb" && has_value)
                settings.size_mb = std::max<std::uint64_t>(1, std::stoull(argv[++i]));
            else if (arg == "--repeat" && has_value)
                settings.repeat = std::max(1, std::stoi(argv[++i]));
            else if (arg == "--dir" && has_value)
                settings.dir = argv[++i];
            else if (arg == "--keep")
                settings.keep = true;
            else if (arg == "--corpus" && has_value)
                settings.corpus = argv[++i];
            else if (arg == "--assimp" && has_value)
                settings.assimp = argv[++i];
            else if (arg == "--help" || arg == "-h")
                return usage("trevanix-import-bench: the general reader against assimp info"), 0;
            else
                return usage(("trevanix-import-bench: unknown or incomplete option " + arg).c_str());
        } catch (const std::exception&) {
            return usage(("trevanix-import-bench: bad number for " + arg).c_str());
        }
    }
    if (!run_process({settings.assimp, "version"}).ok) {
        std::fprintf(stderr, "trevanix-import-bench: \"%s\" does not run; install assimp-utils\n",
                     settings.assimp.c_str());
        return 1;
    }
    const bool own_dir = settings.dir.empty();
    const fs::path work = own_dir ? fs::temp_directory_path() / ("trevanix-import-bench-" + std::to_string(::getpid()))
                                  : fs::path(settings.dir);
    fs::create_directories(work / "scene");
    if (const fs::path sample = largest_sample(settings.corpus); !sample.empty())
        compare(settings, sample, work);
    else
        std::printf("no public samples in %s\n", settings.corpus.c_str());
    write_obj_scene(work / "scene", settings.size_mb);
    compare(settings, work / "scene" / "scene.obj", work);
    if (!settings.keep)
        fs::remove_all(own_dir ? work : work / "out");
    return 0;
}
