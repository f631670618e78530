// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace pictrane {

// A small window that shows how a run goes, standing over the capture tool without ever taking
// the keyboard focus, plus the taskbar's progress where the desktop offers one.
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
