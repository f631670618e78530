// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

#include "platform/Progress.h"

namespace pictrane {

// The window's content through a run. Each call gives the view to draw.
class ProgressContent {
 public:
  const ProgressView& Begin(std::size_t Total);
  // Bitmap Index (1-based) is being converted now.
  const ProgressView& Step(std::size_t Index, const std::string& Name);
  // Cancel or the close box; the run stops after the current bitmap.
  const ProgressView& Cancel();
  bool Cancelled() const { return !View_.CanCancel; }
  const ProgressView& View() const { return View_; }
  // The longest counter the window shows, for a size that never changes during a run.
  static std::string WidestCounter();

 private:
  ProgressView View_;
};

// The run's progress as a toolkit's window shows it: the texts are decided here, the window only
// draws them and tells of Cancel.
class ProgressReport final : public RunProgress {
 public:
  explicit ProgressReport(ProgressWindow& Window) : Window_(Window) {}
  void Begin(std::size_t Total) override { Window_.Begin(Content_.Begin(Total)); }
  void Step(std::size_t Index, const std::string& Name) override {
    CancelRequested();
    Window_.Step(Content_.Step(Index, Name));
  }
  bool CancelRequested() override;
  void End(bool Complete) override { Window_.End(Complete); }

 private:
  ProgressWindow& Window_;
  ProgressContent Content_;
};

}  // namespace pictrane
