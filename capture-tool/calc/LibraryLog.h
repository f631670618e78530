// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculator libraries log through GLib, unasked, to the user's terminal ("ticables-CRITICAL",
// "... not found in list. Please report it at ..."). Their log goes through this tool's handler:
// shown on standard error with --verbose, dropped otherwise, since every failure the user must act
// on gets a line of the tool's own.

namespace pictrane::capture {

void RouteLibraryLog(bool Verbose);

}  // namespace pictrane::capture
