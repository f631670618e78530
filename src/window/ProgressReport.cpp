// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/ProgressReport.h"

#include "pictrane/Product.h"

namespace pictrane {

namespace {
constexpr const char* kStopping = "Stopping after this bitmap...";

std::string Counter(std::size_t Index, std::size_t Total) {
  return "Converting " + std::to_string(Index) + " of " + std::to_string(Total);
}
}  // namespace

const ProgressView& ProgressContent::Begin(std::size_t Total) {
  View_ = ProgressView{.Title = std::string("Converting - ") + kAppTitle,
                       .Counter = Counter(0, Total),
                       .Name = "",
                       .Done = 0,
                       .Total = Total,
                       .CancelCaption = "Cancel",
                       .CanCancel = true,
                       .StoppingCounter = kStopping,
                       .WidestCounter = WidestCounter()};
  return View_;
}

const ProgressView& ProgressContent::Step(std::size_t Index, const std::string& Name) {
  // Once stopping, the window keeps saying so.
  if (View_.CanCancel) View_.Counter = Counter(Index, View_.Total);
  View_.Name = Name;
  // The bar shows bitmaps finished, so the last one fills it only at the end.
  View_.Done = Index > 0 ? Index - 1 : 0;
  return View_;
}

const ProgressView& ProgressContent::Cancel() {
  View_.CanCancel = false;
  View_.Counter = kStopping;
  return View_;
}

std::string ProgressContent::WidestCounter() {
  return kStopping;
}

bool ProgressReport::CancelRequested() {
  // The window already shows the press; from now on every view says so too.
  if (!Content_.Cancelled() && Window_.CancelPressed()) Content_.Cancel();
  return Content_.Cancelled();
}

}  // namespace pictrane
