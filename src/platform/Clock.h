// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace pictrane {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(int Milliseconds) = 0;
  // Monotonic milliseconds, for bounded waits.
  virtual std::int64_t NowMs() = 0;
};

}  // namespace pictrane
