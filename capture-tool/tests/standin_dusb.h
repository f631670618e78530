// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The stand-in calculator as a TI-84 Plus CE (standin_calc --model 84pce), which links by
// DirectUSB: raw packets (a 4-byte big-endian size, a type byte, the data) carry the buffer size
// negotiation, virtual packets cut to the agreed size, and an acknowledgement of every raw packet
// of virtual data; a virtual packet is a 4-byte size, a 2-byte type and its data.
//
//   standin_calc --model 84pce [--fail silent|busy|memory|locked|vanish] [--after N]
//                [--save DIR] [--screen FILE] [--hold NAME]... -- COMMAND [ARGUMENT...]
//
// It answers a mode setting with its acknowledgement, a request to send a variable (its name,
// size and attributes) with a data acknowledgement, the variable's contents with another, and a
// parameter request for the screenshot with the 320x240 screen (RGB565, little-endian, rows from
// the top; FILE holds those 153600 bytes, otherwise colour bars). Each variable received is saved
// as DIR/NAME.var holding its data and DIR/NAME.info holding "type TT version VV archived A"
// (hexadecimal type and version); a Pic received shows on the screen's graph area (265x165, its
// no-colour pixels leaving the screen as it was), an Image doubled as its background. --fail
// silent answers nothing; busy answers the mode setting with the busy error; memory and locked
// answer a request to send with the out-of-memory and the locked-variable errors; vanish closes
// the stand-in's end of the cable. With --after N the failure starts once N variables have
// arrived. Asked for its variables (a directory list), it sends a header of each one --hold gave
// it (Pic1, Image3) and each one received, then the end of the list.

// Whether the arguments ask for the TI-84 Plus CE ("--model 84pce" before "--").
bool WantsDirectUsb(int Argc, char** Argv);

// Runs the stand-in as a TI-84 Plus CE on the virtual cable's port 1 until COMMAND ends; returns
// its status (125 when the stand-in itself cannot run, after a line on standard error).
int RunDirectUsbStandIn(int Argc, char** Argv);
