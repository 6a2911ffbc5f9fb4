#include "engine/Progress.h"

#include <gtest/gtest.h>

#include "common/RecordingTargets.h"

namespace kv {
namespace {

using test::RecordingCommandTarget;
using namespace CommandId;

class ProgressTest : public testing::Test {
protected:
    void SetUp() override {
        CancelRequested = 0;
        OverallPercent = -1;
    }
    void TearDown() override { CancelRequested = 0; }
    RecordingCommandTarget frame;
};

TEST_F(ProgressTest, TwoStagesGiveTheOverallPercentages) {
    {
        CRSProgress sink(&frame);
        sink.SetStages(2);
        struct Step {
            int percent;
            int overall;
        };
        // The first 0 repeats the initial value: nothing changes and nothing is posted.
        EXPECT_TRUE(sink.OnProgress(0));
        EXPECT_EQ(OverallPercent, -1);
        for (const Step step : {Step{50, 25}, Step{99, 49}, Step{0, 50}, Step{50, 75}}) {
            EXPECT_TRUE(sink.OnProgress(step.percent));
            EXPECT_EQ(OverallPercent, step.overall) << "percent " << step.percent;
        }
        EXPECT_EQ(sink.currentStage(), 1);
    }
    EXPECT_EQ(frame.commands(), (std::vector<int>{ID_RESIZE_STARTED, ID_RESIZE_PROGRESS, ID_RESIZE_PROGRESS,
                                                  ID_RESIZE_PROGRESS, ID_RESIZE_PROGRESS, ID_RESIZE_DONE}));
}

TEST_F(ProgressTest, RepeatedValueIsNotPostedAgain) {
    CRSProgress sink(&frame);
    sink.OnProgress(10);
    sink.OnProgress(10);
    EXPECT_EQ(frame.commands().size(), 2u);  // start and one change
}

TEST_F(ProgressTest, CancelAnswersFalseAndChangesNothing) {
    CRSProgress sink(&frame);
    sink.OnProgress(30);
    CancelRequested = 1;
    EXPECT_FALSE(sink.OnProgress(10));
    EXPECT_EQ(sink.lastPercent(), 30);
    EXPECT_EQ(sink.currentStage(), 0);
    EXPECT_EQ(frame.commands().size(), 2u);
}

TEST_F(ProgressTest, WithoutAFrameNothingIsPostedButTheValueIsKept) {
    SetMainFrameTarget(nullptr);
    CRSProgress sink;
    sink.SetStages(3);
    EXPECT_TRUE(sink.OnProgress(60));
    EXPECT_EQ(OverallPercent, 20);
}

TEST_F(ProgressTest, DefaultSinkPostsToTheMainFrame) {
    SetMainFrameTarget(&frame);
    { CRSProgress sink; }
    SetMainFrameTarget(nullptr);
    EXPECT_EQ(frame.commands(), (std::vector<int>{ID_RESIZE_STARTED, ID_RESIZE_DONE}));
}

}  // namespace
}  // namespace kv
