#include "app/numtext.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

using smt::AddPulses;
using smt::AtoF;
using smt::AtoI;
using smt::FormatC;
using smt::FormatInt;
using smt::FormatMm;
using smt::JoinRow;
using smt::SplitRow;
using smt::TeachValue;
using smt::TeachValueMm;
using smt::ToPulses;

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

// Sets a process locale whose decimal separator is a comma for one test.
class CommaLocale {
public:
    CommaLocale() {
        m_old = setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "de_AT.UTF-8"}) {
            if (setlocale(LC_ALL, name)) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%0.1f", 1.5);
                if (std::string(buf) == "1,5") {
                    m_ok = true;
                    return;
                }
            }
        }
        setlocale(LC_ALL, m_old.c_str());
    }
    ~CommaLocale() { setlocale(LC_ALL, m_old.c_str()); }
    bool Ok() const { return m_ok; }

private:
    std::string m_old;
    bool m_ok = false;
};

TEST(FormatMm, MatchesPrintfOnRoundingEdgesAndSpecialValues) {
    const double values[] = {0.0,     -0.0,    0.00005,  -0.00005, 1.23455,  1.00005, 0.15,
                             2.5e-5,  -2.5e-5, 0.5,      1e20,     -1e20,    1e300,   123456789.123456789,
                             12.3451, -12.5001, 0.99995, 9.99995,  -0.00004};
    for (double v : values) EXPECT_EQ(FormatMm(v), printfMm(v)) << v;
    EXPECT_EQ(FormatMm(-0.0), "-0.0000");
    EXPECT_EQ(FormatMm(1.5), "1.5000");
    EXPECT_EQ(FormatMm(-12.5), "-12.5000");
    EXPECT_EQ(FormatMm(std::numeric_limits<double>::infinity()), printfMm(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(FormatMm(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(FormatMm(std::nan("")), printfMm(std::nan("")));
}

TEST(FormatMm, MatchesPrintfOnManyValues) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mm(-2000.0, 2000.0);
    for (int i = 0; i < 20000; ++i) {
        // Values on the half-way points of the fourth decimal are the hard ones.
        const double v = i % 2 ? mm(rng) : std::round(mm(rng) * 10000.0) / 10000.0 + 0.00005;
        ASSERT_EQ(FormatMm(v), printfMm(v)) << v;
    }
}

TEST(FormatInt, WritesPlainDecimal) {
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(-5), "-5");
    EXPECT_EQ(FormatInt(1234567), "1234567");
    EXPECT_EQ(FormatInt(LLONG_MIN), "-9223372036854775808");
}

TEST(FormatC, FitsAnyLength) {
    const std::string longText(5000, 'x');
    const std::string out = FormatC("[%s|%d]", longText.c_str(), 42);
    EXPECT_EQ(out, "[" + longText + "|42]");
    EXPECT_EQ(FormatC("%s", ""), "");
    EXPECT_EQ(FormatC("%x %04d", 0x53, 7), "53 0007");
}

TEST(Numbers, CommaLocaleInTheProcessChangesNothing) {
    CommaLocale german;
    if (!german.Ok()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(FormatMm(1.5), "1.5000");
    EXPECT_EQ(FormatMm(-1234.56789), "-1234.5679");
    EXPECT_EQ(FormatC("%0.4f\t%d\t%.2f", 1.5, 1234567, 0.25), "1.5000\t1234567\t0.25");
    EXPECT_DOUBLE_EQ(AtoF("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(AtoF("1,5"), 1.0);  // the C rules stop at the comma
    EXPECT_EQ(TeachValue(12345, 1000), "12.3451");
    EXPECT_EQ(AtoI("1.234"), 1);
    // The locale is still the German one afterwards: we only switch per call.
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0.1f", 1.5);
    EXPECT_STREQ(buf, "1,5");
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
        // Views are not read past their end.
        {std::string_view("1.25", 3), 1, 1.2},
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

TEST(Rows, SplitAndJoin) {
    EXPECT_EQ(JoinRow({"a", "b", "c"}), "a\tb\tc\t");
    EXPECT_EQ(JoinRow({}), "");
    EXPECT_EQ(JoinRow({""}), "\t");
    EXPECT_EQ(SplitRow("a\tb\tc\t"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitRow(""), std::vector<std::string>{});
    EXPECT_EQ(SplitRow("\t\t"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(SplitRow("a\tb"), (std::vector<std::string>{"a"}));
    const std::vector<std::string> cells{"E1", "", "贴片", "12.5000", " x "};
    EXPECT_EQ(SplitRow(JoinRow(cells)), cells);
}

TEST(ToPulses, TruncatesEachTermTowardZeroAndSaturates) {
    EXPECT_EQ(ToPulses(1.15, 100), 114);
    EXPECT_EQ(ToPulses(-0.1, 80), -8);
    EXPECT_EQ(ToPulses(-1.15, 100), -114);
    EXPECT_EQ(ToPulses(0.999, 1), 0);
    EXPECT_EQ(ToPulses(-0.999, 1), 0);
    EXPECT_EQ(ToPulses(12.5, 400), 5000);
    EXPECT_EQ(ToPulses(std::nan(""), 100), 0);
    EXPECT_EQ(ToPulses(1.0, std::nan("")), 0);
    EXPECT_EQ(ToPulses(1e10, 1), INT32_MAX);
    EXPECT_EQ(ToPulses(-1e10, 1), INT32_MIN);
    EXPECT_EQ(ToPulses(std::numeric_limits<double>::infinity(), 1), INT32_MAX);
    EXPECT_EQ(ToPulses(2147483647.0, 1), INT32_MAX);
    EXPECT_EQ(ToPulses(-2147483648.0, 1), INT32_MIN);
    // Term by term: two 1.15 mm terms give 228, not the 229 of the summed length.
    EXPECT_EQ(AddPulses({ToPulses(1.15, 100), ToPulses(1.15, 100)}), 228);
    EXPECT_EQ(ToPulses(2.3, 100), 229);
}

TEST(AddPulses, Saturates) {
    EXPECT_EQ(AddPulses({100, -30, 5}), 75);
    EXPECT_EQ(AddPulses({}), 0);
    EXPECT_EQ(AddPulses({INT32_MAX, 1}), INT32_MAX);
    EXPECT_EQ(AddPulses({INT32_MIN, -1}), INT32_MIN);
    EXPECT_EQ(AddPulses({INT64_MAX, INT64_MAX}), INT32_MAX);
    EXPECT_EQ(AddPulses({INT64_MIN, INT64_MIN}), INT32_MIN);
    EXPECT_EQ(AddPulses({INT64_MAX, INT64_MIN, 3}), 2);
}

TEST(TeachValue, MovesAwayFromZeroAfterReadingBack) {
    EXPECT_EQ(TeachValue(12345, 1000), "12.3451");
    EXPECT_EQ(TeachValue(-5000, 400), "-12.5001");
    EXPECT_EQ(TeachValue(0, 400), "0.0000");
    EXPECT_EQ(TeachValue(1, 100000), "0.0000");  // reads back as 0: stays 0
    EXPECT_EQ(TeachValue(5, 100000), "0.0002");   // 0.00005 rounds up to 0.0001 first
    EXPECT_EQ(TeachValue(100, 3), "33.3334");
    EXPECT_EQ(TeachValueMm(0.01), "0.0101");
    EXPECT_EQ(TeachValueMm(-0.01), "-0.0101");
    EXPECT_EQ(TeachValueMm(12.34567), "12.3458");
    EXPECT_EQ(TeachValueMm(0.0), "0.0000");
}

TEST(TeachValue, ZeroOrBrokenFactorGivesZero) {
    // A missing pulse factor reads as 0; the field must not become "inf".
    EXPECT_EQ(TeachValue(12345, 0), "0.0000");
    EXPECT_EQ(TeachValue(0, 0), "0.0000");
    EXPECT_EQ(TeachValue(1, std::nan("")), "0.0000");
    EXPECT_EQ(TeachValueMm(std::numeric_limits<double>::infinity()), "0.0000");
    EXPECT_EQ(TeachValueMm(std::nan("")), "0.0000");
}

} // namespace
