// The periodic trigger used for outputs, progress messages and the kernel schedule.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "simulation/ExecutionPlan.hpp"
#include "simulation/Factory.hpp"

using simulation::ExecutionPlan;

TEST(ExecutionPlan, CallsFireAtTheTriggerTimesWithinTheWindowAndLatePlansCatchUpOneTriggerPerCall)
{
    struct Row {
        double start, increment, end;
        std::vector<std::pair<double, bool>> calls;  // time of a call, whether the plan fires
    };
    const Row rows[] = {
        // before the start, between triggers, late (5 was due at 5.5), beyond the end although 7 would be due
        {1.0, 2.0, 6.0, {{0.5, false}, {1.0, true}, {2.9, false}, {3.0, true}, {5.5, true}, {6.5, false}}},
        // from 0 to 3.5 at once: the triggers 1, 2, 3 fire on three consecutive calls
        {0.0, 1.0, 10.0, {{0.0, true}, {3.5, true}, {3.5, true}, {3.5, true}, {3.5, false}}},
        {4.0, 0.0, 4.0, {{3.0, false}, {4.0, true}, {4.0, false}}},  // start == end: once, whatever the increment
        {1.0, 0.0, 3.0, {{0.0, false}, {1.0, true}, {1.0, true}, {2.999, true}, {3.0, true}, {3.001, false}}},
    };
    for (const Row& row : rows) {
        std::unique_ptr<api::IExecutionPlan> plan(
            simulation::Factory::createExecutionPlan(row.start, row.increment, row.end));
        for (const auto& call : row.calls)
            EXPECT_EQ(plan->execute(call.first), call.second) << row.start << " " << row.increment << " at " << call.first;
        EXPECT_EQ(plan->getIncrement(), row.increment);
    }
}

TEST(ExecutionPlan, StepLimitingLandsOnTheNextTrigger)
{
    ExecutionPlan plan(0.0, 4.0, 10.0);
    const double calls[][4] = {
        // t, dt given, due, dt after
        {0.0, 1.0e6, 1, 4.0},  // one increment after firing
        {2.5, 1.0e6, 0, 1.5},  // the time left to the trigger at 4
        {2.5, 0.5, 0, 0.5},    // a smaller step is kept
        {4.0, 1.0e6, 1, 4.0},   {8.0, 1.0e6, 1, 4.0},
        {10.5, 1.0e6, 0, 1.5},  // beyond the end the plan is inactive but still limits the step towards 12
    };
    for (const auto& c : calls) {
        double dt = c[1];
        EXPECT_EQ(plan.execute(c[0], dt), c[2] != 0.0) << c[0];
        EXPECT_DOUBLE_EQ(dt, c[3]) << c[0];
    }
}

TEST(ExecutionPlan, TriggerTimesAreMultiplesOfTheIncrementFromTheOriginAndClosingPlansEndOnTheEnd)
{
    struct Row {
        double start, increment, end, origin;
        bool closing;
        std::vector<double> expected;  // trigger times, in order
    };
    const Row rows[] = {
        {0.0, 3.0, 10.0, 0.0, true, {0, 3, 6, 9, 10}},
        {0.0, 3.0, 10.0, 0.0, false, {0, 3, 6, 9}},
        {0.0, 1.1, 7.7, 0.0, true, {0, 1.1, 2.2, 1.1 * 3, 4.4, 5.5, 1.1 * 6, 7.7}},  // 7 × 1.1 is not 7.7
        {4.5, 2.0, 9.0, 0.0, true, {6, 8, 9}},  // a re-run from 4.5 keeps the times of the run it continues
        {4.0, 2.0, 9.0, 0.0, true, {4, 6, 8, 9}},
    };
    for (const Row& row : rows) {
        ExecutionPlan plan(row.start, row.increment, row.end, row.closing, row.origin);
        std::vector<double> fired;
        for (double next = plan.nextTime(); next <= row.end; next = plan.nextTime()) {
            if (next > row.start) {
                EXPECT_FALSE(plan.execute(std::nextafter(next, 0.0)));
            }
            EXPECT_TRUE(plan.execute(next));
            fired.push_back(plan.lastTime());
        }
        EXPECT_EQ(fired, row.expected) << row.start << " " << row.increment << " " << row.end;
        EXPECT_FALSE(plan.execute(row.end));
    }
    // A thousand increments of 0.1: each trigger is k × 0.1, the last one the end itself, not a running sum.
    ExecutionPlan plan(0.0, 0.1, 100.0, true, 0.0);
    int k = 0;
    for (; plan.nextTime() <= 100.0; ++k) {
        ASSERT_EQ(plan.nextTime(), k == 1000 ? 100.0 : k * 0.1) << k;
        ASSERT_TRUE(plan.execute(plan.nextTime()));
    }
    EXPECT_EQ(k, 1001);
}
