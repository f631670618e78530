// SPDX-License-Identifier: GPL-3.0-or-later
// What the progress window shows through a run and where it stands, for every toolkit.

#include <gtest/gtest.h>

#include "window/ProgressReport.h"

namespace pictrane::testing {
namespace {

TEST(ProgressContent, TextsAndBarThroughARun) {
  struct Step {
    const char* what;  // "begin N", "step N name", "cancel"
    std::size_t index;
    std::string name;
    std::string counter;
    std::size_t done;
    bool canCancel;
  };
  const Step steps[] = {
      {"begin", 3, "", "Converting 0 of 3", 0, true},
      {"step", 1, "a.bmp", "Converting 1 of 3", 0, true},
      {"step", 2, "b b.bmp", "Converting 2 of 3", 1, true},
      {"cancel", 0, "b b.bmp", "Stopping after this bitmap...", 1, false},
      // A step after Cancel still names the bitmap but keeps saying the run is stopping.
      {"step", 3, "c.bmp", "Stopping after this bitmap...", 2, false},
      {"begin", 1, "", "Converting 0 of 1", 0, true},
  };
  ProgressContent content;
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.what) + " " + std::to_string(s.index));
    const std::string w = s.what;
    const ProgressView& v = w == "begin"  ? content.Begin(s.index)
                            : w == "step" ? content.Step(s.index, s.name)
                                          : content.Cancel();
    EXPECT_EQ(v.Title, "Converting - Pictrane Converter");
    EXPECT_EQ(v.Counter, s.counter);
    EXPECT_EQ(v.Name, s.name);
    EXPECT_EQ(v.Done, s.done);
    EXPECT_EQ(v.Total, w == "begin" ? s.index : 3u);
    EXPECT_EQ(v.CancelCaption, "Cancel");
    EXPECT_EQ(v.CanCancel, s.canCancel);
    EXPECT_EQ(content.Cancelled(), !s.canCancel);
    EXPECT_LE(v.Counter.size(), ProgressContent::WidestCounter().size());
  }
}

TEST(ProgressContent, StandsAtTheWorkAreasBottomRightCorner) {
  // A work area at (0, 0) 1024x738 (a panel below), and one of a second screen at (1024, 30).
  EXPECT_EQ(ProgressWindowOrigin(0, 0, 1024, 738, 360, 140), (ScreenPoint{648, 582}));
  EXPECT_EQ(ProgressWindowOrigin(1024, 30, 800, 570, 360, 140), (ScreenPoint{1448, 444}));
}

}  // namespace
}  // namespace pictrane::testing
