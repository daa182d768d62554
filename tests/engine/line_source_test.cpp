#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "format/line_counter.hpp"
#include "format/line_scan.hpp"
#include "format/line_cursor.hpp"
#include "format/line_source.hpp"
#include "format/line_tape.hpp"
#include "format/text.hpp"
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
    EXPECT_FALSE(source.read_failed());
    return lines;
}

// Runs `check` once with each scan the processor has, then goes back to the best.
template <typename Check>
void with_every_scan(Check check)
{
    for (const char* scan : {"avx2", "sse2", "bytes"}) {
        if (!choose_line_scans(scan))
            continue;
        SCOPED_TRACE(scan);
        check();
    }
    choose_line_scans("best");
}

bool starts_named_object(std::string_view line) { return starts_with_lower(line, "named object"); }

bool has_lone_line_feed(const std::string& bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return true;
    return false;
}

} // namespace

TEST(LineSource, EndsLinesAtCrOrCrLfAndAtALoneLfOnlyWhenAsked)
{
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;    // a lone LF stays inside its line
        std::vector<std::string> lf_lines; // a lone LF ends a line too
    };
    const std::string long_line(100000, 'x');
    const std::vector<Case> cases = {
        {"", {}, {}},
        {"a", {"a"}, {"a"}},
        {"a\r\n", {"a"}, {"a"}},
        {"a\r\n\r\n", {"a", ""}, {"a", ""}},
        {"a\rb", {"a", "b"}, {"a", "b"}},
        {"a\r\rb\r\n", {"a", "", "b"}, {"a", "", "b"}},
        {"a\nb\r\nc", {"a\nb", "c"}, {"a", "b", "c"}},
        {"\n", {"\n"}, {""}},
        {"\r\n\n", {"", "\n"}, {"", ""}},
        {"a\nb\r\nc\rd\n", {"a\nb", "c", "d\n"}, {"a", "b", "c", "d"}},
        {"x\xAB\xFFy\r\n", {"x\xAB\xFFy"}, {"x\xAB\xFFy"}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}, {std::string("a\0b", 3)}},
        // CR LF pairs and lines across the ends of blocks and of 64-byte chunks.
        {std::string(63, 'a') + "\r\n" + std::string(200, 'b') + "\r\nend\r" + std::string(70, 'c'),
         {std::string(63, 'a'), std::string(200, 'b'), "end", std::string(70, 'c')},
         {std::string(63, 'a'), std::string(200, 'b'), "end", std::string(70, 'c')}},
        {long_line + "\r\nshort\r\n", {long_line, "short"}, {long_line, "short"}},
    };
    TempDir dir;
    with_every_scan([&] {
        for (std::size_t block : {16u, 17u, 64u, 1u << 20}) {
            for (const auto& c : cases) {
                const auto path = dir.write("scene.asc", c.bytes);
                EXPECT_EQ(read_all(path, {false, block}), c.lines) << "block " << block;
                EXPECT_EQ(read_all(path, {true, block}), c.lf_lines) << "block " << block;
            }
        }
    });
}

TEST(LineSource, LinesBeyondTheBoundAreCutAndTheirRestSkipped)
{
    constexpr std::size_t bound = LineSource::max_line_length;
    struct Case {
        std::size_t length; // of the long line
        bool cut;
    };
    const Case cases[] = {{bound - 1, false}, {bound, false}, {bound + 1, true}, {3 * bound + 5, true}};
    TempDir dir;
    for (const Case& c : cases) {
        for (const char* end : {"\r\n", "\r", ""}) {
            const std::string bytes = "first\r\n" + std::string(c.length, 'z') + end + (*end ? "after\r\n" : "");
            const auto path = dir.write("long.asc", bytes);
            for (std::size_t block : {4096u, 1u << 20}) {
                SCOPED_TRACE(std::to_string(c.length) + " " + std::to_string(block) + " " + std::to_string(*end));
                LineSource source({false, block});
                std::string error;
                ASSERT_TRUE(source.open(path, error));
                std::string_view line;
                ASSERT_TRUE(source.next(line));
                EXPECT_EQ(line, "first");
                EXPECT_FALSE(source.line_cut());
                ASSERT_TRUE(source.next(line));
                EXPECT_EQ(line.size(), std::min(c.length, bound));
                EXPECT_EQ(line.find_first_not_of('z'), std::string_view::npos);
                EXPECT_EQ(source.line_cut(), c.cut);
                if (*end) {
                    ASSERT_TRUE(source.next(line));
                    EXPECT_EQ(line, "after");
                    EXPECT_FALSE(source.line_cut());
                }
                EXPECT_TRUE(source.at_end());
                EXPECT_FALSE(source.next(line));
                EXPECT_FALSE(source.read_failed());
                EXPECT_EQ(source.lines_read(), *end ? 3 : 2);
            }
        }
    }
}

TEST(LineSource, AStopRequestEndsTheReadingAtTheNextBlock)
{
    TempDir dir;
    // A cut line whose rest is still to be skipped, then a line that is never reached.
    const auto path = dir.write("stop.asc", std::string(3 * LineSource::max_line_length, 'z') + "\r\nnext\r\n");
    std::atomic<bool> stop{false};
    LineSource source({false, 4096, &stop});
    std::string error;
    ASSERT_TRUE(source.open(path, error));
    std::string_view line;
    ASSERT_TRUE(source.next(line));
    EXPECT_TRUE(source.line_cut());
    stop = true;
    EXPECT_FALSE(source.next(line));
    EXPECT_TRUE(source.stopped());
    EXPECT_TRUE(source.read_failed()); // nothing may be written from a stopped read
    EXPECT_TRUE(source.at_end());
    EXPECT_EQ(source.failure_message(), "");
}

TEST(LineSource, FilesThatCannotBeReadGiveAClearError)
{
    TempDir dir;
    struct Case {
        std::string path;
        std::string says;
    };
    const Case cases[] = {
        {"/nonexistent/scene.ase", "could not be opened"},
        {dir.path().string(), "could not be opened"},
        {"/dev/null", "is a device"},
    };
    for (const Case& c : cases) {
        LineSource source;
        std::string error;
        EXPECT_FALSE(source.open(c.path, error)) << c.path;
        EXPECT_NE(error.find("\"" + c.path + "\""), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(LineScans, EveryInstructionSetFindsTheSameBytes)
{
    // Line ends, keyword letters and other bytes in a random mix.
    std::string bytes;
    std::minstd_rand random(11);
    const char alphabet[] = {'\r', '\n', '\r', '\n', 'a', 'b', '*', 'N', 'n', '\0'};
    for (int i = 0; i < 5000; ++i)
        bytes += alphabet[random() % sizeof alphabet];
    std::vector<std::uint32_t> expected_ends[2];
    std::vector<std::uint32_t> expected_candidates;
    LineEndTally expected_tally;
    with_every_scan([&] {
        for (std::size_t from : {0u, 1u, 63u, 64u, 100u}) {
            const std::size_t to = bytes.size() - from / 2;
            for (const bool lf : {false, true}) {
                std::vector<std::uint32_t> ends(to - from + line_scan_slack);
                ends.resize(find_line_end_bytes(bytes.data(), from, to, lf, ends.data()));
                std::vector<std::uint32_t> reference;
                for (std::size_t i = from; i < to; ++i)
                    if (bytes[i] == '\r' || (lf && bytes[i] == '\n'))
                        reference.push_back(static_cast<std::uint32_t>(i));
                EXPECT_EQ(ends, reference) << from << lf;
            }
        }
        // Tallied in two uneven parts, as blocks are.
        LineEndTally tally;
        std::vector<std::uint32_t> candidates(bytes.size() + line_scan_slack);
        std::size_t found = tally_line_ends(bytes.data(), 0, 1001, 'n', 'N', tally, candidates.data());
        found += tally_line_ends(bytes.data(), 1001, bytes.size(), 'n', 'N', tally, candidates.data() + found);
        candidates.resize(found);
        if (expected_candidates.empty()) {
            expected_candidates = candidates;
            expected_tally = tally;
            EXPECT_FALSE(candidates.empty());
        }
        EXPECT_EQ(candidates, expected_candidates);
        EXPECT_EQ(tally.carriage_returns, expected_tally.carriage_returns);
        EXPECT_EQ(tally.line_feeds, expected_tally.line_feeds);
        EXPECT_EQ(tally.line_feeds_after_carriage_return, expected_tally.line_feeds_after_carriage_return);
    });
}

TEST(LineCounter, AgreesWithTheLineReaderOnEveryLayoutAndRule)
{
    // Object starts at the file start, after CR, after CR LF, after a lone LF
    // (a line start only where LF ends lines), never in the middle of a line;
    // block ends are crossed by a long file of short lines.
    std::string many;
    for (int i = 0; i < 40000; ++i)
        many += (i % 7 == 0 ? "Named object: \"o\"\r\n" : "Vertex 1: X:0\r\n");
    std::string many_lf = many;
    std::erase(many_lf, '\r');
    const std::vector<std::string> files = {
        "",
        "named object",
        "Named object\r\nNAMED OBJECT\r\n",
        "x\rNamed object\r\n\nNamed object\n",
        "x\nNamed object\r\n xNamed object",
        "x\nNamed object\nNamed object",
        "\nNamed object\n\n",
        "Named\nobject\n",
        std::string(4094, 'x') + "\r\nNamed object\r\n",
        std::string(4095, 'x') + "\r\nNamed object\r\n",
        std::string(4090, 'x') + "\nNamed object\n",
        std::string(4096, 'x') + "\rNamed object",
        std::string(std::string(1, '\0') + "Named object\r\n"),
        "a\r\n",
        "a\r\n\n",
        "a\n",
        "a\r",
        "\r\n\r\n",
        many,
        many + "tail",
        many_lf,
        std::string(1 << 20, 'x') + "\r\nNamed object\r\n",
        std::string((1 << 20) - 70, 'x') + "\nNamed object\n",
        std::string((1 << 20) - 5, 'x') + "\r\nNamed object\r\n",
    };
    TempDir dir;
    with_every_scan([&] {
        for (std::size_t k = 0; k < files.size(); ++k) {
            const std::string path = dir.write("f.asc", files[k]);
            const bool no_cr = files[k].find('\r') == std::string::npos;
            const bool has_lf = files[k].find('\n') != std::string::npos;
            for (const bool asked : {false, true}) {
                // The rule the count finds: asked for, or a file with LF and no CR.
                const bool lf_rule = asked || (no_cr && has_lf);
                LineCount expected;
                std::string error;
                LineSource source({lf_rule});
                ASSERT_TRUE(source.open(path, error));
                std::string_view line;
                while (source.next(line)) {
                    ++expected.lines;
                    if (starts_named_object(line))
                        ++expected.object_starts;
                }
                for (std::size_t block : {256u, 4096u, 1u << 20}) {
                    LineCount counted;
                    ASSERT_EQ(count_lines_and_objects(path, {asked, block}, {starts_named_object, 'n', 'N'}, counted,
                                                      error),
                              CountEnd::Counted);
                    SCOPED_TRACE("file " + std::to_string(k) + " block " + std::to_string(block) + " asked " +
                                 std::to_string(asked));
                    EXPECT_EQ(counted.lines, expected.lines);
                    EXPECT_EQ(counted.object_starts, expected.object_starts);
                    EXPECT_EQ(counted.lf_ends_line, lf_rule);
                    EXPECT_EQ(counted.lone_line_feeds, has_lone_line_feed(files[k]));
                }
            }
        }
    });
}

// Every pass of one scan reads the file's lines through the tape: an earlier
// pass from the first line, then the last pass with a follower that falls
// behind it or runs ahead of it, across many block ends (where kept lines are
// copied). A bound too small for a pass turns the tape un-whole; one too
// small for the follower drops it, and what it read until then is right.
TEST(LineTape, EveryPassReadsTheFileWhateverItsPaceAndTheBound)
{
    TempDir dir;
    std::mt19937 random(7);
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += (i % 50 == 0 ? "Named object: " : "") + std::string(random() % 90, 'a' + static_cast<char>(i % 26)) + "\r\n";
    const std::string path = dir.write("scene.asc", bytes);
    const LineSourceOptions options{false, 4096};
    const std::vector<std::string> expected = read_all(path, options);
    struct Case {
        std::size_t bound;
        int follower_lines; // lines the follower reads each time the pass reads one
        bool whole, follower_kept;
    };
    for (const Case& c : {Case{1 << 20, 1, true, true}, Case{1 << 20, 0, true, true}, Case{1 << 20, 3, true, true},
                          Case{1 << 14, 1, true, true}, Case{1 << 14, 0, true, false}, Case{1 << 8, 1, false, false}}) {
        SCOPED_TRACE(std::to_string(c.bound) + " " + std::to_string(c.follower_lines));
        LineSource source(options);
        std::string error;
        ASSERT_TRUE(source.open(path, error));
        ObjectStartTally tally{{starts_named_object, 'n', 'N'}};
        LineTape tape(source, tally, c.bound);
        LineCursor first(tape);
        for (int i = 0; i < 200 && first.read(); ++i)
            EXPECT_EQ(first.line(), expected[static_cast<std::size_t>(first.number() - 1)]);
        ASSERT_EQ(tape.whole(), c.whole);
        if (!c.whole)
            continue;
        LineCursor pass(tape), follower(tape);
        tape.begin_last_pass(pass, &follower);
        std::vector<std::string> passed, followed;
        auto follow = [&](int lines) {
            for (int k = 0; k < lines && follower.read(); ++k)
                followed.emplace_back(follower.line());
        };
        while (pass.read()) {
            passed.emplace_back(pass.line());
            follow(c.follower_lines);
        }
        follow(1 << 30);
        EXPECT_EQ(passed, expected);
        EXPECT_EQ(tape.follower_dropped(), !c.follower_kept);
        ASSERT_LE(followed.size(), expected.size());
        EXPECT_EQ(followed, std::vector<std::string>(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(followed.size())));
        if (c.follower_kept) {
            EXPECT_EQ(followed.size(), expected.size());
        }
        EXPECT_EQ(tally.count, 60);
    }
}
