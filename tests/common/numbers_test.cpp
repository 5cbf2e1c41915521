#include "common/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

using namespace qelvar;

TEST(LeadingNumber, ReadsAsFarAsANumberGoes) {
    EXPECT_DOUBLE_EQ(leadingNumber("  -12.5abc"), -12.5);
    EXPECT_DOUBLE_EQ(leadingNumber("1000.5"), 1000.5);
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber("+3 dB"), 3.0);
    EXPECT_DOUBLE_EQ(leadingNumber("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(leadingNumber("2e"), 2.0);
    EXPECT_DOUBLE_EQ(leadingNumber("-20."), -20.0);
    EXPECT_DOUBLE_EQ(leadingNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("abc"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("-"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("."), 0.0);
    EXPECT_FALSE(hasLeadingNumber("x1"));
    EXPECT_TRUE(hasLeadingNumber(" 0"));
}

TEST(RoundEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundEven(0.5), 0);
    EXPECT_EQ(roundEven(1.5), 2);
    EXPECT_EQ(roundEven(2.5), 2);
    EXPECT_EQ(roundEven(1000.5), 1000);
    EXPECT_EQ(roundEven(1001.5), 1002);
    EXPECT_EQ(roundEven(-0.5), 0);
    EXPECT_EQ(roundEven(-1.5), -2);
    EXPECT_EQ(roundEven(2.4999), 2);
    EXPECT_EQ(roundEven(1e300), INT64_MAX);
}

struct FormCase {
    double value;
    const char* text;
};

TEST(NumberForms, StrForm) {
    for (auto [v, t] : {FormCase{0, " 0"}, {12.5, " 12.5"}, {-.5, "-.5"}, {-1.02, "-1.02"},
                        {3, " 3"}, {0.25, " .25"}})
        EXPECT_EQ(strForm(v), t) << v;
    EXPECT_EQ(strForm(-3.01029995663981).substr(0, 6), "-3.010");
}

TEST(NumberForms, WriteForm) {
    for (auto [v, t] : {FormCase{.5, ".5"}, {-.25, "-.25"}, {600, "600"}, {0, "0"}, {20, "20"},
                        {-3.5, "-3.5"}, {0.1, ".1"}})
        EXPECT_EQ(writeForm(v), t) << v;
}

TEST(NumberForms, PlainForm) {
    for (auto [v, t] : {FormCase{600, "600"}, {0.5, "0.5"}, {12.25, "12.25"}, {3, "3"},
                        {-0.5, "-0.5"}, {0.7, "0.7"}})
        EXPECT_EQ(plainForm(v), t) << v;
}

TEST(NumberForms, ReadoutForm) {
    for (auto [v, t] : {FormCase{-3.098, "-3.1"}, {-20, "-20."}, {-.5, "-.5"}, {0, "0.0"},
                        {-0.04, "0.0"}, {-99, "-99."}, {-6.02, "-6."}})
        EXPECT_EQ(readoutForm(v), t) << v;
}

TEST(NumberForms, LabelForm) {
    for (auto [v, t] : {FormCase{-2.5, "-2.5"}, {-0.5, "-0.5"}, {20, "20"}, {0, "0"},
                        {-1.2000000000000002, "-1.2"}, {0.0001, "0.0001"}, {-15, "-15"}})
        EXPECT_EQ(labelForm(v), t) << v;
}

TEST(NumberForms, FloatForm) {
    EXPECT_EQ(floatForm(-3.25f), "-3.25");
    EXPECT_EQ(floatForm(1000.f), "1000");
    EXPECT_EQ(floatForm(0.5f), "0.5");
    EXPECT_EQ(floatForm(-3.0103f), "-3.0103");
    EXPECT_EQ(floatForm(0.1f), "0.1");
}

namespace {
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
} // namespace

TEST(NumberForms, IgnoreTheDesktopLocale) {
    // A German desktop: comma decimals for C++ streams, and for the C
    // functions too where such a locale is installed.
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
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
