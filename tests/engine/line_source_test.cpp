#include <gtest/gtest.h>

#include "format/line_source.hpp"
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

#include "format/line_counter.hpp"
#include "format/text.hpp"

namespace {

bool starts_named_object(std::string_view line) { return trevanix::starts_with_lower(line, "named object"); }

} // namespace

TEST(LineCounter, AgreesWithTheLineReaderOnEveryLayout)
{
    // Object starts at the file start, after CR, after CR LF, but not after a
    // lone LF or in the middle of a line; the block margins are crossed by a
    // long file of short lines.
    std::string many;
    for (int i = 0; i < 40000; ++i)
        many += (i % 7 == 0 ? "Named object: \"o\"\r\n" : "Vertex 1: X:0\r\n");
    const std::vector<std::string> files = {
        "",
        "named object",
        "Named object\r\nNAMED OBJECT\r\n",
        "x\rNamed object\r\n\nNamed object\n",
        "x\nNamed object\r\n xNamed object",
        std::string(4094, 'x') + "\r\nNamed object\r\n",
        std::string(4095, 'x') + "\r\nNamed object\r\n",
        std::string(4090, 'x') + "\r\nNamed object\r\n",
        std::string(4096, 'x') + "\rNamed object",
        std::string(std::string(1, '\0') + "Named object\r\n"),
        "a\r\n",
        "a\r\n\n",
        "a\r",
        "\r\n\r\n",
        many,
        many + "tail",
        std::string(1 << 20, 'x') + "\r\nNamed object\r\n",
        std::string((1 << 20) - 70, 'x') + "\r\nNamed object\r\n",
        std::string((1 << 20) - 5, 'x') + "\r\nNamed object\r\n",
    };
    TempDir dir;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string path = dir.write("f.asc", files[k]);
        LineSource source;
        std::string error;
        ASSERT_TRUE(source.open(path, error));
        LineCount expected;
        std::string_view line;
        while (source.next(line)) {
            ++expected.lines;
            if (starts_named_object(line))
                ++expected.object_starts;
        }
        // Mapped windows of one page and of 64 MiB, and plain reads.
        for (const CountOptions options : {CountOptions{}, CountOptions{false, 4096, true}, CountOptions{false, 0, false}}) {
            LineCount counted;
            ASSERT_TRUE(count_lines_and_objects(path, options, {starts_named_object, 'n', 'N'}, counted, error));
            EXPECT_EQ(counted.lines, expected.lines) << "file " << k << " window " << options.window_size;
            EXPECT_EQ(counted.object_starts, expected.object_starts) << "file " << k << " window " << options.window_size;
        }
    }
}
