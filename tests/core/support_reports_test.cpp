// The progress-bar fake answers GetPos as the platform's bar would; the
// search's blink and the engine's end states are checked through it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/recording_reports.h"

namespace quorvane::testing {
namespace {

TEST(RecordingProgress, ClampsWrapsAndLogsLikeTheRealBar) {
  RecordingReports r;
  RecordingProgress& bar = r.progress;
  EXPECT_EQ(bar.GetPos(), 0);
  bar.SetPos(150);  // initial range 0..100
  EXPECT_EQ(bar.GetPos(), 100);
  bar.SetRange32(0, 0);
  EXPECT_EQ(bar.GetPos(), 0);
  bar.DeltaPos(0);
  bar.StepIt();  // nothing moves over an empty range
  EXPECT_EQ(bar.GetPos(), 0);

  bar.SetRange32(0, 1);
  bar.SetPos(1);
  EXPECT_EQ(bar.GetPos(), 1);

  bar.SetRange32(0, 3);
  bar.SetStep(1);
  bar.SetPos(0);
  for (int i = 0; i < 3; ++i) bar.StepIt();
  EXPECT_EQ(bar.GetPos(), 3);  // the top itself is reached
  bar.StepIt();
  EXPECT_EQ(bar.GetPos(), 1);  // past it the bar starts over
  bar.DeltaPos(-10);
  EXPECT_EQ(bar.GetPos(), 0);
  bar.DeltaPos(INT32_MAX);
  EXPECT_EQ(bar.GetPos(), 3);

  r.boxes.set_answer(kIdNo);
  std::string seen;
  r.boxes.set_on_show([&](const ShownBox& box) { seen = box.text; });
  EXPECT_EQ(r.boxes.ShowMessageBox("Go on?", std::nullopt, kMbYesNoInformation), kIdNo);
  EXPECT_EQ(seen, "Go on?");
  r.status.SetText("done");

  EXPECT_THAT(r.log.Lines(),
              ::testing::ElementsAre(
                  "progress: pos 150", "progress: range 0 0", "progress: delta 0",
                  "progress: stepit", "progress: range 0 1", "progress: pos 1",
                  "progress: range 0 3", "progress: step 1", "progress: pos 0", "progress: stepit",
                  "progress: stepit", "progress: stepit", "progress: stepit", "progress: delta -10",
                  "progress: delta 2147483647", "box: Go on? | (title) | 68", "status: done"));
}

}  // namespace
}  // namespace quorvane::testing
