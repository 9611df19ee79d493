// Series look-up, interpolation into boundary and source rows, and the data modifications with their switches.
#include <vector>

#include "kernels/HydraulicTestSetup.hpp"
#include "model/Dimensions.hpp"
#include "simulation/kernels/DataSeries.hpp"
#include "support/Tolerance.hpp"

namespace {

class DataSeries : public hydtest::HydraulicKernels {
protected:
    std::vector<float> series = std::vector<float>(model::Dimensions::InputSeriesMaxValues, 0.0f);
    int size = 0;
    void setPairs(std::initializer_list<float> xy)
    {
        std::fill(series.begin(), series.end(), 0.0f);
        std::copy(xy.begin(), xy.end(), series.begin());
        size = static_cast<int>(xy.size());
    }
    float at(float x) const { return hydraulics::seriesLookup(series.data(), size, x); }
};

TEST_F(DataSeries, LookupHoldsEndsAndInterpolatesInside)
{
    setPairs({10.0f, 1.0f, 20.0f, 3.0f, 40.0f, -1.0f});
    EXPECT_FLOAT_EQ(at(-5.0f), 1.0f);
    EXPECT_FLOAT_EQ(at(10.0f), 1.0f);
    EXPECT_FLOAT_EQ(at(15.0f), 2.0f);
    EXPECT_FLOAT_EQ(at(20.0f), 3.0f);  // an interior abscissa gives its own value
    EXPECT_FLOAT_EQ(at(30.0f), 1.0f);
    EXPECT_FLOAT_EQ(at(40.0f), -1.0f);
    EXPECT_FLOAT_EQ(at(1.0e5f), -1.0f);
    // A time series starting at time 0 interpolates on its first interval instead of taking 0 as its end.
    setPairs({0.0f, 2.0f, 10.0f, 4.0f});
    EXPECT_FLOAT_EQ(at(5.0f), 3.0f);
    EXPECT_FLOAT_EQ(at(50.0f), 4.0f);
    // One pair is a constant; an empty series gives 0.
    setPairs({3.0f, 7.5f});
    EXPECT_FLOAT_EQ(at(0.0f), 7.5f);
    EXPECT_FLOAT_EQ(at(9.0f), 7.5f);
    setPairs({});
    EXPECT_FLOAT_EQ(at(1.0f), 0.0f);
    // A completely full series holds its last value beyond its last pair.
    for (int j = 0; j < model::Dimensions::InputSeriesMaxValues / 2; ++j) {
        series[2 * j] = static_cast<float>(j + 1);
        series[2 * j + 1] = static_cast<float>(2 * j);
    }
    size = model::Dimensions::InputSeriesMaxValues;
    EXPECT_FLOAT_EQ(at(2.5f), 3.0f);
    EXPECT_FLOAT_EQ(at(1.0e7f), static_cast<float>(model::Dimensions::InputSeriesMaxValues - 2));
}

TEST_F(DataSeries, InterpolationKeysPickTheirAbscissa)
{
    setPairs({-1.0f, -10.0f, 1.0f, 10.0f, 3.0f, 30.0f});  // y = 10 x on [-1, 1], then 10 + 10 (x - 1)
    // Mean surface 2.0, discharge 0.5, ..., mean bed 1.5: depth 0.5.
    const float sv[10] = {2.0f, 0.5f, 0, 1.5f, 0, 0, 0, 0, 0, 0};
    const float time = 0.2f;
    const float expected[5] = {2.0f, 5.0f, 20.0f, 5.0f, 0.0f};  // keys 0 (time), 1 (depth), 2, 3 and unknown 7
    const int keys[5] = {0, 1, 2, 3, 7};
    for (int k = 0; k < 5; ++k) {
        float row[7] = {9, 9, 9, 9, 9, 9, 9};
        const int keyPostn[2] = {keys[k], 4};
        kernel_DATA_EdgeInterpolation(series.data(), &size, keyPostn, sv, &time, row);
        EXPECT_FLOAT_EQ(row[4], expected[k]) << "key " << keys[k];
        EXPECT_FLOAT_EQ(row[3], 9.0f);
        EXPECT_FLOAT_EQ(row[5], 9.0f);
    }
    // A rating curve over the discharge of a dry node string (all states 0) is read at 0.
    const float drySv[10] = {};
    float row[7] = {9, 9, 9, 9, 9, 9, 9};
    const int rating[2] = {3, 0};
    kernel_DATA_EdgeInterpolation(series.data(), &size, rating, drySv, &time, row);
    EXPECT_FLOAT_EQ(row[0], 0.0f);
    // Cells only know the time key.
    float source[2] = {5, 5};
    const int cellKey[2] = {0, 1}, cellOther[2] = {3, 0};
    kernel_DATA_CellInterpolation(series.data(), &size, cellKey, &time, source);
    kernel_DATA_CellInterpolation(series.data(), &size, cellOther, &time, source);
    EXPECT_FLOAT_EQ(source[1], 2.0f);
    EXPECT_FLOAT_EQ(source[0], 0.0f);
}

class EdgeModification : public hydtest::HydraulicKernels {
protected:
    float sv[10] = {3.0f, 12.0f, 8.0f, 1.0f, 0.5f, 0, 0, 4.0f, 6.0f, 3.0f};
    float otherSv[10] = {};
    float tl0 = 20.0f, tl1 = 5.0f;
    float local[2] = {1.0f, 1.0e6f};
    float modify(int type, std::vector<float> row, std::vector<int> read, float time = 0.0f)
    {
        row.resize(7, 0.0f);
        int info[7] = {type, 0, 1, 2, 3, 4, 5};
        for (size_t k = 0; k < read.size(); ++k) info[2 + k] = read[k];
        kernel_DATA_EdgeModification(info, sv, otherSv, &tl0, &tl1, &time, local, row.data());
        return row[0];
    }
};

TEST_F(EdgeModification, ConversionsUseLengthsAndAreasGuarded)
{
    EXPECT_FLOAT_EQ(modify(1, {0, 40.0f}, {}), 2.0f);
    EXPECT_FLOAT_EQ(modify(10, {0, 40.0f}, {}), 2.0f);
    EXPECT_FLOAT_EQ(modify(2, {0, 40.0f}, {}), 8.0f);
    EXPECT_FLOAT_EQ(modify(4, {0, 40.0f}, {}), 5.0f);
    EXPECT_FLOAT_EQ(modify(11, {0, 40.0f}, {}), 5.0f);
    EXPECT_FLOAT_EQ(modify(9, {}, {}), 8.0f / 5.0f);
    EXPECT_FLOAT_EQ(modify(12, {0, 40.0f}, {}), 10.0f);
    EXPECT_FLOAT_EQ(modify(16, {}, {}), 12.0f / 5.0f);
    EXPECT_FLOAT_EQ(modify(13, {}, {}), 3.0f / 20.0f);
    EXPECT_FLOAT_EQ(modify(14, {}, {}), 3.0f / 8.0f);
    EXPECT_FLOAT_EQ(modify(15, {}, {}), 3.0f / 4.0f);
    // Unlisted types leave the row alone.
    for (int type : {0, 6, 7, 17}) EXPECT_FLOAT_EQ(modify(type, {-3.0f, 40.0f}, {}), -3.0f);
    // Zero lengths or areas give 0 instead of a division by zero.
    tl0 = 0.0f;
    sv[2] = 0.0f;
    EXPECT_FLOAT_EQ(modify(1, {7, 40.0f}, {}), 0.0f);
    EXPECT_FLOAT_EQ(modify(4, {7, 40.0f}, {}), 0.0f);
}

TEST_F(EdgeModification, WeirDischargeNeedsWaterAboveTheCrest)
{
    // Crest 3.2 above a surface of 3.0: nothing flows.
    EXPECT_FLOAT_EQ(modify(3, {0, 3.2f, 0.5f, 0.0f}, {1, 2, 3}), 0.0f);
    // Crest 2.0: 1 m of head, coefficient 0.5 only.
    const float q = modify(3, {0, 2.0f, 0.5f, 0.0f}, {1, 2, 3});
    EXPECT_CLOSE(q, 20.0 * std::sqrt(2 * hydtest::kG) * 0.5 * (2.0 / 3.0) / 8.0, 1e-5, 1e-5);
    // A higher head gives a larger discharge.
    sv[0] = 4.0f;
    EXPECT_GT(modify(3, {0, 2.0f, 0.5f, 0.0f}, {1, 2, 3}), q);
}

TEST_F(EdgeModification, TimeSwitchAndLevelSwitch)
{
    // Type 5: -1 up to and including the switch time, +1 afterwards.
    EXPECT_FLOAT_EQ(modify(5, {0, 100.0f}, {}, 99.0f), -1.0f);
    EXPECT_FLOAT_EQ(modify(5, {0, 100.0f}, {}, 100.0f), -1.0f);
    EXPECT_FLOAT_EQ(modify(5, {0, 100.0f}, {}, 100.5f), 1.0f);

    // Type 8: open value 16 (-> 2 per wetted area 8), closed value 0, close at level 3.5 after delay r5,
    // reopen at level 2.5.
    auto gate = [&](float level, float delay, float time) {
        sv[0] = level;
        return modify(8, {0, 16.0f, 0.0f, 3.5f, delay, 2.5f}, {1, 2, 3, 4, 5}, time);
    };
    EXPECT_FLOAT_EQ(gate(3.0f, 0.0f, 1.0f), 2.0f);  // open below the closing level
    EXPECT_FLOAT_EQ(gate(3.5f, 0.0f, 2.0f), 0.0f);  // no delay: closes in the pass that reaches the level
    EXPECT_LT(local[0], 0.0f);
    EXPECT_FLOAT_EQ(gate(3.0f, 0.0f, 3.0f), 0.0f);  // stays closed above the reopening level
    EXPECT_FLOAT_EQ(gate(2.5f, 0.0f, 4.0f), 2.0f);  // reopens at the reopening level
    EXPECT_GT(local[0], 0.0f);

    // With a delay of 10 s: the level reached at t = 5 closes the gate only in the first pass after t = 15.
    EXPECT_FLOAT_EQ(gate(3.6f, 10.0f, 5.0f), 2.0f);
    EXPECT_FLOAT_EQ(local[1], 15.0f);
    EXPECT_FLOAT_EQ(gate(3.6f, 10.0f, 12.0f), 2.0f);
    EXPECT_FLOAT_EQ(local[1], 15.0f);  // the deadline is not pushed back
    EXPECT_FLOAT_EQ(gate(3.6f, 10.0f, 15.0f), 2.0f);
    EXPECT_FLOAT_EQ(gate(3.6f, 10.0f, 15.5f), 0.0f);
    EXPECT_FLOAT_EQ(local[1], 1.0e6f);
    // Without a reopening level (0) a closed gate stays closed even when the water falls.
    local[0] = -1.0f;
    sv[0] = 0.1f;
    EXPECT_FLOAT_EQ(modify(8, {0, 16.0f, 0.0f, 3.5f, 0.0f, 0.0f}, {1, 2, 3, 4, 5}, 20.0f), 0.0f);
    // A level falling below the closing level cancels a pending close.
    local[0] = 1.0f;
    EXPECT_FLOAT_EQ(gate(3.6f, 10.0f, 30.0f), 2.0f);
    EXPECT_FLOAT_EQ(gate(3.0f, 10.0f, 31.0f), 2.0f);
    EXPECT_FLOAT_EQ(local[1], 1.0e6f);
}

TEST_F(DataSeries, CellModificationsConvertToRates)
{
    float row[2] = {120.0f, 0.0f};
    const float area = 40.0f, time = 0.0f;
    const int total[7] = {6, 1, 0}, rain[7] = {7, 1, 0}, other[7] = {3, 1, 0};
    kernel_DATA_CellModification(total, &area, &time, row);
    EXPECT_FLOAT_EQ(row[1], 3.0f);
    kernel_DATA_CellModification(rain, &area, &time, row);
    EXPECT_FLOAT_EQ(row[1], 120.0f / 3.6e6f);
    kernel_DATA_CellModification(other, &area, &time, row);
    EXPECT_FLOAT_EQ(row[1], 120.0f / 3.6e6f);
}

}  // namespace
