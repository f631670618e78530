// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "conversion/SendKeys.h"

namespace pictrane {

class Clock;

// The one pacing rule of the run, for every build. A pause after a key string starts when the
// string's last event has been handed to the window system; whatever the program does after
// that (painting the progress window, looking at the next picture, watching the focus) counts
// inside the pause, and only the rest is slept. A pause is never shorter than asked: the clock's
// own lateness only ever lengthens it.
class Pacer {
 public:
  explicit Pacer(Clock& C) : C_(C) {}

  // The key string's last event has just been handed over, or the tool's window has just taken
  // the focus: Ms of pause start now. The pause is owed until Settle (or the next key string)
  // takes it.
  void KeysHanded(int Ms);
  // Adds Ms to the pause owed (the longer wait before the target path).
  void Lengthen(int Ms) { OwedUs_ += static_cast<std::int64_t>(Ms) * 1000; }
  // Sleeps whatever is left of the pause owed; at once when the work since took it all.
  void Settle();
  // A pause that no key string starts (after a program start): slept whole.
  void Whole(int Ms);

 private:
  Clock& C_;
  std::int64_t HandedUs_ = 0;
  std::int64_t OwedUs_ = 0;
};

// One key string's two moments for the pacer: the pause owed ends just before its first event,
// and PauseMs start once its last is handed over.
// EarlierKeysCount: others' key events since the previous string count against this one.
class PacedString final : public KeyPacing {
 public:
  PacedString(Pacer& Pace, int PauseMs, bool EarlierKeysCount = false)
      : Pace_(Pace), PauseMs_(PauseMs), EarlierKeysCount_(EarlierKeysCount) {}
  void BeforeFirstKey() override { Pace_.Settle(); }
  void Handed() override { Pace_.KeysHanded(PauseMs_); }
  bool EarlierKeysCount() override { return EarlierKeysCount_; }

 private:
  Pacer& Pace_;
  int PauseMs_;
  bool EarlierKeysCount_;
};

}  // namespace pictrane
