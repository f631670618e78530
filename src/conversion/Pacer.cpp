// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/Pacer.h"

#include "platform/Clock.h"

namespace pictrane {

void Pacer::KeysHanded(int Ms) {
  HandedUs_ = C_.NowUs();
  OwedUs_ = static_cast<std::int64_t>(Ms) * 1000;
}

void Pacer::Settle() {
  if (OwedUs_ <= 0) return;
  const std::int64_t Left = HandedUs_ + OwedUs_ - C_.NowUs();
  OwedUs_ = 0;
  if (Left > 0) C_.SleepUs(Left);
}

void Pacer::Whole(int Ms) {
  Settle();
  C_.Sleep(Ms);
}

}  // namespace pictrane
