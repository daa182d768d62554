#include "bench/object_count_bench.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace trevanix::bench {

namespace {

namespace fs = std::filesystem;

// Writes `lines` lines made by `line`, through one buffer.
template <typename Line>
void write_lines(const std::string& path, std::int64_t lines, Line line)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        throw std::runtime_error("cannot write " + path);
    std::string text;
    for (std::int64_t i = 0; i < lines; ++i) {
        line(text, i);
        if (text.size() >= (std::size_t{1} << 20)) {
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), out);
    if (std::fclose(out) != 0)
        throw std::runtime_error("cannot write " + path);
}

// An ".asc" scene of object lines only: each object is rejected for its
// missing counts line, so the log and the JSON report get one entry each.
void write_rejected_objects(const std::string& path, std::int64_t objects)
{
    write_lines(path, objects, [](std::string& text, std::int64_t i) {
        text += "Named object: \"o" + std::to_string(i) + "\"\r\n";
    });
}

// An ".ase" scene of LOD objects: each passes the analysis and is left out
// by the conversion, so the JSON report lists each in "left_out".
void write_left_out_objects(const std::string& path, std::int64_t objects)
{
    static const std::string body =
        "\t*NODE_TM {\r\n\t}\r\n\t*MESH {\r\n\t\t*MESH_NUMVERTEX 3\r\n\t\t*MESH_NUMFACES 1\r\n"
        "\t\t*MESH_VERTEX_LIST {\r\n\t\t\t*MESH_VERTEX 0\t0\t0\t0\r\n\t\t\t*MESH_VERTEX 1\t1\t0\t0\r\n"
        "\t\t\t*MESH_VERTEX 2\t0\t1\t0\r\n\t\t}\r\n\t\t*MESH_FACE_LIST {\r\n"
        "\t\t\t*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 1\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\r\n\t\t}\r\n"
        "\t\t*MESH_NUMTVERTEX 1\r\n\t\t*MESH_TVERTLIST {\r\n\t\t\t*MESH_TVERT 0\t0\t0\t0\r\n\t\t}\r\n"
        "\t\t*MESH_NUMTVFACES 1\r\n\t\t*MESH_TFACELIST {\r\n\t\t\t*MESH_TFACE 0\t0\t0\t0\r\n\t\t}\r\n\t}\r\n"
        "\t*PROP_RECVSHADOW 1\r\n\t*WIREFRAME_COLOR 0 0 0\r\n}\r\n";
    write_lines(path, objects + 1, [](std::string& text, std::int64_t i) {
        if (i == 0)
            text += "*3DSMAX_ASCIIEXPORT\t200\r\n";
        else
            text += "*GEOMOBJECT {\r\n\t*NODE_NAME \"LOD" + std::to_string(i) + "\"\r\n" + body;
    });
}

struct ChildRun {
    int status = -1;
    long peak_mib = 0;
    double seconds = 0;
};

// Runs the program with its output discarded; its own peak memory.
ChildRun run_child(const std::vector<std::string>& args)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("cannot start a child process");
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    ChildRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peak_mib = usage.ru_maxrss / 1024;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

} // namespace

bool run_object_count_bench(const ObjectCountSettings& settings)
{
    const std::string rejected = (fs::path(settings.dir) / "object-lines.asc").string();
    const std::string left_out = (fs::path(settings.dir) / "lod-objects.ase").string();
    // The left-out scene takes 33 lines an object: as many lines as the other.
    const std::int64_t lod_objects = std::max<std::int64_t>(settings.object_lines / 33, 1);
    std::printf("generating %lld object lines and %lld LOD objects in %s ...\n",
                static_cast<long long>(settings.object_lines), static_cast<long long>(lod_objects),
                settings.dir.c_str());
    std::fflush(stdout);
    write_rejected_objects(rejected, settings.object_lines);
    write_left_out_objects(left_out, lod_objects);

    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
    };
    const std::string log = "--log=/dev/null"; // the log's own writes are bounded; the disk is spared
    const Case cases[] = {
        {"analyze, rejected objects, text", {settings.cli, "analyze", rejected, log}, 1},
        {"analyze, rejected objects, JSON", {settings.cli, "analyze", rejected, log, "--json"}, 1},
        {"convert, left-out objects, text", {settings.cli, "convert", left_out, log, "--target", left_out + ".out.asc"}, 1},
        {"convert, left-out objects, JSON",
         {settings.cli, "convert", left_out, log, "--json", "--yes", "--target", left_out + ".out.asc"}, 1},
    };
    bool fine = true;
    std::printf("\n%-36s %8s %10s %14s %8s  %s\n", "run", "status", "seconds", "peak RSS MiB", "target", "note");
    for (const Case& c : cases) {
        const ChildRun run = run_child(c.args);
        const bool over = run.peak_mib > settings.target_mib;
        const bool failed = run.status != c.status;
        fine = fine && !over && !failed;
        std::printf("%-36s %8d %10.2f %14ld %5ld MiB  %s%s\n", c.what, run.status, run.seconds, run.peak_mib,
                    settings.target_mib, over ? "OVER MEMORY TARGET " : "", failed ? "UNEXPECTED STATUS" : "");
        std::fflush(stdout);
    }
    fs::remove(rejected);
    fs::remove(left_out);
    fs::remove(left_out + ".out.asc");
    return fine;
}

} // namespace trevanix::bench
