#include "construct/step_table.h"

namespace qelvar::construct {

void StepTable::setStartupValues() {
    static constexpr std::array<std::int32_t, 21> kFreq{
        1000, 20,   30,   50,   100,  200,   400,   1000,  2000,  3000, 4000,
        5000, 6000, 7000, 8000, 9000, 10000, 12000, 15000, 18000, 20000};
    static constexpr std::array<double, 5> kLongSteps{200, 600, 600, 400, 200};
    for (int i = 0; i < kSteps; ++i) {
        frequency[i] = i < static_cast<int>(kFreq.size()) ? kFreq[i] : 1000;
        length[i] = i < static_cast<int>(kLongSteps.size()) ? kLongSteps[i] : 100;
        rate[i] = 44100;
        mode[i] = "ST L+R";
        bits[i] = 16;
        attL[i] = 3.0;
        attR[i] = 3.0;
        include[i] = 1;
    }
}

} // namespace qelvar::construct
