// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What both stand-in calculators share: the libraries' virtual cable at port 1, the command that
// is the computer's side at port 2, and the loop that serves the calculator until it ends.

#include <functional>
#include <memory>

#include <ticables.h>

class StandInCalculator {
 public:
  virtual ~StandInCalculator() = default;
  // It has left the cable, as an unplugged calculator does.
  virtual bool Gone() const = 0;
  // The cable holds bytes for it: it reads what it can and answers.
  virtual void Serve() = 0;
};

// Opens the cable, starts Command (a null-terminated argument list), serves the calculator that
// Make gives for the cable until Command ends, and returns Command's exit status (125 when the
// cable cannot be opened or Command did not end normally).
int ServeBeside(char** Command,
                const std::function<std::unique_ptr<StandInCalculator>(CableHandle*)>& Make);
