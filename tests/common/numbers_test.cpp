#include "common/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

using namespace qelvar;

namespace {
using Table = std::initializer_list<std::pair<double, const char*>>;
template <class Form> void expectForms(Form form, Table rows) {
    for (auto [v, t] : rows)
        EXPECT_EQ(form(v), t) << v;
}

// Every form, table by table; the same under any locale.
void allForms() {
    expectForms(strForm, {{0, " 0"},
                          {12.5, " 12.5"},
                          {-.5, "-.5"},
                          {-1.02, "-1.02"},
                          {.25, " .25"},
                          {-1234.5, "-1234.5"}});
    expectForms(writeForm, {{.5, ".5"}, {-.25, "-.25"}, {600, "600"}, {0, "0"}, {0.1, ".1"}});
    expectForms(
        plainForm,
        {{600, "600"}, {-0.5, "-0.5"}, {0.7, "0.7"}, {0.6998419960022735, "0.699841996002273"}});
    expectForms(readoutForm,
                {{-3.098, "-3.1"}, {-20, "-20."}, {-.5, "-.5"}, {0, "0.0"}, {-0.04, "0.0"}});
    expectForms(labelForm,
                {{-2.5, "-2.5"}, {20, "20"}, {-1.2000000000000002, "-1.2"}, {0.0001, "0.0001"}});
    expectForms([](double v) { return floatForm(static_cast<float>(v)); },
                {{-3.25, "-3.25"}, {1000, "1000"}, {-3.0103, "-3.0103"}, {0.1, "0.1"}});
    expectForms(
        [](double v) { return std::to_string(roundEven(v)); },
        {{0.5, "0"}, {1.5, "2"}, {2.5, "2"}, {1000.5, "1000"}, {1001.5, "1002"}, {-1.5, "-2"}});
    for (Table rows : {Table{{-12.5, "  -12.5abc"}, {3, "+3 dB"}, {1000, "1e3"}, {2, "2e"}},
                       Table{{2, "2,5"}, {0, ""}, {0, "abc"}, {0, "-"}, {0, "."}}})
        for (auto [v, t] : rows)
            EXPECT_DOUBLE_EQ(leadingNumber(t), v) << t;
}

struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
} // namespace

TEST(NumberForms, OneTablePerFormUnderAnyLocale) {
    allForms();
    // Comma decimals for C++ streams, and for the C functions where installed.
    const std::locale saved =
        std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string savedC = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    SCOPED_TRACE("under a comma-decimal locale");
    allForms();
    std::setlocale(LC_ALL, savedC.c_str());
    std::locale::global(saved);
}
