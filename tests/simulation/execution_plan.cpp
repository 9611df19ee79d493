// The periodic trigger used for outputs, progress messages and the kernel schedule.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "simulation/ExecutionPlan.hpp"
#include "simulation/Factory.hpp"

using simulation::ExecutionPlan;

TEST(ExecutionPlan, PeriodicPlanFiresAtStartAndEveryIncrementUpToEnd)
{
    ExecutionPlan plan(1.0, 2.0, 6.0);
    EXPECT_FALSE(plan.execute(0.5));  // before start
    EXPECT_TRUE(plan.execute(1.0));
    EXPECT_FALSE(plan.execute(2.9));
    EXPECT_TRUE(plan.execute(3.0));
    EXPECT_TRUE(plan.execute(5.5));   // next trigger was 5
    EXPECT_FALSE(plan.execute(6.5));  // beyond end, although 7 would be due
    EXPECT_DOUBLE_EQ(plan.getIncrement(), 2.0);
}

TEST(ExecutionPlan, LatePlanCatchesUpOneIncrementPerCall)
{
    ExecutionPlan plan(0.0, 1.0, 10.0);
    EXPECT_TRUE(plan.execute(0.0));
    // Jumping from 0 to 3.5 leaves triggers 1, 2, 3 behind: the plan fires on three consecutive calls.
    EXPECT_TRUE(plan.execute(3.5));
    EXPECT_TRUE(plan.execute(3.5));
    EXPECT_TRUE(plan.execute(3.5));
    EXPECT_FALSE(plan.execute(3.5));
}

TEST(ExecutionPlan, EqualStartAndEndFiresExactlyOnceEvenWithZeroIncrement)
{
    ExecutionPlan plan(4.0, 0.0, 4.0);
    EXPECT_FALSE(plan.execute(3.0));
    EXPECT_TRUE(plan.execute(4.0));
    EXPECT_FALSE(plan.execute(4.0));
}

TEST(ExecutionPlan, ZeroIncrementFiresAtEveryCallInsideTheWindow)
{
    ExecutionPlan plan(1.0, 0.0, 3.0);
    EXPECT_FALSE(plan.execute(0.0));
    for (double t : {1.0, 1.0, 1.5, 2.999, 3.0}) EXPECT_TRUE(plan.execute(t)) << t;
    EXPECT_FALSE(plan.execute(3.001));
}

TEST(ExecutionPlan, StepLimitingLandsOnTheNextTrigger)
{
    ExecutionPlan plan(0.0, 4.0, 10.0);
    double dt = 1.0e6;
    EXPECT_TRUE(plan.execute(0.0, dt));
    EXPECT_DOUBLE_EQ(dt, 4.0);  // one increment after firing
    dt = 1.0e6;
    EXPECT_FALSE(plan.execute(2.5, dt));
    EXPECT_DOUBLE_EQ(dt, 1.5);  // time left to the trigger at 4
    dt = 0.5;
    EXPECT_FALSE(plan.execute(2.5, dt));
    EXPECT_DOUBLE_EQ(dt, 0.5);  // a smaller step is kept
    dt = 1.0e6;
    EXPECT_TRUE(plan.execute(4.0, dt));
    EXPECT_DOUBLE_EQ(dt, 4.0);
    dt = 1.0e6;
    EXPECT_TRUE(plan.execute(8.0, dt));
    dt = 1.0e6;
    // The trigger at 12 lies beyond the end: the plan is inactive, but still limits the step towards it.
    EXPECT_FALSE(plan.execute(10.5, dt));
    EXPECT_DOUBLE_EQ(dt, 1.5);
}

TEST(ExecutionPlan, FactoryCreatesAnIndependentPlanOwnedByTheCaller)
{
    std::unique_ptr<api::IExecutionPlan> a(simulation::Factory::createExecutionPlan(0.0, 1.0, 2.0));
    std::unique_ptr<api::IExecutionPlan> b(simulation::Factory::createExecutionPlan(0.0, 1.0, 2.0));
    EXPECT_TRUE(a->execute(0.0));
    EXPECT_FALSE(a->execute(0.5));
    EXPECT_TRUE(b->execute(0.5));  // b has not fired yet
    EXPECT_DOUBLE_EQ(a->getIncrement(), 1.0);
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
            if (next > row.start) EXPECT_FALSE(plan.execute(std::nextafter(next, 0.0)));
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
