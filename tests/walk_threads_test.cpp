// How many threads walk: what SIZEWALK_THREADS asks for (the defaults by
// drive are tested with the Windows walk), and when a walk that waits on its
// disk takes on more.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/walk_threads.h"

namespace sizewalk {
namespace {

TEST(WalkThreads, WhatSizewalkThreadsAsksFor) {
    const std::vector<std::pair<const char*, unsigned>> cases = {
        {nullptr, 0}, {"1", 1},  {"256", 256}, {"257", 0}, {"0", 0},
        {"", 0},      {"8x", 0}, {" 8", 0},    {"-8", 0},  {"99999999999999999999", 0},
    };
    for (const auto& [text, threads] : cases) {
        EXPECT_EQ(ParseWalkThreads(text), threads) << (text ? text : "unset");
    }
}

// Four workers on two cores, 0.25 s intervals: seconds of CPU used and
// waited for, files counted, whether all were busy.
TEST(WalkThreads, GrowsWhileTheWalkWaitsOnItsDisk) {
    const WorkerGrowth four{4, false, 0, false};
    const WorkerGrowth eight_judging{8, true, 400, false};
    struct Row {
        WorkerGrowth before;
        WalkSample sample;
        WorkerGrowth after;
    };
    const std::vector<Row> rows = {
        // Blocked in the kernel, all busy: doubles, and remembers the rate.
        {four, {0.25, 0.01, 0, 100, true}, eight_judging},
        // Just under a quarter of two cores: still waiting.
        {four, {0.25, 0.124, 0, 100, true}, eight_judging},
        // Computing (a warm local walk), also while waiting its turn on a
        // loaded machine, or a worker idle: stays.
        {four, {0.25, 0.125, 0, 100, true}, four},
        {four, {0.25, 0.05, 0.45, 100, true}, four},
        // Waiting its turn now and then between requests: still waiting.
        {four, {0.25, 0.05, 0.44, 100, true}, eight_judging},
        {four, {0.25, 0.40, 0, 100, true}, four},
        {four, {0.25, 0.01, 0, 100, false}, four},
        // The doubling paid (400 -> 500 files/s): judged, doubles again.
        {eight_judging, {0.25, 0.01, 0, 125, true}, {16, true, 500, false}},
        // It did not (less than 1.25 times): stops for good, keeps the workers.
        {eight_judging, {0.25, 0.01, 0, 124, true}, {8, false, 400, true}},
        {{8, false, 400, true}, {0.25, 0.01, 0, 1000, true}, {8, false, 400, true}},
        // Paid, but now computing or idle: judged, stays.
        {eight_judging, {0.25, 0.3, 0, 200, true}, {8, false, 400, false}},
        {eight_judging, {0.25, 0.01, 0, 200, false}, {8, false, 400, false}},
        // Up to 64, not beyond; more workers than cores count as the cores.
        {{48, false, 0, false}, {0.25, 0.01, 0, 100, true}, {64, true, 400, false}},
        {{64, false, 0, false}, {0.25, 0.01, 0, 100, true}, {64, false, 0, false}},
        {{1, false, 0, false}, {0.25, 0.06, 0, 100, true}, {2, true, 400, false}},
        {{1, false, 0, false}, {0.25, 0.07, 0, 100, true}, {1, false, 0, false}},
    };
    for (const Row& row : rows) {
        const WorkerGrowth after = NextGrowth(row.before, row.sample, 2);
        EXPECT_EQ(after, row.after)
            << row.before.workers << " workers, " << row.sample.cpu_seconds << " s CPU, "
            << row.sample.queued_seconds << " s queued, " << row.sample.files << " files";
    }
}

}  // namespace
}  // namespace sizewalk
