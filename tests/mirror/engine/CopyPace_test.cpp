// When copies go to the workers: only after a few slow small copies in a row, and back once
// they are quick again.

#include "mirror/core/ParallelCopies.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CopyPace, SwitchesOnARunOfSlowCopiesAndBackOnQuickOnes)
{
    struct Case
    {
        std::vector<double> ms;
        bool parallel;
    };
    const Case cases[] = {
        { { 0.05, 0.08, 0.06, 0.07, 0.09 }, false }, // a local disk
        { { 7, 7, 7 }, false }, // too few to tell
        { { 7, 7, 7, 7 }, true }, // a share with a round trip per operation
        { { 0.05, 0.05, 0.05, 40, 0.05 }, false }, // one slow copy (a cache flush) is no case
        { { 7, 7, 7, 7, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1 }, false }, // quick again
        { { 7, 7, 7, 7, 1, 1, 1, 1, 1 }, true }, // between the marks: stays as it was
    };
    for (const Case& c : cases) {
        mirror::CopyPace pace;
        for (const double ms : c.ms)
            pace.record(ms);
        EXPECT_EQ(pace.parallel(), c.parallel) << c.ms.size() << " copies, the last " << c.ms.back() << " ms";
    }
    mirror::CopyPace forced;
    forced.forceParallel();
    forced.record(0.01);
    forced.reset();
    EXPECT_TRUE(forced.parallel());
}
