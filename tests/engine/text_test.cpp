#include <gtest/gtest.h>

#include <cmath>

#include "format/text.hpp"
#include "support/comma_locale.hpp"

using namespace trevanix;

TEST(PrefixTests, CompareTheFirstCharactersAfterCaseMapping)
{
    struct Case {
        const char* line;
        const char* keyword;
        bool lower, upper;
    };
    const Case cases[] = {
        {"Named Object: \"a\"", "named object", true, false},
        {"NAMED OBJECT", "named object", true, false},
        {"named objec", "named object", false, false},
        {" named object", "named object", false, false},
        {"*geomobject {", "*GEOMOBJECT", false, true},
        {"\t\t*mesh_numvertex 8", "\t\t*MESH_NUMVERTEX ", false, true},
        {"\t*MESH_NUMVERTEX 8", "\t\t*MESH_NUMVERTEX ", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(starts_with_lower(c.line, c.keyword), c.lower) << c.line;
        EXPECT_EQ(starts_with_upper(c.line, c.keyword), c.upper) << c.line;
    }
    EXPECT_TRUE(starts_with_exact("\t\t*NUMSUBMTLS 3", "\t\t*NUMSUBMTLS "));
    EXPECT_FALSE(starts_with_exact("\t\t*numsubmtls 3", "\t\t*NUMSUBMTLS "));
}

TEST(PrefixTests, BytesAboveAsciiAreNeverCaseMapped)
{
    EXPECT_FALSE(starts_with_lower("\xC9t", "\xE9t"));
    EXPECT_TRUE(starts_with_lower("\xC9T", "\xC9t"));
    // Every byte beside every letter, in keywords long enough to be compared
    // eight characters at a time: only ASCII letters change case.
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool capital = byte >= 'A' && byte <= 'Z';
        const bool small = byte >= 'a' && byte <= 'z';
        const std::string line = std::string("SMOOTHIN") + c + "G: 1";
        const std::string lower_keyword = std::string("smoothin") + (capital ? static_cast<char>(byte + 32) : c) + "g";
        const std::string upper_keyword = std::string("SMOOTHIN") + (small ? static_cast<char>(byte - 32) : c) + "G";
        EXPECT_TRUE(starts_with_lower(line, lower_keyword)) << byte;
        EXPECT_TRUE(starts_with_upper(line, upper_keyword)) << byte;
        // A capital in a lower-case keyword (a small letter in an upper-case
        // one), or another byte, never matches.
        const bool letter = capital || small;
        const char capital_form = static_cast<char>(letter ? byte & ~0x20 : byte ^ 0x20);
        const char small_form = static_cast<char>(letter ? byte | 0x20 : byte ^ 0x20);
        EXPECT_FALSE(starts_with_lower(line, std::string("smoothin") + capital_form + "g")) << byte;
        EXPECT_FALSE(starts_with_upper(line, std::string("SMOOTHIN") + small_form + "G")) << byte;
    }
}

TEST(Positions, AreOneBasedAndCaseSensitive)
{
    EXPECT_EQ(position_of("Named object: \"box\"", '"'), 15u);
    EXPECT_EQ(position_of("Named object: \"box\"", '"', 16), 19u);
    EXPECT_EQ(position_of("abc", '"'), 0u);
    EXPECT_EQ(position_of("Tri-mesh, Vertices: 8     Faces: 12", "Faces"), 27u);
    EXPECT_EQ(position_of("Tri-mesh, Vertices: 8     Faces: 12", "faces"), 0u);
    EXPECT_EQ(position_of("abc", "c", 4), 0u);
    EXPECT_EQ(position_of("", 'x'), 0u);
    // Keywords at every place of lines of every length, found as a plain search finds them.
    const std::string keyword = "*MESH_MTLID";
    for (std::size_t length = 0; length < 80; ++length) {
        for (std::size_t at = 0; at + keyword.size() <= length + keyword.size(); at += 3) {
            std::string line(length, '*');
            line.insert(std::min(at, line.size()), keyword);
            line[line.size() - 1] = 'D';
            for (std::size_t from : {1u, 2u, 17u}) {
                const auto expected = std::string_view(line).find(keyword, from - 1);
                EXPECT_EQ(position_of(line, keyword, from), expected == std::string_view::npos ? 0 : expected + 1)
                    << line << " from " << from;
            }
        }
    }
    EXPECT_EQ(mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(mid("abcdef", 7, 1), "");
    EXPECT_EQ(mid("abcdef", 3), "cdef");
}

TEST(NumberValue, ReadsLenientlyLikeTheSceneReaders)
{
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"8", 8},
        {" 8     F", 8},
        {"\t 12", 12},
        {"1 2 3", 123},
        {"1\n2", 12},
        {"-3.5", -3.5},
        {"+7", 7},
        {"- 4", -4},
        {".5", 0.5},
        {"1e3", 1000},
        {"1E+2x", 100},
        {"2.5d1", 25},
        {"1e", 1},
        {"12abc", 12},
        {"1.2.3", 1.2},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {".", 0},
        {"0065535", 65535},
        {"\"12\"", 0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(number_value(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberValue, HugeValuesSaturateInsteadOfFailing)
{
    EXPECT_TRUE(std::isinf(number_value("1e999999")));
    EXPECT_EQ(number_value("-1e999999"), -HUGE_VAL);
    EXPECT_EQ(number_value("0.001e312"), HUGE_VAL);
    EXPECT_EQ(number_value("1e-999999"), 0.0);
    EXPECT_EQ(number_value("1000e-320"), 1e-317) << "below the normal range, still a value";
    EXPECT_EQ(number_value("100000e-330"), 0.0) << "below the smallest double";
    const std::string long_digits(400, '9');
    EXPECT_GT(number_value(long_digits), 1e300);
    EXPECT_EQ(number_value(long_digits + ".5"), HUGE_VAL);
}

TEST(NumberValue, ReadsTheSameUnderACommaDecimalLanguage)
{
    trevanix::testing::CommaDecimalLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma can be had here";
    for (const auto& [text, value] : {std::pair{"0.6", 0.6}, {" -2.5e1 ", -25.0}, {"0,6", 0.0}, {"1.0", 1.0}})
        EXPECT_DOUBLE_EQ(number_value(text), value) << text;
}

TEST(IntegerConversion, RoundsHalvesToEvenAndRefusesOverflow)
{
    EXPECT_EQ(to_int16(2.5), 2);
    EXPECT_EQ(to_int16(3.5), 4);
    EXPECT_EQ(to_int16(-2.5), -2);
    EXPECT_EQ(to_int16(0.49), 0);
    EXPECT_EQ(to_int16(32767.0), 32767);
    EXPECT_FALSE(to_int16(32767.5).has_value()); // rounds to 32768
    EXPECT_EQ(to_int16(-32768.0), -32768);
    EXPECT_FALSE(to_int16(-32769.0).has_value());
    EXPECT_FALSE(to_int16(NAN).has_value());
    EXPECT_EQ(to_int32(2147483647.0), 2147483647);
    EXPECT_FALSE(to_int32(2147483648.0).has_value());
    EXPECT_FALSE(to_int64(9.3e18).has_value());
}

TEST(Formatting, WritesPlainDecimal)
{
    EXPECT_EQ(format_number(12.0), "12");
    EXPECT_EQ(format_number(-3.0), "-3");
    EXPECT_EQ(format_number(0.0), "0");
    EXPECT_EQ(format_number(2.5), "2.5");
    EXPECT_EQ(format_number(std::int64_t{65536}), "65536");
}
