// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace pictrane {

// Plain sleeps and a monotonic clock. How long the run's pauses are, and from when they count,
// is the core's business (src/conversion/Pacer.h); a clock never shortens a sleep.
class Clock {
 public:
  virtual ~Clock() = default;
  // Sleeps at least Milliseconds.
  virtual void Sleep(int Milliseconds) = 0;
  // Monotonic milliseconds, for bounded waits.
  virtual std::int64_t NowMs() = 0;
  // Monotonic microseconds, for pauses measured from the moment keys were handed over. A clock
  // that cannot tell finer than a millisecond leaves this to NowMs.
  virtual std::int64_t NowUs() { return NowMs() * 1000; }
  // Sleeps at least Microseconds (rounded up to whole milliseconds unless the clock can do better),
  // and ends as soon after as the clock can: the run's pauses are a few milliseconds each.
  virtual void SleepUs(std::int64_t Microseconds) {
    if (Microseconds > 0) Sleep(static_cast<int>((Microseconds + 999) / 1000));
  }
};

}  // namespace pictrane
