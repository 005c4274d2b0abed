// When the walk's pool grows: only with work waiting and cores idle, to its
// bound at once, and never for a fixed count.
#include <gtest/gtest.h>

#include "core/pool_growth.h"

namespace orvane::engine {
namespace {

using std::chrono::milliseconds;

TEST(PoolGrowth, GrowsToItsBoundOnlyWhileWorkWaitsAndTheCoresAreIdle) {
    const PoolGrowth pool(2, 32);
    // A warm scan keeps both cores busy: no more workers.
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(96), 2, true), 2u);
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(81), 2, true), 2u);
    // Waiting on the device, the cores are half idle.
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(55), 2, true), 32u);
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(0), 2, true), 32u);
    // Idle for want of work: more workers would find none.
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(10), 2, false), 2u);
    // A core without a worker takes one whatever the measurement.
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(50), 1, true), 2u);
    EXPECT_EQ(pool.Target(milliseconds(0), milliseconds(0), 2, true), 2u);
    EXPECT_EQ(pool.Target(milliseconds(50), milliseconds(0), 32, true), 32u);

    const PoolGrowth fixed(8, 8);
    EXPECT_EQ(fixed.Target(milliseconds(50), milliseconds(0), 8, true), 8u);
    const PoolGrowth one_core(1, 32);
    EXPECT_EQ(one_core.Target(milliseconds(50), milliseconds(49), 1, true), 1u);
    EXPECT_EQ(one_core.Target(milliseconds(50), milliseconds(20), 1, true), 32u);
}

}  // namespace
}  // namespace orvane::engine
