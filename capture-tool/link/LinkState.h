// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The link's state behind CalcLink: the cable and protocol libraries' handles, the event hook that
// watches their packets, and the translation of their errors into what we tell the user.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calc/TiLibraries.h"
#include "link/CalcLink.h"

namespace pictrane::capture {

// Machine IDs the 68000 calculators answer with.
inline constexpr std::uint8_t kFromTi89 = 0x98;
inline constexpr std::uint8_t kFromTi92Plus = 0x88;
// A Z80 model: "ready?" is answered whatever machine it was addressed to.
inline constexpr std::uint8_t kFromTi83Plus = 0x73;

// Starts the cable, file and protocol libraries once.
void EnsureLibrariesReady();

// The cables: as the command line and the settings name them, as a line says them, and the
// library's.
struct CableRow {
  CableKind Kind;
  std::string_view Name;
  const char* Said;
  CableModel Library;
};
inline constexpr std::array<CableRow, 4> kCables{{
    {CableKind::Usb, "usb", "direct USB", CABLE_USB},
    {CableKind::SilverLink, "silverlink", "SilverLink cable", CABLE_SLV},
    {CableKind::Serial, "serial", "serial cable", CABLE_GRY},
    {CableKind::Virtual, "vti", "virtual cable", CABLE_VTI},
}};
const CableRow& CableOf(CableKind Kind);

struct CalcLink::State {
  CableHandle* Cable = nullptr;
  CalcHandle* Calc = nullptr;
  bool Attached = false;
  CalcUpdate Update{};
  const std::atomic<bool>* Cancel = nullptr;
  unsigned TimeoutTenths = 20;
  std::string Found;
  PictureSize Screen = kTi89Screen;
  bool Z80 = false;  // a numbered model: the Z80 link family, or DirectUSB's colour models
  LinkFamily Family = LinkFamily::Dbus68k;
  // Handles replaced by one for the calculator that answered, on the virtual cable. Deleting a
  // handle closes its cable, and the emulator's end would not see it open again; they go when
  // the link does.
  bool Virtual = false;
  std::vector<CalcHandle*> Retired;
  // What the last packets received said, for messages the library cannot give.
  std::uint8_t LastHost = 0;
  std::uint8_t LastCommand = 0;
  std::uint16_t LastLength = 0;
  std::array<std::uint8_t, 3> Refusal{};
  bool Refused = false;
  float Rate = 0;

  ~State() { Close(); }

  void Close();
  // The protocol library's event hook: notes what the packets said and the rate, and cancels.
  static int Hook(CalcHandle*, std::uint32_t, const CalcEventData* Event, void* User);
  // Throws the LinkError that tells the user what the library's error Code means.
  [[noreturn]] void Fail(int Code, const std::string& What) const;
  void OpenCable(CableKind Kind, int Port);

  // Attaches a protocol handle for Model to the cable (the first attach opens it), in place of
  // the one before.
  void Speak(CalcModel Model, const std::string& Failure);
};

}  // namespace pictrane::capture
