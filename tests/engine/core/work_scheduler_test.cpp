// The scheduler alone: idle workers block until folders arrive or the tree
// ends, and a shared batch is finished by the owner and its helpers before
// Share returns.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/work_scheduler.h"

namespace orvane::engine {
namespace {

using namespace std::chrono_literals;

void WaitForIdle(const WorkScheduler& scheduler, unsigned count) {
    while (scheduler.IdleWorkers() < count) std::this_thread::sleep_for(1ms);
}

TEST(WorkScheduler, IdleWorkersBlockUntilFoldersArriveAndLeaveAtTheEndOfTheTree) {
    WorkScheduler scheduler;
    std::atomic<int> popped{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            while (scheduler.Pop()) popped++;
        });
    }
    WaitForIdle(scheduler, 3);
    std::vector<FolderRef> folders;
    for (int i = 0; i < 5; ++i) folders.push_back(std::make_shared<FolderNode>());
    scheduler.Push(folders);
    EXPECT_TRUE(folders.empty());
    while (popped < 5) std::this_thread::sleep_for(1ms);
    WaitForIdle(scheduler, 3);  // all blocked again, none lost
    scheduler.EndOfTree();
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(scheduler.Pop(), nullptr);
}

TEST(WorkScheduler, ASharedBatchIsDoneByOwnerAndHelpersBeforeShareReturns) {
    WorkScheduler scheduler;
    EXPECT_FALSE(scheduler.Share(*std::make_unique<SharedBatch>()));  // nobody idle
    std::thread helper([&] { EXPECT_EQ(scheduler.Pop(), nullptr); });
    WaitForIdle(scheduler, 1);

    constexpr std::size_t kCount = 100 * SharedBatch::kChunk + 7;
    std::vector<std::atomic<int>> done(kCount);
    std::atomic<bool> helper_worked{false};
    const auto owner = std::this_thread::get_id();
    SharedBatch batch;
    batch.Reset(kCount, [&](std::size_t first, std::size_t count) {
        if (std::this_thread::get_id() != owner) {
            helper_worked = true;
        } else {
            // The owner holds on to its chunk until the helper has taken one,
            // so the test does not depend on how soon a loaded machine wakes it.
            for (int i = 0; i < 10000 && !helper_worked; ++i) std::this_thread::sleep_for(1ms);
        }
        for (std::size_t i = first; i < first + count; ++i) done[i]++;
    });
    ASSERT_TRUE(scheduler.Share(batch));
    for (std::size_t i = 0; i < kCount; ++i) ASSERT_EQ(done[i].load(), 1) << i;
    EXPECT_TRUE(helper_worked.load());
    scheduler.EndOfTree();
    helper.join();
}

}  // namespace
}  // namespace orvane::engine
