// End-to-end tests of trevanix-cli: the built program runs on scenes in a
// fresh folder, and the tests look at its exit status, its output and the
// files it leaves behind.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/asc_builder.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
using nlohmann::json;
using trevanix::testing::AscObject;
using trevanix::testing::asc_object_lines;
using trevanix::testing::asc_scene;
using trevanix::testing::crlf;
using trevanix::testing::read_bytes;
using trevanix::testing::TempDir;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
    json parsed() const { return json::parse(out); }
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

CliRun run_cli(const TempDir& dir, const std::vector<std::string>& args)
{
    const std::string err_file = dir.file("stderr.txt");
    std::string command = quoted(TREVANIX_CLI);
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

TEST(CliUsage, HelpAndVersionSucceed)
{
    TempDir dir;
    const CliRun help = run_cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("analyze"), std::string::npos);
    EXPECT_NE(help.out.find("convert"), std::string::npos);

    const CliRun version = run_cli(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("1.1.3"), std::string::npos);

    const CliRun convert_help = run_cli(dir, {"convert", "--help"});
    EXPECT_EQ(convert_help.status, 0);
    for (const char* option : {"--target", "--options", "--yes", "--log", "--json", "--lf-ends"})
        EXPECT_NE(convert_help.out.find(option), std::string::npos) << option;
}

TEST(CliUsage, BadArgumentsExitWithTwoAndChangeNothing)
{
    TempDir dir;
    const std::string scene = dir.write("crate.asc", asc_scene({{.name = "crate"}}));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", scene},
        {"analyze"},
        {"convert"},
        {"analyze", scene, "--bogus"},
        {"analyze", scene, "extra.asc"},
        {"analyze", scene, "--target", "x.asc"}, // a convert option
        {"convert", scene, "--options", "split,bogus"},
        {"convert", scene, "--options", ""},
        {"convert", scene, "--options", "all,split"},
        {"convert", scene, "--log"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        const CliRun run = run_cli(dir, args);
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_FALSE(run.err.empty()) << shown;
        EXPECT_TRUE(run.out.empty()) << shown;
    }
    EXPECT_FALSE(fs::exists(dir.file("testfile.txt")));
    EXPECT_FALSE(fs::exists(dir.file("crate.mat")));
}

TEST(CliUsage, UnreadableSceneExitsWithThreeAndKeepsTheOldLog)
{
    TempDir dir;
    const std::string log = dir.write("old-log.txt", "an earlier run\r\n");
    fs::create_directories(dir.path() / "folder.ase");
    for (const std::string& scene : {dir.file("missing.ase"), dir.file("folder.ase")}) {
        const CliRun text = run_cli(dir, {"analyze", scene, "--log", log});
        EXPECT_EQ(text.status, 3) << scene;
        EXPECT_NE(text.err.find(scene), std::string::npos) << text.err;

        const CliRun as_json = run_cli(dir, {"convert", scene, "--log", log, "--json"});
        EXPECT_EQ(as_json.status, 3) << scene;
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
    TempDir dir;
    std::string scene = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\n\n";
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
}

TEST(CliConvert, LargeAscSceneIsSplitIntoNumberedFiles)
{
    TempDir dir;
    std::vector<AscObject> objects;
    for (int i = 0; i < 300; ++i)
        objects.push_back({.name = "obj" + std::to_string(i)});
    const std::string input = dir.write("many.asc", asc_scene(objects));
    const std::string target = dir.file("split.asc");
    const CliRun run = run_cli(dir, {"convert", input, "--target", target, "--options", "split", "--json", "--log",
                                  dir.file("log.txt")});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const json object = run.parsed();
    EXPECT_EQ(object["split_files"], 2);
    EXPECT_EQ(object["objects_written"], 300);
    EXPECT_EQ(object["outputs"], json::array({dir.file("split_01.asc"), dir.file("split_02.asc")}));
}

TEST(CliConvert, UnwritableTargetExitsWithFour)
{
    TempDir dir;
    copy_examples(dir);
    const std::string target = (dir.path() / "no" / "such" / "folder" / "crate2.asc").string();
    const CliRun run = run_cli(dir, {"convert", dir.file("crate.asc"), "--target", target, "--json", "--log",
                                  dir.file("log.txt")});
    EXPECT_EQ(run.status, 4) << run.out << run.err;
    EXPECT_FALSE(run.parsed()["converted"].get<bool>());
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
    // LF line ends: one long line without objects, so the hint appears.
    const CliRun lf = run_cli(dir, {"analyze", lf_only.string(), "--log", log});
    EXPECT_EQ(lf.status, 3);
    EXPECT_NE(lf.err.find("--lf-ends"), std::string::npos) << lf.err;
    // Its objects have no mapping vertices: a broken structure ends the analysis.
    const CliRun broken = run_cli(dir, {"analyze", crlf_copy.string(), "--log", log, "--json"});
    EXPECT_EQ(broken.status, 3);
    EXPECT_EQ(broken.parsed()["objects_found"], 3);
}
