#include "common/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

using namespace qelvar;

struct FormCase {
    double value;
    const char* text;
};

TEST(LeadingNumber, ReadsAsFarAsANumberGoes) {
    for (auto [v, t] : {FormCase{-12.5, "  -12.5abc"},
                        {.5, ".5"},
                        {3, "+3 dB"},
                        {1000, "1e3"},
                        {2, "2e"},
                        {-20, "-20."},
                        {0, ""},
                        {0, "abc"},
                        {0, "-"},
                        {0, "."}})
        EXPECT_DOUBLE_EQ(leadingNumber(t), v) << t;
    EXPECT_FALSE(hasLeadingNumber("x1"));
    EXPECT_TRUE(hasLeadingNumber(" 0"));
}

TEST(RoundEven, TiesGoToTheEvenNeighbour) {
    for (auto [v, n] : {std::pair{0.5, 0},
                        {1.5, 2},
                        {2.5, 2},
                        {1000.5, 1000},
                        {1001.5, 1002},
                        {-1.5, -2},
                        {2.4999, 2}})
        EXPECT_EQ(roundEven(v), n) << v;
    EXPECT_EQ(roundEven(1e300), INT64_MAX);
}

TEST(NumberForms, StrForm) {
    for (auto [v, t] :
         {FormCase{0, " 0"}, {12.5, " 12.5"}, {-.5, "-.5"}, {-1.02, "-1.02"}, {0.25, " .25"}})
        EXPECT_EQ(strForm(v), t) << v;
}

TEST(NumberForms, WriteForm) {
    for (auto [v, t] : {FormCase{.5, ".5"}, {-.25, "-.25"}, {600, "600"}, {0, "0"}, {0.1, ".1"}})
        EXPECT_EQ(writeForm(v), t) << v;
}

TEST(NumberForms, PlainForm) {
    for (auto [v, t] : {FormCase{600, "600"}, {0.5, "0.5"}, {-0.5, "-0.5"}, {0.7, "0.7"}})
        EXPECT_EQ(plainForm(v), t) << v;
}

TEST(NumberForms, ReadoutForm) {
    for (auto [v, t] : {FormCase{-3.098, "-3.1"},
                        {-20, "-20."},
                        {-.5, "-.5"},
                        {0, "0.0"},
                        {-0.04, "0.0"},
                        {-6.02, "-6."}})
        EXPECT_EQ(readoutForm(v), t) << v;
}

TEST(NumberForms, LabelForm) {
    for (auto [v, t] : {FormCase{-2.5, "-2.5"},
                        {-0.5, "-0.5"},
                        {20, "20"},
                        {0, "0"},
                        {-1.2000000000000002, "-1.2"},
                        {0.0001, "0.0001"}})
        EXPECT_EQ(labelForm(v), t) << v;
}

TEST(NumberForms, FloatForm) {
    for (auto [v, t] :
         {FormCase{-3.25, "-3.25"}, {1000, "1000"}, {-3.0103, "-3.0103"}, {0.1, "0.1"}})
        EXPECT_EQ(floatForm(static_cast<float>(v)), t) << v;
}

namespace {
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
} // namespace

TEST(NumberForms, IgnoreTheDesktopLocale) {
    // Comma decimals for C++ streams, and for the C functions where installed.
    const std::locale saved =
        std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string savedC = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(writeForm(.5), ".5");
    EXPECT_EQ(strForm(-1234.5), "-1234.5");
    EXPECT_EQ(plainForm(12.25), "12.25");
    EXPECT_EQ(labelForm(-2.5), "-2.5");
    EXPECT_EQ(floatForm(-3.25f), "-3.25");
    EXPECT_DOUBLE_EQ(leadingNumber("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(leadingNumber("2,5"), 2.0);
    std::setlocale(LC_ALL, savedC.c_str());
    std::locale::global(saved);
}
