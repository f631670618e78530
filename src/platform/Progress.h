// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace pictrane {

// What the progress window shows, decided once for every toolkit (window/ProgressReport.h): the
// back ends draw it.
struct ProgressView {
  std::string Title;
  std::string Counter;    // "Converting N of M", or what the window says once Cancel was pressed
  std::string Name;       // the bitmap the capture tool is working on
  std::size_t Done = 0;   // bitmaps finished: the bar's value...
  std::size_t Total = 0;  // ...of this many
  std::string CancelCaption;
  bool CanCancel = true;        // false once Cancel was pressed: the run is stopping
  std::string StoppingCounter;  // the counter from the moment Cancel is pressed
  std::string WidestCounter;    // the longest counter, for a size that never changes in a run
};

// The view as the window shows it from the moment Cancel is pressed, before the run hears of it.
inline ProgressView Pressed(ProgressView View) {
  View.Counter = View.StoppingCounter;
  View.CanCancel = false;
  return View;
}

// Where the window stands: its frame's bottom-right corner this many pixels from the work area's.
inline constexpr int kProgressMargin = 16;

struct ScreenPoint {
  int X = 0, Y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The frame's top-left corner for a frame of Width x Height in the work area whose top-left
// corner is (Left, Top) and whose size is AreaWidth x AreaHeight.
inline ScreenPoint ProgressWindowOrigin(int Left, int Top, int AreaWidth, int AreaHeight, int Width,
                                        int Height) {
  return {Left + AreaWidth - Width - kProgressMargin, Top + AreaHeight - Height - kProgressMargin};
}

// The window itself, as each toolkit draws it: standing over the capture tool without ever taking
// the keyboard focus, plus the taskbar's progress where the desktop offers one.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows View over the screen of the capture tool's window.
  virtual void Begin(const ProgressView& View) = 0;
  // Shows View instead (once Cancel was pressed, the run's views say so). Cheap: called per file.
  virtual void Step(const ProgressView& View) = 0;
  // True once the user pressed Cancel or closed the window since Begin.
  virtual bool CancelPressed() = 0;
  // Hides the window; Complete false shows the taskbar's progress as stopped short.
  virtual void End(bool Complete) = 0;
};

// How a run goes, as the run tells it (window/ProgressReport.h shows it in a ProgressWindow).
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  // Shows the window over the screen of the capture tool's window; Total bitmaps are listed.
  virtual void Begin(std::size_t Total) = 0;
  // Bitmap Index (1-based) of Total, named Name, is being converted now. Cheap: called per file.
  virtual void Step(std::size_t Index, const std::string& Name) = 0;
  // True once the user pressed Cancel or closed the progress window.
  virtual bool CancelRequested() = 0;
  // Hides the window; Complete false shows the taskbar's progress as stopped short.
  virtual void End(bool Complete) = 0;
};

// Desktop notifications, where a notification service runs; silently nothing elsewhere.
class DesktopNotifier {
 public:
  virtual ~DesktopNotifier() = default;
  virtual void Notify(const std::string& Summary, const std::string& Body) = 0;
};

// For hosts that show no progress (benchmarks, tests of other parts): shows nothing, never cancels.
class SilentProgress final : public RunProgress {
 public:
  void Begin(std::size_t) override {}
  void Step(std::size_t, const std::string&) override {}
  bool CancelRequested() override { return false; }
  void End(bool) override {}
};

class SilentNotifier final : public DesktopNotifier {
 public:
  void Notify(const std::string&, const std::string&) override {}
};

}  // namespace pictrane
