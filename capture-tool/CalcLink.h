// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The link to a 68000 calculator (TI-89, TI-89 Titanium, TI-92 Plus, Voyage 200) through the
// field's cable and protocol libraries: send variable files, take the screen.
//
// Every wait on the cable ends after the library's timeout (tenths of a second); Cancel, checked
// before every packet, ends an operation at the next packet. An operation returns only when the
// calculator acknowledged everything it was sent; anything else raises LinkError with a message
// for a person.

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "PixelConversion.h"

namespace pictrane::capture {

enum class CableKind { Usb, SilverLink, Serial, Virtual };

// "usb", "silverlink", "serial", "vti", or nothing.
std::optional<CableKind> ParseCable(std::string_view Name);

struct LinkSettings {
  std::optional<CableKind> Cable;  // nothing: look for a USB calculator or a SilverLink
  int Port = 0;                    // 1..4; 0: the first (the virtual cable: 2, the program's end)
  unsigned TimeoutTenths = 20;
};

class LinkError : public std::runtime_error {
 public:
  enum class Kind { NoCable, NoAnswer, Busy, OutOfMemory, Locked, Cancelled, Refused, BadFile };
  LinkError(Kind What, const std::string& Text) : std::runtime_error(Text), What_(What) {}
  Kind What() const { return What_; }

 private:
  Kind What_;
};

class CalcLink {
 public:
  // Opens the cable and asks the calculator whether it is ready; raises LinkError (NoCable,
  // NoAnswer, Busy, Cancelled). Cancel, when given, outlives the link.
  explicit CalcLink(const LinkSettings& Settings, const std::atomic<bool>* Cancel = nullptr);
  ~CalcLink();
  CalcLink(const CalcLink&) = delete;
  CalcLink& operator=(const CalcLink&) = delete;

  // What was found, for a person: "SilverLink cable, TI-89 answering".
  const std::string& Found() const;
  // The screen's size as the user sees it: 160x100 for the TI-89 family, 240x128 otherwise.
  PictureSize Screen() const;

  // Sends every variable of the variable file at Path (a group file: all its variables).
  void SendFile(const std::string& Path);
  // The screen, clipped to Screen(); Dark holds 1 for a black pixel.
  MonoPicture TakeScreen();

  // The cable library's own measure of the last data packet sent, in bytes a second (0 before).
  float Rate() const;

 private:
  struct State;
  std::unique_ptr<State> S_;
};

}  // namespace pictrane::capture
