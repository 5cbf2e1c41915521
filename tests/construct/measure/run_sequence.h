// The page's timer as the window runs it, for the loopback tests.
#pragma once

#include "construct/page_model.h"

#include <chrono>
#include <thread>

namespace qelvar::construct::testing {

// Ticks to the end (or `passes` restarts with LOOP on), then polls until the
// last take is in.
inline void runSequence(PageModel& page, int passes = 1) {
    using namespace std::chrono;
    auto deadline = steady_clock::now() + seconds(30 * passes);
    auto next = steady_clock::now() + milliseconds(page.interval());
    int restarts = 0;
    while (page.playing() && page.interval() > 0 && steady_clock::now() < deadline) {
        std::this_thread::sleep_until(next);
        page.tick();
        if (page.stepIndex() == 0 && ++restarts >= passes)
            break;
        next = steady_clock::now() + milliseconds(page.interval());
    }
    for (auto end = steady_clock::now() + seconds(5);
         page.takesPending() && steady_clock::now() < end;
         std::this_thread::sleep_for(milliseconds(20)))
        page.pollTakes();
}

} // namespace qelvar::construct::testing
