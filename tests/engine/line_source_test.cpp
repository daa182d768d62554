#include <gtest/gtest.h>

#include "analysis/line_source.hpp"
#include "support/temp_dir.hpp"

using namespace trevanix;
using trevanix::testing::TempDir;

namespace {

std::vector<std::string> read_all(const std::string& path, LineSourceOptions options)
{
    LineSource source(options);
    std::string error;
    EXPECT_TRUE(source.open(path, error)) << error;
    std::vector<std::string> lines;
    std::string_view line;
    while (source.next(line))
        lines.emplace_back(line);
    EXPECT_TRUE(source.at_end());
    return lines;
}

} // namespace

TEST(LineSource, EndsLinesAtCrOrCrLfButNotAtALoneLf)
{
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\rb", {"a", "b"}},
        {"a\r\rb\r\n", {"a", "", "b"}},
        {"a\nb\r\nc", {"a\nb", "c"}},
        {"\n", {"\n"}},
        {"\r\n\n", {"", "\n"}},
        {"x\xAB\xFFy\r\n", {"x\xAB\xFFy"}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
    };
    TempDir dir;
    // Tiny blocks put the CR LF pairs and long lines across block ends.
    for (std::size_t block : {16u, 17u, 1u << 20}) {
        for (const auto& c : cases) {
            const auto path = dir.write("scene.asc", c.bytes);
            EXPECT_EQ(read_all(path, {false, block, 4096, false}), c.lines) << "block " << block;
            EXPECT_EQ(read_all(path, {false, block, 4096, true}), c.lines) << "mapped";
        }
    }
}

TEST(LineSource, LinesCrossingMappedWindowsAreWhole)
{
    TempDir dir;
    // Place a CR LF pair and a long line across the 4096-byte window ends.
    const std::string first(4095, 'a');
    const std::string second(9000, 'b');
    const std::string bytes = first + "\r\n" + second + "\r\nend\r" + std::string(3000, 'c');
    const auto path = dir.write("windows.asc", bytes);
    const std::vector<std::string> expected = {first, second, "end", std::string(3000, 'c')};
    for (bool mapped : {true, false})
        EXPECT_EQ(read_all(path, {false, 64, 4096, mapped}), expected) << mapped;
}

TEST(LineSource, CanAlsoEndLinesAtALoneLineFeed)
{
    TempDir dir;
    const auto path = dir.write("unix.asc", "a\nb\r\nc\rd\n");
    for (bool mapped : {true, false})
        EXPECT_EQ(read_all(path, {true, 16, 4096, mapped}), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(LineSource, NoticesLoneLineFeeds)
{
    TempDir dir;
    EXPECT_TRUE(file_has_lone_line_feed(dir.write("a.ase", "one\r\ntwo\n")));
    EXPECT_FALSE(file_has_lone_line_feed(dir.write("b.ase", "one\r\ntwo\r\n")));
    EXPECT_FALSE(file_has_lone_line_feed(dir.file("missing.ase")));
}

TEST(LineSource, LongLinesGrowTheBlock)
{
    TempDir dir;
    const std::string long_line(100000, 'x');
    const auto path = dir.write("long.asc", long_line + "\r\nshort\r\n");
    for (bool mapped : {true, false})
        EXPECT_EQ(read_all(path, {false, 64, 4096, mapped}), (std::vector<std::string>{long_line, "short"}));
}

TEST(LineSource, MissingFileGivesAClearError)
{
    LineSource source;
    std::string error;
    EXPECT_FALSE(source.open("/nonexistent/scene.ase", error));
    EXPECT_NE(error.find("/nonexistent/scene.ase"), std::string::npos);
    EXPECT_NE(error.find("could not be opened"), std::string::npos);
}
