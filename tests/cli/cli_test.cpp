// End-to-end tests of trevanix-cli: the built program runs on scenes in a
// fresh folder, and the tests look at its exit status, its output and the
// files it leaves behind.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/asc_builder.hpp"
#include "support/ase_builder.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
using nlohmann::json;
using trevanix::testing::AscObject;
using trevanix::testing::asc_object_lines;
using trevanix::testing::asc_scene;
using trevanix::testing::crlf;
using trevanix::testing::read_bytes;
using trevanix::testing::TempDir;
namespace ase = trevanix::testing;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized_build = true;
#else
constexpr bool sanitized_build = false;
#endif

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
    json parsed() const { return json::parse(out); }
    // JSON Lines: one object a line.
    std::vector<json> lines() const
    {
        std::vector<json> objects;
        std::size_t start = 0;
        for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
            objects.push_back(json::parse(out.substr(start, end - start)));
        return objects;
    }
};

std::string quoted(const std::string& arg)
{
    std::string q = "'";
    for (const char c : arg) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// `prefix` runs before the program in the same shell: assignments for its
// environment ("XDG_STATE_HOME=/tmp/x") or commands ("ulimit -n 256;").
// `program`: another copy of trevanix-cli to run.
CliRun run_cli(const TempDir& dir, const std::vector<std::string>& args, const std::string& prefix = "",
               const std::string& program = TREVANIX_CLI)
{
    const std::string err_file = dir.file("stderr.txt");
    std::string command = prefix + " exec " + quoted(program);
    for (const auto& a : args)
        command += " " + quoted(a);
    command += " 2>" + quoted(err_file) + " </dev/null";
    CliRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = read_bytes(err_file);
    return run;
}

// A run of the program in the background, so that a test can signal it or
// start another beside it; its output goes to files named after `name`.
class BackgroundCli {
public:
    BackgroundCli(const TempDir& dir, const std::string& name, const std::vector<std::string>& args)
        : out_(dir.file(name + ".out")), err_(dir.file(name + ".err"))
    {
        std::vector<std::string> words = {TREVANIX_CLI};
        words.insert(words.end(), args.begin(), args.end());
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& word : words)
                argv.push_back(word.data());
            argv.push_back(nullptr);
            if (!std::freopen("/dev/null", "rb", stdin) || !std::freopen(out_.c_str(), "wb", stdout) ||
                !std::freopen(err_.c_str(), "wb", stderr))
                ::_exit(127);
            ::execv(TREVANIX_CLI, argv.data());
            ::_exit(127);
        }
    }
    BackgroundCli(const BackgroundCli&) = delete;
    BackgroundCli& operator=(const BackgroundCli&) = delete;
    ~BackgroundCli()
    {
        if (pid_ > 0)
            (void)wait();
    }

    void signal(int number) const { ::kill(pid_, number); }
    CliRun wait()
    {
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        pid_ = -1;
        CliRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = read_bytes(out_);
        run.err = read_bytes(err_);
        return run;
    }

private:
    std::string out_;
    std::string err_;
    pid_t pid_ = -1;
};

// Waits until `path` exists (or ten minutes pass, which fails the test).
bool wait_for_file(const std::string& path)
{
    for (int i = 0; i < 600000; ++i) {
        if (fs::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Writes an ".asc" scene of `count` objects named PREFIX0, PREFIX1, ... part
// by part, so that a huge one never sits in memory whole.
void write_asc_scene(const std::string& path, int count, const std::string& prefix, int vertices = 3)
{
    std::ofstream file(path, std::ios::binary);
    file << trevanix::testing::asc_header;
    std::string part;
    for (int i = 0; i < count; ++i) {
        part += trevanix::testing::asc_object({.name = prefix + std::to_string(i), .vertices = vertices});
        if (part.size() > (1u << 20) || i + 1 == count) {
            file << part;
            part.clear();
        }
    }
}

// Files whose names show an output that was never committed or abandoned:
// temporaries, a placement journal or a lock.
std::vector<std::string> leftovers(const TempDir& dir)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        if (entry.path().filename().string().find(".trevanix-") != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

// The sample scenes, copied so that the analysis may rename their pictures.
void copy_examples(const TempDir& dir)
{
    fs::copy(TREVANIX_EXAMPLES, dir.path(), fs::copy_options::recursive);
}

const std::vector<std::string> analysis_keys = {
    "file_type", "analysis_completed", "problems", "objects_found", "valid_objects", "split_files",
    "faces",     "vertices",           "invalid_submaterial_objects", "log", "messages"};
const std::vector<std::string> conversion_keys = {"converted", "objects_written", "outputs", "mat_file"};

void expect_keys(const json& object, const std::vector<std::string>& keys)
{
    for (const auto& key : keys)
        EXPECT_TRUE(object.contains(key)) << "missing key " << key;
}

bool has_message(const json& object, const std::string& fragment)
{
    for (const auto& m : object["messages"])
        if (m["text"].get<std::string>().find(fragment) != std::string::npos)
            return true;
    return false;
}

} // namespace

// The help, the manual page and the README describe the same options and
// exit statuses.
TEST(CliUsage, HelpAndVersionSucceedAndAgreeWithTheManualPageAndTheReadme)
{
    TempDir dir;
    const CliRun help = run_cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("analyze"), std::string::npos);
    EXPECT_NE(help.out.find("convert"), std::string::npos);

    const CliRun version = run_cli(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("1.1.3"), std::string::npos);

    const std::string page = read_bytes(TREVANIX_SOURCE_DIR "/packaging/trevanix-cli.1.in");
    const std::string readme = read_bytes(TREVANIX_SOURCE_DIR "/README.md");
    ASSERT_FALSE(page.empty());
    for (const std::string status : {"1", "2", "3", "4", "130", "143"}) {
        EXPECT_NE(help.out.find("; " + status + " "), std::string::npos) << status;
        EXPECT_NE(page.find("\n.B " + status + "\n"), std::string::npos) << status;
        EXPECT_NE(readme.find("\n| " + status + " |"), std::string::npos) << status;
    }
    for (const std::string command : {"analyze", "convert"}) {
        const CliRun command_help = run_cli(dir, {command, "--help"});
        EXPECT_EQ(command_help.status, 0);
        // Values are named as the manual page names them (FILE, DIR, N, LIST).
        EXPECT_EQ(command_help.out.find(" TEXT"), std::string::npos) << command_help.out;
        std::set<std::string> options;
        const std::regex option_pattern("--[a-z][a-z-]*[a-z]");
        for (auto it = std::sregex_iterator(command_help.out.begin(), command_help.out.end(), option_pattern);
             it != std::sregex_iterator(); ++it)
            options.insert(it->str());
        EXPECT_GE(options.size(), 11u) << command_help.out;
        for (const std::string& option : options) {
            // In roff every dash is "\-"; "--log" must not be found as the start of "--log-dir".
            const std::string roff = std::regex_replace(option, std::regex("-"), "\\\\-");
            EXPECT_TRUE(std::regex_search(page, std::regex(roff + "(?![a-z\\\\])"))) << command << " " << option;
            if (option != "--help") {
                EXPECT_TRUE(std::regex_search(readme, std::regex("`" + option + "[` ]"))) << command << " " << option;
            }
        }
    }
}

TEST(CliUsage, BadArgumentsExitWithTwoAndChangeNothing)
{
    TempDir dir;
    const std::string scene = dir.write("crate.asc", asc_scene({{.name = "crate"}}));
    const std::string scene2 = dir.write("box.asc", asc_scene({{.name = "box"}}));
    const std::string empty_folder = (dir.path() / "nothing.ase").string(); // a folder, whatever its name
    fs::create_directories(empty_folder);
    const std::string one_scene_folder = fs::path(dir.write("lone/only.asc", asc_scene({{.name = "o"}}))).parent_path();
    dir.write("-dash.asc", asc_scene({{.name = "dash"}}));
    struct Case {
        std::vector<std::string> args;
        std::string says; // a part of the message on standard error; "" for any
    };
    const std::vector<Case> cases = {
        {{}, "no command given"},
        {{"frobnicate", scene}, "unknown command 'frobnicate'; the commands are analyze and convert"},
        {{"anlyze", scene}, "did you mean 'analyze'?"},
        {{"Convert", scene}, "did you mean 'convert'?"},
        {{scene}, "is no command; the command comes first: trevanix-cli analyze|convert " + scene},
        {{"--json", "analyze", scene}, "the command comes first"},
        {{"analyze"}, ""},
        {{"convert"}, ""},
        {{"analyze", scene, "--bogus"}, "unknown option '--bogus' of analyze"},
        {{"analyze", scene, "--jsno"}, "did you mean '--json'?"},
        {{"convert", scene, "--out-dri", "out"}, "did you mean '--out-dir'?"},
        {{"analyze", scene, "-quiet"}, "did you mean '--quiet'?"},
        {{"analyze", scene, "--target", "x.asc"}, "--target is an option of convert, not of analyze"},
        {{"convert", scene, "--no-rename"}, "--no-rename is an option of analyze, not of convert"},
        {{"analyze", scene, "--version"}, "trevanix-cli --version"},
        {{"convert", scene, "--options", "split,bogus"}, "got 'split,bogus'"},
        {{"convert", scene, "--options", ""}, ""},
        {{"convert", scene, "--options", "all,split"}, ""},
        {{"convert", scene, "--log"}, ""},
        {{"convert", scene, "--log", "--json"}, "--log takes a value, and --json is none"},
        {{"analyze", scene, "--log", "a.txt", "--log-dir", "logs"}, ""},
        {{"convert", scene, "--target", "a.asc", "--out-dir", "out"}, ""},
        {{"analyze", scene, "--json", "--json-lines"}, ""},
        // A readable range, never the parser's 309-digit one.
        {{"analyze", scene, "--jobs", "0"}, "a whole number from 1 to 1024; got '0'"},
        {{"analyze", scene, "--jobs", "99999999999"}, "got '99999999999'"},
        {{"analyze", scene, "--jobs", "two"}, "got 'two'"},
        {{"analyze", scene, "--jobs", "-1"}, "given as --jobs=-1"},
        {{"analyze", scene, "--jobs=-1"}, "got '-1'"},
        // A file whose name begins with "-" is named as ./-NAME or after --.
        {{"analyze", "-dash.asc"}, "name it ./-dash.asc, or put -- before the scenes"},
        {{"analyze", "-missing.asc"}, "unknown option '-missing.asc' of analyze"},
        // "-" is neither read from standard input nor written to standard output.
        {{"analyze", "-"}, "never from standard input"},
        {{"analyze", "--", "-"}, "never from standard input"},
        {{"convert", scene, "--target", "-"}, "'-' names no file for --target"},
        {{"convert", scene, "--target=-"}, "'-' names no file for --target"},
        {{"convert", scene, "--out-dir", "-"}, "'-' names no file for --out-dir"},
        {{"analyze", scene, "--log", "-"}, "'-' names no file for --log"},
        {{"analyze", scene, scene2, "--log", "a.txt"}, "--log FILE is for one scene file only"},
        {{"convert", scene, scene2, "--target", "a.asc"}, "--target FILE is for one scene file only"},
        // A folder is a batch, whatever it holds.
        {{"analyze", one_scene_folder, "--log", "a.txt"}, "--log FILE is for one scene file only"},
        {{"convert", one_scene_folder, "--target", "a.asc"}, "--target FILE is for one scene file only"},
        {{"analyze", scene, dir.path().string() + "/./crate.asc"}, "is given twice"},
        {{"analyze", scene, "--log", scene}, "would replace the scene"},
        {{"analyze", empty_folder}, "holds no scene file"},
    };
    const std::string in_dir = "cd " + quoted(dir.path().string()) + " &&";
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        const CliRun run = run_cli(dir, c.args, in_dir);
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_FALSE(run.err.empty()) << shown;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << shown << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << shown;
    }
    EXPECT_FALSE(fs::exists(dir.file("testfile.txt")));
    EXPECT_FALSE(fs::exists(dir.file("crate.mat")));
    EXPECT_FALSE(fs::exists(dir.file("crate.asc.log.txt")));
    EXPECT_FALSE(fs::exists(dir.file("-.asc")));
    EXPECT_FALSE(fs::exists(dir.file("-")));
    EXPECT_EQ(read_bytes(scene), asc_scene({{.name = "crate"}}));
    // Named as the messages say, the dashed scene is analysed; a flag never
    // takes the word after it as its value.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"analyze", "./-dash.asc", "--log", "l.txt"},
          std::vector<std::string>{"analyze", "--log", "l.txt", "--", "-dash.asc"},
          std::vector<std::string>{"analyze", "--quiet", "./-dash.asc", "--lf-ends", "--log=l.txt"}})
        EXPECT_EQ(run_cli(dir, args, in_dir).status, 0) << args[1];
}

namespace {

// The lines of the README's "### Examples" block, comments and all.
std::vector<std::string> readme_example_lines()
{
    const std::string readme = read_bytes(TREVANIX_SOURCE_DIR "/README.md");
    const std::size_t heading = readme.find("\n### Examples\n");
    const std::size_t start = readme.find("```sh\n", heading);
    const std::size_t end = readme.find("```", start + 6);
    std::vector<std::string> lines;
    if (heading == std::string::npos || start == std::string::npos || end == std::string::npos)
        return lines;
    const std::string block = readme.substr(start + 6, end - start - 6);
    for (std::size_t from = 0, to; (to = block.find('\n', from)) != std::string::npos; from = to + 1)
        lines.push_back(block.substr(from, to - from));
    return lines;
}

// A copy of the program outside its build tree, as an install leaves it:
// `folder`/bin/trevanix-cli.
std::string installed_copy(const TempDir& dir)
{
    fs::create_directories(dir.file("bin"));
    fs::copy_file(TREVANIX_CLI, dir.file("bin/trevanix-cli"));
    return dir.file("bin/trevanix-cli");
}

} // namespace

// The README's examples, run as written from a folder that holds a copy of
// the samples, with "/tmp/" standing for a folder of the test's own and the
// program installed outside its build tree.
TEST(CliUsage, TheReadmeExamplesRunAsWritten)
{
    const std::vector<std::string> lines = readme_example_lines();
    ASSERT_GE(lines.size(), 5u);
    TempDir dir;
    installed_copy(dir);
    fs::create_directories(dir.file("work/tmp"));
    fs::copy(TREVANIX_EXAMPLES, dir.file("work/examples"), fs::copy_options::recursive);
    const std::string environment = "cd " + quoted(dir.file("work")) + " && export PATH=" + quoted(dir.file("bin")) +
                                    ":\"$PATH\" XDG_STATE_HOME=" + quoted(dir.file("state")) + " HOME=" +
                                    quoted(dir.file("home")) + " && set -o pipefail && ";
    const bool have_jq = std::system("command -v jq >/dev/null 2>&1") == 0;
    for (std::string line : lines) {
        if (line.find("| jq") != std::string::npos && !have_jq) {
            std::printf("jq is not installed: not run: %s\n", line.c_str());
            continue;
        }
        const std::string tmp = " " + dir.file("work/tmp") + "/";
        for (std::size_t at = 0; (at = line.find(" /tmp/", at)) != std::string::npos; at += tmp.size())
            line.replace(at, 6, tmp);
        const std::string err_file = dir.file("stderr.txt");
        const std::string command = "bash -c " + quoted(environment + line) + " >/dev/null 2>" + quoted(err_file);
        const int raw = std::system(command.c_str());
        // 1: the sample town.ase has a rejected object.
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) <= 1) << line << "\n" << read_bytes(err_file);
    }
    // The target's folder was made; the installed program left its folder alone.
    EXPECT_TRUE(fs::exists(dir.file("work/tmp/out/crate.asc")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("bin")), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(dir.file("state/trevanix/testfile.txt")));
}

TEST(CliUsage, UnreadableSceneExitsWithThreeAndKeepsTheOldLog)
{
    TempDir dir;
    const std::string log = dir.write("old-log.txt", "an earlier run\r\n");
    for (const std::string& scene : {dir.file("missing.ase")}) {
        const CliRun text = run_cli(dir, {"analyze", scene, "--log", log});
        EXPECT_EQ(text.status, 3) << scene;
        EXPECT_NE(text.err.find(scene), std::string::npos) << text.err;

        const CliRun as_json = run_cli(dir, {"convert", scene, "--log", log, "--json"});
        EXPECT_EQ(as_json.status, 3) << scene;
        // Standard output is pure JSON; the error still goes to standard error.
        EXPECT_NE(as_json.err.find("Error: cannot read \"" + scene + "\""), std::string::npos) << as_json.err;
        const json object = as_json.parsed();
        expect_keys(object, analysis_keys);
        expect_keys(object, conversion_keys);
        EXPECT_FALSE(object["analysis_completed"].get<bool>());
        EXPECT_FALSE(object["converted"].get<bool>());
        EXPECT_EQ(object["log"], log);
        EXPECT_EQ(object["messages"].size(), 1u);
    }
    EXPECT_EQ(read_bytes(log), "an earlier run\r\n");
}

TEST(CliJson, EightBitPathsStayValidJson)
{
    TempDir dir;
    const std::string scene = dir.file("sc\xAB" "ne.ase"); // byte AB: "«" in the 8-bit code page
    const CliRun run = run_cli(dir, {"analyze", scene, "--json", "--log", dir.file("log.txt")});
    EXPECT_EQ(run.status, 3);
    const json object = run.parsed();
    EXPECT_TRUE(has_message(object, "sc\xC2\xAB" "ne.ase")) << run.out;
}

TEST(CliAnalyze, SampleAseSceneReportsItsStatisticsAndTheRejectedObject)
{
    TempDir dir;
    copy_examples(dir);
    const std::string log = dir.file("log.txt");
    const CliRun run = run_cli(dir, {"analyze", dir.file("town.ase"), "--json", "--log", log});
    ASSERT_EQ(run.status, 1) << run.out << run.err;
    const json object = run.parsed();
    expect_keys(object, analysis_keys);
    EXPECT_FALSE(object.contains("converted"));
    EXPECT_EQ(object["file_type"], "ase");
    EXPECT_TRUE(object["analysis_completed"].get<bool>());
    EXPECT_TRUE(object["problems"].get<bool>());
    EXPECT_EQ(object["objects_found"], 5);
    EXPECT_EQ(object["valid_objects"], 4);
    EXPECT_EQ(object["split_files"], 1);
    EXPECT_EQ(object["faces"], 10);
    EXPECT_EQ(object["vertices"], 18);
    EXPECT_EQ(object["invalid_submaterial_objects"], 0);
    EXPECT_EQ(object["log"], log);

    // The "convert right away" question is asked and answered No; no
    // conversion follows.
    bool asked = false;
    for (const auto& m : object["messages"]) {
        if (m["caption"] == "Question") {
            asked = true;
            EXPECT_EQ(m["answer"], "no");
        } else {
            EXPECT_TRUE(m["answer"].is_null());
        }
    }
    EXPECT_TRUE(asked);
    EXPECT_FALSE(fs::exists(dir.file("town.asc")));

    const std::string log_text = read_bytes(log);
    EXPECT_EQ(log_text.rfind("Error in line ", 0), 0u) << log_text;
    EXPECT_NE(log_text.find("broken_sign"), std::string::npos);
    // The long texture name got its short name, and so did its picture.
    // (How the mark is spelled in a file name is the file system's business.)
    EXPECT_FALSE(fs::exists(dir.path() / "TIFFRGB" / "town_brickwall_pattern.tif"));
    int renamed = 0;
    for (const auto& entry : fs::directory_iterator(dir.path() / "TIFFRGB")) {
        const std::string name = entry.path().filename().string();
        renamed += name.rfind("town_brickw", 0) == 0 && name.size() > 6 && name.substr(name.size() - 5) == "0.tif";
    }
    EXPECT_EQ(renamed, 1);
}

TEST(CliAnalyze, TextOutputShowsTheWindowLabelsAndMessagesOnStandardError)
{
    TempDir dir;
    copy_examples(dir);
    const CliRun run = run_cli(dir, {"analyze", dir.file("crate.asc"), "--log", dir.file("log.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> expected = {
        "Total objects found : 2",
        "Valid objects found : 2",
        "Asc split files required to import in Kb2 : 1",
        "Total faces in 3d scene : 14",
        "Total vertices in 3d scene : 12",
    };
    for (const auto& line : expected)
        EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << line << "\n" << run.out;
    EXPECT_NE(run.out.find("Nr or objects with invalid sub-material id references :"), std::string::npos);
    EXPECT_NE(run.err.find("Finished: Analyzing of 3d scene file finished!"), std::string::npos) << run.err;
    EXPECT_EQ(read_bytes(dir.file("log.txt")), "");
}

TEST(CliAnalyze, LoneLineFeedsGetAHintNamingTheOption)
{
    // One CR keeps the written rule, so the lone LFs after it end no line.
    TempDir dir;
    std::string scene = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n\n";
    for (const auto& line : asc_object_lines({}))
        scene += line + "\n";
    const std::string path = dir.write("lf.asc", scene);
    const std::string log = dir.file("log.txt");

    const CliRun plain = run_cli(dir, {"analyze", path, "--log", log});
    EXPECT_EQ(plain.status, 3);
    EXPECT_NE(plain.err.find("--lf-ends"), std::string::npos) << plain.err;

    const CliRun as_json = run_cli(dir, {"analyze", path, "--log", log, "--json"});
    EXPECT_EQ(as_json.status, 3);
    EXPECT_NE(as_json.err.find("--lf-ends"), std::string::npos);
    EXPECT_FALSE(as_json.parsed()["analysis_completed"].get<bool>());

    const CliRun with_option = run_cli(dir, {"analyze", path, "--log", log, "--lf-ends", "--json"});
    EXPECT_EQ(with_option.status, 0) << with_option.err;
    EXPECT_EQ(with_option.err.find("--lf-ends"), std::string::npos);
    EXPECT_EQ(with_option.parsed()["valid_objects"], 1);
}

TEST(CliAnalyze, AscSceneWithoutObjectsIsNotAnalysable)
{
    TempDir dir;
    const std::string path = dir.write("empty.asc", crlf({"Ambient light color: Red=0.3 Green=0.3 Blue=0.3"}));
    const CliRun run = run_cli(dir, {"analyze", path, "--log", dir.file("log.txt"), "--json"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err.find("--lf-ends"), std::string::npos); // CR LF file: no hint
    // The clearing question that follows is answered No as well.
    const json object = run.parsed();
    for (const auto& m : object["messages"]) {
        if (!m["answer"].is_null()) {
            EXPECT_EQ(m["answer"], "no");
        }
    }
}

TEST(CliConvert, SampleAseSceneIsConvertedWithItsMaterialFile)
{
    TempDir dir;
    copy_examples(dir);
    const CliRun run = run_cli(dir, {"convert", dir.file("town.ase"), "--json", "--log", dir.file("log.txt")});
    ASSERT_EQ(run.status, 1) << run.out << run.err; // converted, one object skipped
    const json object = run.parsed();
    expect_keys(object, analysis_keys);
    expect_keys(object, conversion_keys);
    EXPECT_TRUE(object["converted"].get<bool>());
    EXPECT_EQ(object["objects_written"], 4);
    ASSERT_EQ(object["outputs"].size(), 1u);
    EXPECT_EQ(fs::path(object["outputs"][0].get<std::string>()).filename(), "town.asc");
    ASSERT_TRUE(object["mat_file"].is_string());
    EXPECT_EQ(fs::path(object["mat_file"].get<std::string>()).filename(), "town.mat");

    const std::string asc = read_bytes(dir.file("town.asc"));
    EXPECT_NE(asc.find("Named object: \"ground\"\r\n"), std::string::npos);
    EXPECT_NE(asc.find("Named object: \"lamp_post\"\r\n"), std::string::npos);
    EXPECT_EQ(asc.find("broken_sign"), std::string::npos);
    const std::string mat = read_bytes(dir.file("town.mat"));
    EXPECT_EQ(mat.substr(0, 16), std::string("\0\0\0\x12\0\0\0\x08\0\0\0\x05\0\0\0\x02", 16));
    EXPECT_NE(mat.find("town_brickw\xAB" "0"), std::string::npos);
    // After a conversion the log is empty.
    EXPECT_EQ(read_bytes(dir.file("log.txt")), "");
}

TEST(CliConvert, TextOutputListsTheWrittenFiles)
{
    TempDir dir;
    copy_examples(dir);
    const CliRun run = run_cli(dir, {"convert", dir.file("town.ase"), "--log", dir.file("log.txt")});
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("Total objects found : 5\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(dir.file("town.asc") + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(dir.file("town.mat") + "\n"), std::string::npos) << run.out;
}

TEST(CliConvert, TargetGetsItsExtensionAndOptionsChooseTheBoxes)
{
    TempDir dir;
    copy_examples(dir);
    fs::create_directories(dir.path() / "out");
    const std::string target = (dir.path() / "out" / "village").string();
    const CliRun run = run_cli(dir, {"convert", dir.file("town.ase"), "--target", target, "--options",
                                  "split,flip-axis", "--json", "--log", dir.file("log.txt")});
    ASSERT_EQ(run.status, 1) << run.out << run.err;
    const json object = run.parsed();
    ASSERT_EQ(object["outputs"].size(), 1u);
    EXPECT_EQ(object["outputs"][0], target + ".asc");
    EXPECT_TRUE(fs::exists(target + ".asc"));
    // No "mat" in the list: no material file, and the notice says so.
    EXPECT_TRUE(object["mat_file"].is_null());
    EXPECT_FALSE(fs::exists(target + ".mat"));
    EXPECT_TRUE(has_message(object, "You choosed to NOT create a .mat file"));
    EXPECT_FALSE(fs::exists(dir.file("town.asc")));
}

TEST(CliConvert, ATargetThatIsTheInputIsRefused)
{
    TempDir dir;
    copy_examples(dir);
    const std::string input = dir.file("crate.asc");
    const std::string before = read_bytes(input);
    const std::string log = dir.file("log.txt");
    for (const std::vector<std::string>& extra : {std::vector<std::string>{"--target", input},
                                                 std::vector<std::string>{"--target", dir.file("crate")},
                                                 std::vector<std::string>{}}) {
        std::vector<std::string> args = {"convert", input, "--json", "--log", log, "--yes"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun run = run_cli(dir, args);
        EXPECT_EQ(run.status, 2) << run.out << run.err;
        EXPECT_FALSE(run.parsed()["converted"].get<bool>());
        EXPECT_EQ(read_bytes(input), before);
    }
    // The file system tells letter cases apart here: UPPER.ASC converts to UPPER.asc beside it.
    const std::string upper = dir.write("UPPER.ASC", before);
    const CliRun run = run_cli(dir, {"convert", upper, "--json", "--log", log, "--options", "none"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.parsed()["outputs"], json::array({dir.file("UPPER.asc")}));
    EXPECT_EQ(read_bytes(upper), before);
}

TEST(CliConvert, AnExistingMaterialFileIsKeptUnlessAnsweredYes)
{
    TempDir dir;
    copy_examples(dir);
    const std::string mat = dir.write("town.mat", "keep me");
    const std::string log = dir.file("log.txt");

    const CliRun declined = run_cli(dir, {"convert", dir.file("town.ase"), "--json", "--log", log});
    EXPECT_EQ(declined.status, 3) << declined.out;
    EXPECT_FALSE(declined.parsed()["converted"].get<bool>());
    // The line that explains the status stays under --quiet, and under --json.
    for (const char* mode : {"--quiet", "--json"}) {
        const CliRun quiet = run_cli(dir, {"convert", dir.file("town.ase"), mode, "--log", log});
        EXPECT_EQ(quiet.status, 3);
        EXPECT_NE(quiet.err.find("stopped by a No answer"), std::string::npos) << mode << quiet.err;
        EXPECT_NE(quiet.err.find("--yes"), std::string::npos) << mode;
    }
    EXPECT_EQ(read_bytes(mat), "keep me");
    EXPECT_FALSE(fs::exists(dir.file("town.asc")));

    const CliRun accepted = run_cli(dir, {"convert", dir.file("town.ase"), "--json", "--log", log, "--yes"});
    EXPECT_EQ(accepted.status, 1) << accepted.out;
    EXPECT_TRUE(accepted.parsed()["converted"].get<bool>());
    EXPECT_NE(read_bytes(mat), "keep me");
}

TEST(CliConvert, AscSceneWithProblemsIsNotConverted)
{
    TempDir dir;
    const std::string input =
        dir.write("bad.asc", asc_scene({{.name = "good"}, {.name = "flat", .faces = 0}}));
    const std::string target = dir.file("out.asc");
    const CliRun run = run_cli(dir, {"convert", input, "--target", target, "--json", "--log", dir.file("log.txt")});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const json object = run.parsed();
    EXPECT_TRUE(object["problems"].get<bool>());
    EXPECT_FALSE(object["converted"].get<bool>());
    EXPECT_TRUE(object["outputs"].empty());
    EXPECT_FALSE(fs::exists(target));
    const CliRun quiet = run_cli(dir, {"convert", input, "--target", target, "--quiet", "--log", dir.file("log.txt")});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_NE(quiet.err.find("cannot be converted"), std::string::npos) << quiet.err;
    EXPECT_NE(quiet.err.find(dir.file("log.txt")), std::string::npos) << quiet.err;
}

// Split files are opened as their objects arrive and closed when full, so
// a scene of thousands of split files converts under a small limit of open
// files; the set still appears whole.
TEST(CliConvert, LargeAscSceneIsSplitIntoNumberedFiles)
{
    struct Case {
        int objects;
        int split_files;
        const char* shell_prefix;
    };
    const Case cases[] = {{300, 2, ""}, {1999 * 255 + 1, 2000, "ulimit -n 256 &&"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.objects);
        // Half a million objects take the sanitizer build minutes; it checks
        // the small scene, the release build both.
        if (sanitized_build && c.split_files > 2)
            continue;
        TempDir dir;
        const std::string input = dir.file("many.asc");
        write_asc_scene(input, c.objects, "obj", 1);
        const std::string target = dir.file("split.asc");
        const CliRun run = run_cli(dir, {"convert", input, "--target", target, "--options", "split", "--json", "--log",
                                         dir.file("log.txt")},
                                   c.shell_prefix);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const json object = run.parsed();
        EXPECT_EQ(object["split_files"], c.split_files);
        EXPECT_EQ(object["objects_written"], c.objects);
        json outputs = json::array();
        for (int k = 1; k <= c.split_files; ++k)
            outputs.push_back(dir.file("split_0" + std::to_string(k) + ".asc"));
        EXPECT_EQ(object["outputs"], outputs);
        // The re-export writes each object as it was read, without its
        // smoothing lines.
        const auto block = [](int i) {
            return trevanix::testing::asc_object(
                {.name = "obj" + std::to_string(i), .vertices = 1, .smoothing = false});
        };
        std::string first;
        for (int i = 0; i < 255; ++i)
            first += block(i);
        EXPECT_TRUE(read_bytes(outputs.front().get<std::string>()) == first);
        std::string last;
        for (int i = (c.split_files - 1) * 255; i < c.objects; ++i)
            last += block(i);
        EXPECT_TRUE(read_bytes(outputs.back().get<std::string>()) == last);
        EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
    }
}

// Two conversions into one target at once never leave a mixed set: each
// writes its whole set, or is refused with a message (status 4) and writes
// nothing.
TEST(CliConvert, ConversionsRacingOnOneTargetNeverMixTheirSets)
{
    TempDir dir;
    const std::string scene_a = dir.file("a.asc");
    const std::string scene_b = dir.file("b.asc");
    write_asc_scene(scene_a, 300, "a");
    write_asc_scene(scene_b, 300, "b");
    const std::string target = dir.file("out.asc");
    const auto args = [&](const std::string& scene) {
        return std::vector<std::string>{"convert", scene, "--target", target, "--options", "split", "--quiet",
                                        "--log", scene + ".log"};
    };
    for (int trial = 0; trial < 8; ++trial) {
        SCOPED_TRACE(trial);
        BackgroundCli first(dir, "a", args(scene_a));
        BackgroundCli second(dir, "b", args(scene_b));
        int converted = 0;
        for (const CliRun& run : {first.wait(), second.wait()}) {
            converted += run.status == 0;
            if (run.status != 0) {
                EXPECT_EQ(run.status, 4) << run.err;
                EXPECT_NE(run.err.find("Another conversion is writing to \"" + target + "\""), std::string::npos)
                    << run.err;
            }
        }
        EXPECT_GE(converted, 1);
        // Both files come from one scene: their first objects share the letter.
        const std::string one = read_bytes(dir.file("out_01.asc"));
        const std::string two = read_bytes(dir.file("out_02.asc"));
        ASSERT_GT(one.size(), 15u);
        ASSERT_GT(two.size(), 15u);
        EXPECT_EQ(one.substr(0, 15), "Named object: \"");
        EXPECT_EQ(one[15], two[15]) << one.substr(0, 20) << " / " << two.substr(0, 20);
        EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
    }
}

// A stop ends a conversion with 130 (Ctrl-C) or 143 (SIGTERM) only when
// nothing was placed. Stopped during the analysis it writes nothing; stopped once its
// first output has appeared, it puts the whole set in place and reports the
// scene converted.
TEST(CliConvert, AStopEndsWithItsSignalsStatusOnlyWhenNothingWasPlaced)
{
    TempDir dir;
    const int objects = 100000;
    const std::string scene = dir.file("big.asc");
    write_asc_scene(scene, objects, "o", 1);
    struct Case {
        bool once_placing;
        int signal_number;
        int status_when_stopped; // as shells report a stop by this signal
        const char* note;
    };
    const Case cases[] = {{false, SIGINT, 130, "interrupted."},
                          {false, SIGTERM, 143, "terminated."},
                          {true, SIGTERM, 0, ""}};
    for (const Case& c : cases) {
        const bool once_placing = c.once_placing;
        SCOPED_TRACE(std::string(once_placing ? "stopped once the outputs appear" : "stopped during the analysis") +
                     " by signal " + std::to_string(c.signal_number));
        const std::string name = (once_placing ? "late" : "early") + std::to_string(c.signal_number);
        const std::string out_folder = dir.file(name);
        fs::create_directories(out_folder);
        const std::string log = dir.file(name + ".log");
        BackgroundCli run(dir, "stopped", {"convert", scene, "--target", out_folder + "/out.asc", "--options", "split",
                                           "--json", "--log", log});
        ASSERT_TRUE(wait_for_file(once_placing ? out_folder + "/out_01.asc" : log));
        run.signal(c.signal_number);
        const CliRun stopped = run.wait();
        const json object = json::parse(stopped.out);
        if (once_placing) {
            EXPECT_EQ(stopped.status, 0) << stopped.err;
            EXPECT_TRUE(object["converted"].get<bool>());
            EXPECT_EQ(object["objects_written"], objects);
            EXPECT_EQ(object["outputs"].size(), static_cast<std::size_t>(objects / 255 + 1));
            for (const auto& output : object["outputs"])
                EXPECT_TRUE(fs::exists(output.get<std::string>())) << output;
            EXPECT_EQ(stopped.err.find("terminated."), std::string::npos) << stopped.err;
        } else {
            EXPECT_EQ(stopped.status, c.status_when_stopped) << stopped.err;
            EXPECT_FALSE(object["converted"].get<bool>());
            EXPECT_NE(stopped.err.find(c.note), std::string::npos) << stopped.err;
            EXPECT_TRUE(fs::is_empty(out_folder));
        }
        EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
    }
}

// The target's folder is made when missing, as --out-dir's is; a folder
// that cannot be made ends the run with 4 before anything is written.
TEST(CliConvert, TheTargetsFolderIsMadeOrTheRunExitsWithFour)
{
    TempDir dir;
    copy_examples(dir);
    dir.write("file", "a file");
    struct Case {
        std::string target;
        int status;
    };
    const Case cases[] = {
        {dir.file("no/such/folder/crate2"), 0},
        {dir.file("file/crate2.asc"), 4}, // a folder below a file
    };
    for (const Case& c : cases) {
        const CliRun run = run_cli(dir, {"convert", dir.file("crate.asc"), "--target", c.target, "--options",
                                         "flip-axis", "--json", "--log", dir.file("log.txt")});
        EXPECT_EQ(run.status, c.status) << c.target << run.out << run.err;
        if (c.status == 0) {
            EXPECT_TRUE(run.parsed()["converted"].get<bool>());
            EXPECT_TRUE(fs::is_regular_file(c.target + ".asc"));
        } else {
            EXPECT_NE(run.err.find("cannot create the folder"), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(read_bytes(dir.file("file")), "a file");
}

TEST(CliRealScenes, PublicScenesEndWithTheDocumentedStatus)
{
    const fs::path corpus = TREVANIX_REAL_CORPUS;
    const fs::path lf_only = corpus / "assimp__assimp" / "ThreeCubesGreen.ASE";
    const fs::path crlf_copy = corpus / "assimp__assimp" / "ThreeCubesGreen.crlf.ase";
    if (!fs::exists(lf_only) || !fs::exists(crlf_copy))
        GTEST_SKIP() << "public scene corpus not present";
    TempDir dir;
    const std::string log = dir.file("log.txt");
    // Its objects have no mapping vertices: a broken structure ends the
    // analysis, with LF line ends as with CR LF.
    for (const fs::path& scene : {lf_only, crlf_copy}) {
        const CliRun broken = run_cli(dir, {"analyze", scene.string(), "--log", log, "--json"});
        EXPECT_EQ(broken.status, 3) << scene;
        EXPECT_EQ(broken.parsed()["objects_found"], 3) << scene;
        EXPECT_EQ(broken.err.find("--lf-ends"), std::string::npos) << broken.err;
        EXPECT_EQ(broken.parsed()["reader"], "exact");
    }
    // With --reader auto the general reader reads what the exact reader refuses.
    const CliRun general = run_cli(dir, {"convert", lf_only.string(), "--reader", "auto", "--target",
                                         dir.file("cubes.asc"), "--log", log, "--json"});
    EXPECT_EQ(general.status, 0) << general.err;
    EXPECT_EQ(general.parsed()["reader"], "general");
    EXPECT_EQ(general.parsed()["objects_written"], 3);
    // Its list lines separate the index and the values with blanks: both
    // objects that pass are written.
    const fs::path console = corpus / "UnvanquishedAssets__map-vega_src.dpkdir" / "console.ase";
    if (fs::exists(console)) {
        const CliRun run = run_cli(dir, {"convert", console.string(), "--target", dir.file("console.asc"), "--yes",
                                         "--json", "--log", log});
        EXPECT_EQ(run.status, 0) << run.err;
        const json object = run.parsed();
        EXPECT_EQ(object["valid_objects"], 2);
        EXPECT_EQ(object["objects_written"], 2);
        EXPECT_TRUE(object["left_out"].empty());
        EXPECT_NE(read_bytes(dir.file("console.asc")).find("Vertex 0:  X:"), std::string::npos);
    }
}

namespace {

// What a conversion with every question answered Yes leaves: the exit
// status, the counts, the log and the outputs.
std::string conversion_result(const TempDir& dir, const std::string& scene_bytes, const std::string& name)
{
    const std::string scene = dir.write(name, scene_bytes);
    const CliRun run = run_cli(dir, {"convert", scene, "--target", dir.file("out.asc"), "--yes", "--json", "--log",
                                     dir.file("log.txt")});
    std::string result = "status " + std::to_string(run.status) + "\n";
    const json object = run.parsed();
    for (const char* key : {"objects_found", "valid_objects", "split_files", "faces", "vertices", "problems",
                            "converted", "objects_written"})
        result += std::string(key) + " " + object[key].dump() + "\n";
    for (const char* file : {"log.txt", "out.asc", "out.mat"})
        result += std::string(file) + ":\n" + read_bytes(dir.file(file)) + "\n";
    return result;
}

std::string utf16(const std::string& text, bool little_endian)
{
    std::string out = little_endian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : text) {
        out += little_endian ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return out;
}

} // namespace

TEST(CliRealScenes, LfOnlyScenesReadAsTheirCrLfCopiesAndUtf16ScenesAreRefused)
{
    // Pairs of the same scene with LF and with CR LF line ends: a generated
    // one, and each public one with its CR LF copy when the corpus is there.
    std::vector<std::pair<std::string, std::string>> pairs;
    {
        // The second object is rejected: its log line quotes a line number.
        const std::string crlf_scene = asc_scene(
            {{.name = "a", .mapped = true, .uv = true}, {.name = "b", .vertices = 4, .faces = 2, .vertex_keyword = "Vertx"}});
        std::string lf_scene = crlf_scene;
        std::erase(lf_scene, '\r');
        pairs.emplace_back(lf_scene, crlf_scene);
    }
    const fs::path corpus = TREVANIX_REAL_CORPUS;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(corpus, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string copy_name = it->path().filename().string();
        if (!copy_name.ends_with(".crlf.ase"))
            continue;
        const std::string stem = copy_name.substr(0, copy_name.size() - 9);
        for (const char* extension : {".ase", ".ASE"})
            if (const fs::path original = it->path().parent_path() / (stem + extension); fs::exists(original))
                pairs.emplace_back(read_bytes(original.string()), read_bytes(it->path().string()));
    }
    for (const auto& [lf_scene, crlf_scene] : pairs) {
        ASSERT_EQ(lf_scene.find('\r'), std::string::npos);
        const bool ase = crlf_scene.find("*GEOMOBJECT") != std::string::npos;
        const std::string name = ase ? "scene.ase" : "scene.asc";
        TempDir lf_dir;
        TempDir crlf_dir;
        EXPECT_EQ(conversion_result(lf_dir, lf_scene, name), conversion_result(crlf_dir, crlf_scene, name))
            << crlf_scene.substr(0, 200);
    }

    std::vector<std::string> utf16_scenes;
    for (const bool little_endian : {true, false})
        utf16_scenes.push_back(utf16(asc_scene({{.name = "a"}}), little_endian));
    for (const char* name : {"ThreeCubesGreen_UTF16LE.ASE", "ThreeCubesGreen_UTF16BE.ASE"})
        if (const fs::path path = corpus / "assimp__assimp" / name; fs::exists(path))
            utf16_scenes.push_back(read_bytes(path.string()));
    for (const std::string& scene : utf16_scenes) {
        TempDir dir;
        const std::string path = dir.write("scene.asc", scene);
        const CliRun run = run_cli(dir, {"analyze", path, "--log", dir.file("log.txt")});
        EXPECT_EQ(run.status, 3);
        EXPECT_NE(run.err.find("UTF-16"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("8-bit text"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("--lf-ends"), std::string::npos) << run.err;
    }
}

namespace {

std::vector<std::string> log_lines_of(const std::string& path)
{
    std::vector<std::string> lines;
    const std::string text = read_bytes(path);
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// An ".ase" scene with one good object and one of 0 vertices.
std::string ase_scene_with_a_rejected_object()
{
    ase::AseObject good;
    good.name = "good";
    ase::AseObject flat;
    flat.name = "flat";
    flat.vertices = {};
    return ase::ase_header() + ase::material_list({ase::standard_material("stone", "stone.bmp")}) +
           ase::ase_object(good) + ase::ase_object(flat);
}

// Scenes of different sizes and verdicts, so that side by side they finish
// out of order. Returns their paths in name order. One rejects so many
// objects that its report waits for its turn in a temporary file.
std::vector<std::string> write_scene_folder(const TempDir& dir, const std::string& folder)
{
    std::vector<AscObject> many;
    for (int i = 0; i < 600; ++i)
        many.push_back({.name = "m" + std::to_string(i)});
    std::string rejects = trevanix::testing::asc_header;
    for (int i = 0; i < 20000; ++i)
        rejects += "Named object: \"r" + std::to_string(i) + "\"\r\n";
    return {dir.write(folder + "/bad.asc", asc_scene({{.name = "ok"}, {.name = "flat", .faces = 0}})),
            dir.write(folder + "/many.asc", asc_scene(many)),
            dir.write(folder + "/rejects.asc", rejects),
            dir.write(folder + "/small.ase", ase_scene_with_a_rejected_object()),
            dir.write(folder + "/tiny.asc", asc_scene({{.name = "t"}}))};
}

json without_paths(json object)
{
    for (const char* key : {"scene", "log", "outputs", "mat_file"})
        object.erase(key);
    return object;
}

} // namespace

TEST(CliBatch, AFolderGivesOneJsonLinePerSceneInOrderLikeOneSceneRuns)
{
    TempDir dir;
    const std::vector<std::string> scenes = write_scene_folder(dir, "scenes");
    std::vector<json> analysed, converted;
    std::vector<std::string> logs;
    fs::create_directories(dir.file("ref"));
    for (const std::string& scene : scenes) {
        const std::string name = fs::path(scene).filename().string();
        const std::string stem = fs::path(scene).stem().string();
        logs.push_back(dir.file("ref-" + name + ".log"));
        analysed.push_back(run_cli(dir, {"analyze", scene, "--json", "--log", logs.back()}).parsed());
        converted.push_back(run_cli(dir, {"convert", scene, "--json", "--log", dir.file("ref.log"), "--target",
                                          dir.file("ref/" + stem + ".asc")})
                                .parsed());
    }
    for (const std::string jobs : {"1", "4"}) {
        const std::string log_dir = dir.file("logs" + jobs), out_dir = dir.file("out" + jobs);
        const CliRun analysis = run_cli(dir, {"analyze", dir.file("scenes"), "--json", "--jobs", jobs, "--log-dir", log_dir});
        EXPECT_EQ(analysis.status, 1) << analysis.err; // the highest status: objects were rejected
        const std::vector<json> lines = analysis.lines();
        ASSERT_EQ(lines.size(), scenes.size()) << analysis.out;
        for (std::size_t i = 0; i < scenes.size(); ++i) {
            EXPECT_EQ(lines[i]["scene"], scenes[i]) << jobs;
            EXPECT_EQ(without_paths(lines[i]), without_paths(analysed[i])) << scenes[i] << " jobs " << jobs;
            EXPECT_EQ(read_bytes(lines[i]["log"].get<std::string>()), read_bytes(logs[i])) << scenes[i];
        }

        const CliRun conversion = run_cli(dir, {"convert", dir.file("scenes"), "--json", "--jobs", jobs, "--out-dir",
                                                out_dir, "--log-dir", log_dir});
        EXPECT_EQ(conversion.status, 1) << conversion.err;
        const std::vector<json> converted_lines = conversion.lines();
        ASSERT_EQ(converted_lines.size(), scenes.size()) << conversion.out;
        for (std::size_t i = 0; i < scenes.size(); ++i)
            EXPECT_EQ(without_paths(converted_lines[i]), without_paths(converted[i])) << scenes[i] << " jobs " << jobs;
        std::size_t outputs = 0;
        for (const auto& entry : fs::directory_iterator(dir.file("ref"))) {
            ++outputs;
            EXPECT_EQ(read_bytes((fs::path(out_dir) / entry.path().filename()).string()), read_bytes(entry.path().string()))
                << entry.path().filename();
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(out_dir), fs::directory_iterator()), outputs);
    }
}

TEST(CliBatch, AFolderStandsForItsScenesButNotForEarlierOutputs)
{
    TempDir dir;
    const std::string one = asc_scene({{.name = "o"}});
    const std::string ase_text = ase_scene_with_a_rejected_object();
    for (const char* name : {"b.ase", "UPPER.ASE"})
        dir.write(std::string("f/") + name, ase_text);
    // b.asc, b_01.asc and b_012.asc are b.ase's earlier outputs; the others are scenes of their own.
    for (const char* name : {"b.asc", "b_01.asc", "b_012.asc", "b_00.asc", "b_x.asc", "B.asc", "UPPER.asc", "z.asc",
                             "sub/deep.asc"})
        dir.write(std::string("f/") + name, one);
    dir.write("f/notes.txt", "not a scene");
    // Scenes of other tools count too, and so does their earlier output; an
    // ".xml" file is a scene only when named.
    dir.write("f/c.obj", "o c\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    dir.write("f/c.asc", one);
    dir.write("f/readme.xml", "<notes/>");
    const auto scenes_of = [&dir](const CliRun& run) {
        std::vector<std::string> names;
        for (const json& line : run.lines())
            names.push_back(fs::path(line["scene"].get<std::string>()).lexically_relative(dir.path()).string());
        return names;
    };
    const CliRun flat = run_cli(dir, {"analyze", dir.file("f"), "--json", "--log-dir", dir.file("logs")});
    EXPECT_EQ(scenes_of(flat), (std::vector<std::string>{"f/B.asc", "f/UPPER.ASE", "f/b.ase", "f/b_00.asc",
                                                         "f/b_x.asc", "f/c.obj", "f/z.asc"}))
        << flat.out;
    const CliRun deep =
        run_cli(dir, {"analyze", dir.file("f"), "--json", "--recursive", "--log-dir", dir.file("logs")});
    EXPECT_EQ(scenes_of(deep), (std::vector<std::string>{"f/B.asc", "f/UPPER.ASE", "f/b.ase", "f/b_00.asc",
                                                         "f/b_x.asc", "f/c.obj", "f/sub/deep.asc", "f/z.asc"}))
        << deep.out;
    // Given by name, an earlier output is a scene like any other.
    const CliRun named = run_cli(dir, {"analyze", dir.file("f/b.asc"), "--json", "--log-dir", dir.file("logs")});
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(named.parsed()["log"], dir.file("logs/b.asc.log.txt"));

    // The shape of the output follows the arguments, never what a folder
    // holds: one JSON document for a lone scene file, one line a scene for a
    // folder (even of one scene), and with --json-lines always one line a scene.
    dir.write("one/only.asc", one);
    struct Shape {
        std::vector<std::string> args;
        bool one_line_a_scene;
    };
    const Shape shapes[] = {
        {{dir.file("f/b.asc"), "--json"}, false},
        {{dir.file("f/b.asc"), "--json-lines"}, true},
        {{dir.file("one"), "--json"}, true},
        {{dir.file("one"), "--json-lines"}, true},
    };
    for (const Shape& shape : shapes) {
        std::vector<std::string> args = {"analyze", "--log-dir", dir.file("logs")};
        args.insert(args.end(), shape.args.begin(), shape.args.end());
        const CliRun run = run_cli(dir, args);
        EXPECT_EQ(run.status, 0) << shape.args[0] << shape.args[1];
        const bool document = run.out.rfind("{\n  \"scene\"", 0) == 0;
        EXPECT_EQ(document, !shape.one_line_a_scene) << shape.args[0] << shape.args[1] << run.out;
        if (shape.one_line_a_scene) {
            EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
            EXPECT_EQ(run.lines().size(), 1u);
        }
    }
    const CliRun text = run_cli(dir, {"analyze", dir.file("one"), "--log-dir", dir.file("logs")});
    EXPECT_EQ(text.out.rfind("Scene: " + dir.file("one/only.asc") + "\n", 0), 0u) << text.out;
}

TEST(CliBatch, ScenesThatWouldWriteTheSameOutputAreRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    const std::string one = asc_scene({{.name = "o"}});
    const std::string ase_text = ase_scene_with_a_rejected_object();
    const std::string a_town = dir.write("a/town.ase", ase_text);
    const std::string b_town = dir.write("b/town.ase", ase_text);
    const std::string tile = dir.write("c/tile.ase", ase_text);
    const std::string tile_1 = dir.write("c/tile_01.ase", ase_text);
    const std::string lone_asc = dir.write("d/x.asc", one);
    const std::string lone_ase = dir.write("d/x.ase", ase_text);
    const std::string out = dir.file("out");
    const std::vector<std::vector<std::string>> refused = {
        {a_town, b_town, "--out-dir", out},         // both write out/town.asc and out/town.mat
        {tile, tile_1, "--out-dir", out},           // tile's split files are tile_01.asc, ...
        {lone_ase, lone_asc, "--out-dir", dir.file("d")}, // x.ase's output would replace the scene x.asc
        {lone_ase, lone_asc},                       // the same beside the input
    };
    for (const auto& extra : refused) {
        std::vector<std::string> args = {"convert", "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun run = run_cli(dir, args);
        EXPECT_EQ(run.status, 2) << extra[0] << " " << extra[1];
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find("trevanix-cli: "), std::string::npos) << run.err;
    }
    // Nothing was written: no output folder, no log, no output beside the scenes.
    EXPECT_FALSE(fs::exists(out));
    for (const auto& [folder, files] : std::vector<std::pair<std::string, long>>{{"a", 1}, {"b", 1}, {"c", 2}, {"d", 2}})
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.file(folder)), fs::directory_iterator()), files) << folder;
    // Without splitting, tile never writes tile_01.asc.
    const CliRun unsplit = run_cli(dir, {"convert", tile, tile_1, "--out-dir", out, "--options", "mat", "--json"});
    EXPECT_EQ(unsplit.status, 1) << unsplit.err;
    EXPECT_TRUE(fs::exists(dir.file("out/tile.asc")));
    EXPECT_TRUE(fs::exists(dir.file("out/tile_01.asc")));
}

TEST(CliBatch, EverySceneHasALogOfItsOwn)
{
    TempDir dir;
    const std::string bad = asc_scene({{.name = "ok"}, {.name = "flat", .faces = 0}});
    const std::vector<std::string> scenes = {dir.write("one/town.asc", bad), dir.write("two/town.asc", bad),
                                             dir.write("two/TOWN.asc", bad)};
    const auto logs_of = [](const CliRun& run) {
        std::vector<std::string> logs;
        for (const json& line : run.lines()) {
            logs.push_back(line["log"].get<std::string>());
            // Each log holds its own scene's rejected objects, and rejected[] lists them.
            std::vector<std::string> texts;
            for (const json& entry : line["rejected"])
                texts.push_back(entry["text"].get<std::string>());
            EXPECT_EQ(log_lines_of(logs.back()), texts) << logs.back();
            EXPECT_EQ(texts.size(), 1u);
        }
        return logs;
    };
    const CliRun beside = run_cli(dir, {"analyze", scenes[0], scenes[1], scenes[2], "--json"});
    EXPECT_EQ(logs_of(beside), (std::vector<std::string>{dir.file("one/town.asc.log.txt"), dir.file("two/town.asc.log.txt"),
                                                         dir.file("two/TOWN.asc.2.log.txt")}));
    const CliRun gathered = run_cli(dir, {"analyze", scenes[0], scenes[1], scenes[2], "--json", "--log-dir", dir.file("logs")});
    EXPECT_EQ(logs_of(gathered), (std::vector<std::string>{dir.file("logs/town.asc.log.txt"),
                                                           dir.file("logs/town.asc.2.log.txt"),
                                                           dir.file("logs/TOWN.asc.3.log.txt")}));
    // In text output each scene is named, and so is each line of its messages.
    const CliRun text = run_cli(dir, {"analyze", scenes[0], scenes[1], "--log-dir", dir.file("logs")});
    EXPECT_NE(text.out.find("Scene: " + scenes[1] + "\nTotal objects found : 2\n"), std::string::npos) << text.out;
    EXPECT_NE(text.err.find(scenes[1] + ": Finished: "), std::string::npos) << text.err;
}

TEST(CliReport, RejectedObjectsAndPicturesAreListed)
{
    TempDir dir;
    // An unnamed object, a rejected one, then a broken structure that ends the analysis.
    ase::AseObject unnamed;
    unnamed.node_line = "\t*NODE_NAME q";
    ase::AseObject flat;
    flat.name = "flat";
    flat.vertices = {};
    ase::AseObject unmapped;
    unmapped.name = "last";
    unmapped.mapping_lists = false;
    const std::string long_a = "brickwall_pattern_large.bmp", long_b = "cobblestone_pattern_wide.bmp";
    const std::string scene = dir.write(
        "s/scene.ase",
        ase::ase_header() +
            ase::material_list({ase::gta_material("a", long_a), ase::gta_material("b", long_b)}) +
            ase::ase_object(unnamed) + ase::ase_object(flat) + ase::ase_object(unmapped));
    const std::string picture = dir.write("s/TIFFRGB/brickwall_pattern_large.tif", "picture");
    const std::string log = dir.file("log.txt");

    const CliRun inspect = run_cli(dir, {"analyze", scene, "--json", "--no-rename", "--log", log});
    EXPECT_EQ(inspect.status, 3) << inspect.err;
    const json report = inspect.parsed();
    EXPECT_FALSE(report["analysis_completed"].get<bool>());
    EXPECT_TRUE(report["problems"].get<bool>()); // the log holds rejected objects
    const std::vector<std::string> log_lines = log_lines_of(log);
    ASSERT_EQ(report["rejected"].size(), 2u) << inspect.out;
    ASSERT_EQ(log_lines.size(), 2u);
    EXPECT_EQ(report["rejected"][0]["object"], nullptr);
    EXPECT_EQ(report["rejected"][0]["reason"], "name_not_quoted");
    EXPECT_EQ(report["rejected"][1]["object"], "flat");
    EXPECT_EQ(report["rejected"][1]["reason"], "zero_vertices");
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(report["rejected"][i]["text"], log_lines[i]);
        EXPECT_EQ(log_lines[i].rfind("Error in line " + std::to_string(report["rejected"][i]["line"].get<int>()) + " ", 0),
                  0u);
    }
    // Listed, not renamed; the second texture has no picture at all.
    ASSERT_EQ(report["renamed_pictures"].size(), 1u);
    EXPECT_EQ(report["renamed_pictures"][0]["from"], picture);
    EXPECT_NE(report["renamed_pictures"][0]["to"].get<std::string>().find("brickwall_p"), std::string::npos);
    EXPECT_TRUE(fs::exists(picture));
    EXPECT_EQ(report["missing_pictures"], json::array({dir.file("s/TIFFRGB/cobblestone_pattern_wide.tif")}));

    const CliRun renaming = run_cli(dir, {"analyze", scene, "--log", log});
    EXPECT_FALSE(fs::exists(picture));
    EXPECT_NE(renaming.out.find("Picture not found: " + dir.file("s/TIFFRGB/cobblestone_pattern_wide.tif") + "\n"),
              std::string::npos)
        << renaming.out;

    // The general reader's objects have no input line; the repaired ones are listed apart.
    const std::string obj = dir.write("g/shapes.obj", "o shape\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nl 1 2\n"
                                                      "o wire\nv 0 0 9\nv 1 0 9\nl 4 5\n");
    const CliRun general = run_cli(dir, {"convert", obj, "--json", "--log", log});
    EXPECT_EQ(general.status, 1) << general.err;
    const json g = general.parsed();
    EXPECT_EQ(g["reader"], "general");
    ASSERT_EQ(g["rejected"].size(), 1u) << general.out;
    EXPECT_EQ(g["rejected"][0]["line"], nullptr);
    EXPECT_EQ(g["rejected"][0]["object"], "wire");
    EXPECT_EQ(g["rejected"][0]["reason"], "zero_faces");
    ASSERT_EQ(g["repaired"].size(), 1u);
    EXPECT_EQ(g["repaired"][0]["object"], "shape");
    EXPECT_EQ(g["repaired"][0]["reason"], "primitives_dropped");
    EXPECT_EQ(g["outputs"], json::array({dir.file("g/shapes.asc")}));
    // A texture name with a NUL, and a TIFFRGB folder that is a link: nothing
    // is renamed, nothing is reported renamed, and each says why.
    const std::string nul_texture("notes_not_a_picture\0zzzzzzzzz.bmp", 33);
    const std::string linked = dir.write(
        "t/scene.ase", ase::ase_header() +
                           ase::material_list({ase::gta_material("a", long_a), ase::gta_material("n", nul_texture)}) +
                           ase::ase_object(flat));
    const std::string theirs = dir.write("elsewhere/brickwall_pattern_large.tif", "theirs");
    dir.write("elsewhere/notes_not_a_picture", "notes");
    fs::create_directory_symlink(dir.file("elsewhere"), dir.file("t/TIFFRGB"));
    const CliRun through_link = run_cli(dir, {"analyze", linked, "--json", "--log", log});
    EXPECT_EQ(through_link.status, 1) << through_link.err;
    const json notes = through_link.parsed();
    EXPECT_TRUE(notes["renamed_pictures"].empty());
    ASSERT_EQ(notes["unrenamed_pictures"].size(), 2u) << through_link.out;
    EXPECT_EQ(notes["unrenamed_pictures"][0]["reason"], "linked_folder");
    EXPECT_EQ(notes["unrenamed_pictures"][1]["reason"], "control_character");
    EXPECT_EQ(read_bytes(theirs), "theirs");
    EXPECT_EQ(read_bytes(dir.file("elsewhere/notes_not_a_picture")), "notes");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("elsewhere")), fs::directory_iterator()), 2);
    // The notice is on standard error, its NUL escaped; the text output lists both.
    const CliRun as_text = run_cli(dir, {"analyze", linked, "--log", log});
    EXPECT_NE(as_text.err.find("Warning: Some pictures of shortened texture names were not renamed"), std::string::npos)
        << as_text.err;
    EXPECT_NE(as_text.err.find("symbolic link"), std::string::npos) << as_text.err;
    EXPECT_EQ(as_text.err.find('\0'), std::string::npos);
    EXPECT_NE(as_text.out.find("Picture not renamed: " + dir.file("t/TIFFRGB/brickwall_pattern_large.tif")),
              std::string::npos)
        << as_text.out;
    EXPECT_NE(as_text.out.find("notes_not_a_picture\\x00zzzzzzzzz.tif"), std::string::npos) << as_text.out;
    EXPECT_EQ(as_text.out.find('\0'), std::string::npos);
}

TEST(CliReport, ObjectsLeftOutAreNamedWhateverTheOutput)
{
    TempDir dir;
    // "kept" uses sub-material 2, counted but never defined: written without
    // material lines. The LOD object passes the analysis and is left out.
    ase::AseObject kept, lod;
    kept.name = "kept";
    kept.faces = ase::ase_faces_with_ids({2});
    lod.name = "LOD1_\x1b[31mtree";
    const std::string materials = ase::material_list({ase::multi_material(
        "mm", {ase::standard_submaterial("a", "a.bmp"), ase::standard_submaterial("b", ""), "\t\t\t*MATERIAL_NAME \"c\"\r\n"})});
    const std::string text = ase::ase_header() + materials + ase::ase_object(kept) + ase::ase_object(lod);
    const std::string scene = dir.write("scene.ase", text);
    const std::string lod_line = std::to_string(std::count(text.begin(), text.begin() + static_cast<long>(text.find("\"LOD1_")), '\n'));
    const std::vector<std::vector<std::string>> modes = {{}, {"--quiet"}, {"--json"}};
    for (const auto& mode : modes) {
        std::vector<std::string> args = {"convert", scene, "--yes", "--target", dir.file("out.asc"), "--log",
                                         dir.file("log.txt")};
        args.insert(args.end(), mode.begin(), mode.end());
        const CliRun run = run_cli(dir, args);
        const std::string shown_mode = mode.empty() ? "text" : mode[0];
        EXPECT_EQ(run.status, 1) << shown_mode << run.err;
        EXPECT_NE(run.err.find("Warning: Some objects that passed the analysis were not written: 1 of 2.\n"
                               "  line " + lod_line + ", 'LOD1_\\x1b[31mtree': "),
                  std::string::npos)
            << shown_mode << run.err;
        EXPECT_NE(run.err.find("(lod_name)"), std::string::npos) << shown_mode;
        EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << shown_mode;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << shown_mode;
        if (shown_mode == "--json") {
            const json object = run.parsed();
            EXPECT_EQ(object["objects_written"], 1);
            EXPECT_EQ(object["left_out"], json::parse("[{\"line\": " + lod_line +
                                                      ", \"object\": \"LOD1_\\u001b[31mtree\", \"reason\": \"lod_name\"}]"));
        }
        // The conversion's log stays empty; the kept object's face has no material line.
        EXPECT_EQ(read_bytes(dir.file("log.txt")), "");
        const std::string out = read_bytes(dir.file("out.asc"));
        EXPECT_NE(out.find("Named object: \"kept\""), std::string::npos);
        EXPECT_EQ(out.find("Material:"), std::string::npos) << out;
    }
}


TEST(CliLogs, EveryLogPathIsMadeAfreshAndAFailedLogIsNeverAnnounced)
{
    const std::string victim_text = "not a log\r\n";
    struct Case {
        const char* what;
        // Prepares the folder; gives the options naming the log and the log's path.
        std::function<std::pair<std::vector<std::string>, std::string>(const TempDir&)> prepare;
        bool logged = true;      // the log holds the rejected object's line
        bool root_only = false;
        std::string environment{};
    };
    auto link_at = [victim_text](const TempDir& d, const std::string& name) {
        fs::create_directories(fs::path(d.file(name)).parent_path());
        fs::create_symlink(d.write("victim.txt", victim_text), d.file(name));
        return d.file(name);
    };
    const Case cases[] = {
        {"--log naming a link",
         [&](const TempDir& d) { return std::pair{std::vector<std::string>{"--log", link_at(d, "log.txt")}, d.file("log.txt")}; }},
        {"--log-dir holding a link",
         [&](const TempDir& d) {
             return std::pair{std::vector<std::string>{"--log-dir", d.file("logs")}, link_at(d, "logs/scene.ase.log.txt")};
         }},
        {"a link beside the scene",
         [&](const TempDir& d) {
             d.write("other.asc", asc_scene({{.name = "o"}}));
             return std::pair{std::vector<std::string>{d.file("other.asc")}, link_at(d, "scene.ase.log.txt")};
         }},
        {"--log in a folder that is a file",
         [](const TempDir& d) {
             d.write("file", "a file");
             return std::pair{std::vector<std::string>{"--log", d.file("file/log.txt")}, std::string()};
         },
         false},
        {"--log naming the null device",
         [](const TempDir& d) {
             ::mknod(d.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3));
             return std::pair{std::vector<std::string>{"--log", d.file("null")}, d.file("null")};
         },
         false, true},
        {"--log naming another device",
         [](const TempDir& d) {
             ::mknod(d.file("zero").c_str(), S_IFCHR | 0666, makedev(1, 5));
             return std::pair{std::vector<std::string>{"--log", d.file("zero")}, d.file("zero")};
         },
         false, true},
    };
    for (const Case& c : cases) {
        if (c.root_only && ::geteuid() != 0)
            continue;
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string scene = dir.write("scene.ase", ase_scene_with_a_rejected_object());
        const auto [options, log] = c.prepare(dir);
        const bool device = !log.empty() && fs::is_character_file(fs::symlink_status(log));
        const bool refused = !c.logged && !(device && log.ends_with("null"));
        for (const char* command : {"analyze", "convert"}) {
            std::vector<std::string> args = {command, scene, "--json", "--yes", "--out-dir", dir.file("out")};
            if (std::string(command) == "analyze")
                args = {command, scene, "--json"};
            args.insert(args.end(), options.begin(), options.end());
            const CliRun run = run_cli(dir, args);
            EXPECT_EQ(run.status, 1) << command << run.err;
            const std::vector<json> objects = options.size() == 1 ? run.lines() : std::vector<json>{run.parsed()};
            ASSERT_FALSE(objects.empty()) << run.out;
            const json& object = objects.front();
            EXPECT_EQ(object["log"].is_null(), refused) << command;
            EXPECT_EQ(object["log_error"].is_null(), !refused) << command;
            EXPECT_EQ(object["rejected"].size(), 1u) << command;
            // Never announced as holding the objects when it does not.
            if (refused) {
                EXPECT_EQ(run.err.find("listed in the error log"), std::string::npos) << run.err;
            }
            if (std::string(command) == "analyze" && c.logged) {
                EXPECT_NE(read_bytes(log).find("(object 'flat')"), std::string::npos);
            }
            if (device) {
                EXPECT_TRUE(fs::is_character_file(fs::symlink_status(log))) << command;
            }
            if (fs::exists(dir.file("victim.txt"))) {
                EXPECT_EQ(read_bytes(dir.file("victim.txt")), victim_text) << command;
                EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(log))) << command;
            }
        }
    }

    // --no-rename writes nothing beside the scenes: its logs go to the state folder.
    TempDir dir;
    const std::string one = dir.write("s/one.ase", ase_scene_with_a_rejected_object());
    const std::string two = dir.write("s/two.ase", ase_scene_with_a_rejected_object());
    const std::string state = "XDG_STATE_HOME=" + quoted(dir.file("state"));
    const CliRun lone = run_cli(dir, {"analyze", one, "--no-rename", "--json"}, state);
    EXPECT_EQ(lone.parsed()["log"], dir.file("state/trevanix/testfile.txt"));
    const CliRun both = run_cli(dir, {"analyze", one, two, "--no-rename", "--json"}, state);
    ASSERT_EQ(both.lines().size(), 2u);
    EXPECT_EQ(both.lines()[1]["log"], dir.file("state/trevanix/two.ase.log.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("s")), fs::directory_iterator()), 2);
    EXPECT_NE(read_bytes(dir.file("state/trevanix/one.ase.log.txt")).find("(object 'flat')"), std::string::npos);
}

// An installed program never writes into its own folder: without --log, a
// lone scene's log goes to the user's state folder, unless the program runs
// from its build tree, which the build marks.
TEST(CliLogs, TheDefaultLogLiesBesideTheProgramOnlyInItsBuildTree)
{
    struct Case {
        bool build_tree;
        bool state_home_set; // XDG_STATE_HOME
        std::string log;     // where the log goes, below the test's folder
    };
    const Case cases[] = {
        {true, true, "bin/testfile.txt"},
        {false, true, "state/trevanix/testfile.txt"},
        {false, false, "home/.local/state/trevanix/testfile.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        TempDir dir;
        const std::string program = installed_copy(dir);
        if (c.build_tree)
            dir.write("bin/trevanix-build-tree", "");
        const std::string scene = dir.write("s/scene.ase", ase_scene_with_a_rejected_object());
        const std::string prefix =
            "export HOME=" + quoted(dir.file("home")) + "; " +
            (c.state_home_set ? "export XDG_STATE_HOME=" + quoted(dir.file("state")) : "unset XDG_STATE_HOME") + ";";
        const CliRun run = run_cli(dir, {"analyze", scene, "--json"}, prefix, program);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.parsed()["log"], dir.file(c.log));
        EXPECT_NE(read_bytes(dir.file(c.log)).find("(object 'flat')"), std::string::npos);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("bin")), fs::directory_iterator()),
                  c.build_tree ? 3 : 1);
    }
}

TEST(CliBatch, NamesAndPathsShowTheirControlBytesEscaped)
{
    TempDir dir;
    const std::string bad = asc_scene({{.name = "ok"}, {.name = "f\x1b[2J", .faces = 0}});
    const std::vector<std::string> scenes = {dir.write("e\x1b[31m.asc", bad), dir.write("n\nl.asc", bad)};
    const CliRun text = run_cli(dir, {"analyze", scenes[0], scenes[1], "--log-dir", dir.file("logs")});
    EXPECT_EQ(text.status, 1);
    for (const std::string* stream : {&text.out, &text.err})
        EXPECT_EQ(stream->find('\x1b'), std::string::npos) << *stream;
    EXPECT_NE(text.out.find("Scene: " + dir.file("e\\x1b[31m.asc") + "\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Scene: " + dir.file("n\\nl.asc") + "\n"), std::string::npos) << text.out;
    EXPECT_NE(text.err.find(dir.file("n\\nl.asc") + ": Finished: "), std::string::npos) << text.err;
    // The log keeps the bytes as the scene has them; JSON escapes them as JSON does.
    EXPECT_NE(read_bytes(dir.file("logs/e\x1b[31m.asc.log.txt")).find("(object 'f\x1b[2J')"), std::string::npos);
    const CliRun as_json = run_cli(dir, {"analyze", scenes[0], "--json", "--log", dir.file("log.txt")});
    EXPECT_EQ(as_json.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(as_json.parsed()["rejected"][0]["object"], "f\x1b[2J");
}

TEST(CliBatch, TheRunEndsWithTheHighestStatusAndQuietKeepsOnlyErrors)
{
    TempDir dir;
    const std::string good = dir.write("good.asc", asc_scene({{.name = "o"}}));
    const std::string bad = dir.write("bad.asc", asc_scene({{.name = "flat", .faces = 0}}));
    const std::string missing = dir.file("missing.asc");
    struct Case {
        std::vector<std::string> scenes;
        int status;
    };
    for (const Case& c : std::vector<Case>{{{good}, 0}, {{good, bad}, 1}, {{missing, bad, good}, 3}}) {
        std::vector<std::string> args = {"analyze"};
        args.insert(args.end(), c.scenes.begin(), c.scenes.end());
        args.insert(args.end(), {"--log-dir", dir.file("logs")});
        const CliRun loud = run_cli(dir, args);
        EXPECT_EQ(loud.status, c.status) << loud.err;
        EXPECT_NE(loud.err.find("Finished: "), std::string::npos);
        // Standard error is no terminal here: no progress display.
        EXPECT_EQ(loud.err.find("analysing"), std::string::npos) << loud.err;
        EXPECT_EQ(loud.err.find('\x1b'), std::string::npos);

        args.push_back("--quiet");
        const CliRun quiet = run_cli(dir, args);
        EXPECT_EQ(quiet.status, c.status);
        EXPECT_EQ(quiet.out, loud.out);
        EXPECT_EQ(quiet.err.find("Finished: "), std::string::npos) << quiet.err;
        EXPECT_EQ(quiet.err.find("Error: cannot read") != std::string::npos, c.status == 3) << quiet.err;
    }
}
