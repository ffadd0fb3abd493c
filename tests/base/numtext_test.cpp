#include "base/numtext.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#include "base/log.h"
#include "test_support.h"

namespace {

using namespace smt;
const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::nan("");

// printf's own "%0.4f" in the C locale, the reference FormatMm must equal.
std::string printfMm(double v) {
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    locale_t old = uselocale(c);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%0.4f", v);
    uselocale(old);
    freelocale(c);
    return buf;
}

TEST(FormatMm, MatchesPrintfOnRoundingEdgesSpecialAndManyValues) {
    for (double v : {0.0, -0.0, 0.00005, -0.00005, 1.23455, 1.00005, 0.15, 2.5e-5, -2.5e-5, 0.5, 1e20, -1e20, 1e300,
                     123456789.123456789, 12.3451, -12.5001, 0.99995, 9.99995, -0.00004, kInf, -kInf, kNan})
        EXPECT_EQ(FormatMm(v), printfMm(v)) << v;
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mm(-2000.0, 2000.0);
    for (int i = 0; i < 20000; ++i) {
        // Values on the half-way points of the fourth decimal are the hard ones.
        const double v = i % 2 ? mm(rng) : std::round(mm(rng) * 10000.0) / 10000.0 + 0.00005;
        ASSERT_EQ(FormatMm(v), printfMm(v)) << v;
    }
}

// Lines of any length through FormatCV: the log tests.
TEST(FormatIntAndFormatC, PlainDecimal) {
    for (auto [v, text] : {std::pair<long long, const char*>{0, "0"}, {-5, "-5"}, {1234567, "1234567"},
                           {LLONG_MIN, "-9223372036854775808"}})
        EXPECT_EQ(FormatInt(v), text);
    EXPECT_EQ(FormatC("%x %04d", 0x53, 7), "53 0007");
}

TEST(Numbers, CommaLocaleInTheProcessChangesNeitherNumbersNorLogLines) {
    const std::string old = setlocale(LC_ALL, nullptr);
    char buf[16] = "";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "de_AT.UTF-8"}) {
        if (setlocale(LC_ALL, name)) std::snprintf(buf, sizeof buf, "%0.1f", 1.5);
        if (std::string(buf) == "1,5") break;
    }
    if (std::string(buf) != "1,5") {
        setlocale(LC_ALL, old.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(FormatMm(1.5), "1.5000");
    EXPECT_EQ(FormatMm(-1234.56789), "-1234.5679");
    EXPECT_EQ(FormatC("%0.4f\t%d\t%.2f", 1.5, 1234567, 0.25), "1.5000\t1234567\t0.25");
    EXPECT_DOUBLE_EQ(AtoF("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(AtoF("1,5"), 1.0);  // the C rules stop at the comma
    EXPECT_EQ(TeachValue(12345, 1000), "12.3451");
    EXPECT_EQ(AtoI("1.234"), 1);
    smt::test::TempDir dir;
    {
        LogStream log(dir.File("log.txt"));
        LogPrintf(&log, true, "%0.4f %.1f", 1.5, -0.25);
    }
    EXPECT_EQ(smt::test::ReadBytes(dir.File("log.txt")), "1.5000 -0.2\n");
    // The locale is still the process's own afterwards: the functions switch per call only.
    std::snprintf(buf, sizeof buf, "%0.1f", 1.5);
    EXPECT_STREQ(buf, "1,5");
    setlocale(LC_ALL, old.c_str());
}

TEST(AtoIAndAtoF, FollowTheRuntimePrefixRules) {
    struct Case {
        std::string_view text;
        int i;
        double f;
    };
    const Case cases[] = {
        {"获取配置失败", 0, 0.0}, {"", 0, 0.0},           {"-", 0, 0.0},          {".", 0, 0.0},
        {" - 5", 0, 0.0},          {"0x1A", 0, 26.0},       {"3.7", 3, 3.7},        {"-3.7", -3, -3.7},
        {"  -12abc", -12, -12.0},  {"\t\n\v\f\r 5", 5, 5.0}, {"+7", 7, 7.0},       {"007", 7, 7.0},
        {"12 34", 12, 12.0},       {"12.5mm", 12, 12.5},    {"  -1.5e3x", -1, -1500.0}, {"1e", 1, 1.0},
        {"1.5e+", 1, 1.5},         {".5", 0, 0.5},          {"+2.", 2, 2.0},        {"\t-0.0001\t", 0, -0.0001},
        {"12.3451", 12, 12.3451},  {"2147483647", INT_MAX, 2147483647.0},       {"-2147483648", INT_MIN, -2147483648.0},
        {std::string_view("1.25", 3), 1, 1.2},  // views are not read past their end
    };
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    for (const Case& k : cases) {
        const std::string copy(k.text);
        EXPECT_EQ(AtoI(k.text), k.i) << copy;
        EXPECT_EQ(AtoF(k.text), k.f) << copy;
        // The runtime itself agrees.
        EXPECT_EQ(AtoI(k.text), std::atoi(copy.c_str())) << copy;
        EXPECT_EQ(AtoF(k.text), strtod_l(copy.c_str(), nullptr, c)) << copy;
    }
    freelocale(c);
    EXPECT_EQ(AtoF("1" + std::string(99, '0')), 1e99);
    EXPECT_EQ(AtoF(std::string(80, ' ') + "2.5"), 2.5);
    // Out of range integers saturate instead of wrapping.
    EXPECT_EQ(AtoI("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(AtoI("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(AtoI("4294967297"), INT_MAX);
}

// Unlike the prefix rules above, a whole-text number takes nothing else.
TEST(ParseWhole, TakesOneWholeNumberAndNothingElse) {
    int i = 7;
    double d = 7;
    EXPECT_TRUE(ParseWhole("+42", i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(ParseWhole("-3.5e2", d));
    EXPECT_EQ(d, -350.0);
    EXPECT_TRUE(ParseWhole("800.", d));
    EXPECT_EQ(d, 800.0);
    for (const char* bad : {"", "+", "12mm", " 12", "12 ", "3.7", "++1", "2147483648", "0x10"}) {
        EXPECT_FALSE(ParseWhole(bad, i)) << bad;
    }
    EXPECT_EQ(i, 42);  // untouched by a refusal
    for (const char* bad : {"", "inf", "nan", "1e999", "1.5.2", "1,5"}) EXPECT_FALSE(ParseWhole(bad, d)) << bad;
    EXPECT_EQ(d, 800.0);
}

TEST(Rows, SplitAndJoin) {
    using Cells = std::vector<std::string>;
    EXPECT_EQ(JoinRow({"a", "b", "c"}), "a\tb\tc\t");
    EXPECT_EQ(JoinRow({}), "");
    EXPECT_EQ(JoinRow({""}), "\t");
    EXPECT_EQ(SplitRow("a\tb\tc\t"), (Cells{"a", "b", "c"}));
    EXPECT_EQ(SplitRow(""), Cells{});
    EXPECT_EQ(SplitRow("\t\t"), (Cells{"", ""}));
    EXPECT_EQ(SplitRow("a\tb"), (Cells{"a"}));
    const Cells cells{"E1", "", "贴片", "12.5000", " x "};
    EXPECT_EQ(SplitRow(JoinRow(cells)), cells);
}

TEST(Pulses, TermsTruncateTowardZeroAndSumsSaturate) {
    const std::tuple<double, double, std::int32_t> toPulses[] = {
        {1.15, 100, 114}, {-0.1, 80, -8},         {-1.15, 100, -114},         {0.999, 1, 0},
        {-0.999, 1, 0},   {12.5, 400, 5000},      {kNan, 100, 0},             {1.0, kNan, 0},
        {1e10, 1, INT32_MAX}, {-1e10, 1, INT32_MIN}, {kInf, 1, INT32_MAX},    {2147483647.0, 1, INT32_MAX},
        {-2147483648.0, 1, INT32_MIN}, {2.3, 100, 229},
    };
    for (const auto& [mm, factor, pulses] : toPulses) EXPECT_EQ(ToPulses(mm, factor), pulses) << mm << " x " << factor;
    // Term by term: two 1.15 mm terms give 228, not the 229 of the summed length.
    EXPECT_EQ(AddPulses({ToPulses(1.15, 100), ToPulses(1.15, 100)}), 228);
    EXPECT_EQ(AddPulses({100, -30, 5}), 75);
    EXPECT_EQ(AddPulses({}), 0);
    EXPECT_EQ(AddPulses({INT32_MAX, 1}), INT32_MAX);
    EXPECT_EQ(AddPulses({INT32_MIN, -1}), INT32_MIN);
    EXPECT_EQ(AddPulses({INT64_MAX, INT64_MAX}), INT32_MAX);
    EXPECT_EQ(AddPulses({INT64_MIN, INT64_MIN}), INT32_MIN);
    EXPECT_EQ(AddPulses({INT64_MAX, INT64_MIN, 3}), 2);
}

// Moves away from zero after reading back; a zero or broken factor gives 0, never "inf".
TEST(TeachValue, RoundTripsThroughTheFieldText) {
    const std::tuple<std::int64_t, double, const char*> pulses[] = {
        {12345, 1000, "12.3451"}, {-5000, 400, "-12.5001"}, {0, 400, "0.0000"},
        {1, 100000, "0.0000"},  // reads back as 0: stays 0
        {5, 100000, "0.0002"},  // 0.00005 rounds up to 0.0001 first
        {100, 3, "33.3334"},      {12345, 0, "0.0000"},     {0, 0, "0.0000"},   {1, kNan, "0.0000"},
    };
    for (const auto& [p, factor, text] : pulses) EXPECT_EQ(TeachValue(p, factor), text) << p << " / " << factor;
    for (auto [mm, text] : {std::pair{0.01, "0.0101"}, {-0.01, "-0.0101"}, {12.34567, "12.3458"}, {0.0, "0.0000"},
                            {kInf, "0.0000"}, {kNan, "0.0000"}})
        EXPECT_EQ(TeachValueMm(mm), text) << mm;
}

} // namespace
