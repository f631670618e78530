// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The link to a calculator (the models of calc/Models.h with a link family) through the field's
// cable and protocol libraries: send variable files, take the screen.
//
// Every wait on the cable ends after the library's timeout (tenths of a second); Cancel, checked
// before every packet, ends an operation at the next packet. An operation returns only when the
// calculator acknowledged everything it was sent; anything else raises LinkError with a message
// for a person.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>

#include "calc/Models.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {

enum class CableKind { Usb, SilverLink, Serial, Virtual };

// "usb", "silverlink", "serial", "vti", or nothing.
std::optional<CableKind> ParseCable(std::string_view Name);

struct LinkSettings {
  std::optional<CableKind> Cable;  // nothing: look for a USB calculator or a SilverLink
  int Port = 0;                    // 1..4; 0: the first (the virtual cable: 2, the program's end)
  unsigned TimeoutTenths = 20;
  // The model expected where the cable cannot say which protocol to speak (the virtual cable,
  // and a USB cable given by name): a model linking by DirectUSB only is spoken to so.
  std::optional<CalcModelId> Model;
};

// Settings whose Model, when they name none, is the model of the calculator file at Path (by its
// type), so that the virtual cable's calculator is spoken to as the file's model.
LinkSettings ExpectingFileOf(LinkSettings Settings, const std::string& Path);

class LinkError : public std::runtime_error {
 public:
  enum class Kind { NoCable, NoAnswer, Busy, OutOfMemory, Locked, Cancelled, Refused, BadFile };
  LinkError(Kind What, const std::string& Text)
      : std::runtime_error(Text), What_(What), Reason_(Text) {}
  // what() is "Subject: Reason"; Reason() alone serves a line that names the subject itself.
  LinkError(Kind What, const std::string& Subject, const std::string& Reason)
      : std::runtime_error(Subject + ": " + Reason), What_(What), Reason_(Reason) {}
  Kind What() const { return What_; }
  const std::string& Reason() const { return Reason_; }

 private:
  Kind What_;
  std::string Reason_;
};

class CalcLink {
 public:
  // Opens the cable and asks the calculator whether it is ready; raises LinkError (NoCable,
  // NoAnswer, Busy, Cancelled). Cancel, when given, outlives the link.
  explicit CalcLink(const LinkSettings& Settings, const std::atomic<bool>* Cancel = nullptr);
  ~CalcLink();
  CalcLink(const CalcLink&) = delete;
  CalcLink& operator=(const CalcLink&) = delete;

  // What was found, for a person: "SilverLink cable, " and the model answering.
  const std::string& Found() const;
  // The screen's size as the user sees it: the answering model's LinkScreen (Models.h).
  PictureSize Screen() const;
  // Whether a numbered model answered (its files differ from the 68000 models', and it has no
  // folders), and the family of its link (Models.h).
  bool Z80() const;
  LinkFamily Family() const;

  // A variable as the calculator names it, in UTF-8: "main" and "img_2024"; on a numbered model
  // no folder and "Pic1".
  struct Variable {
    std::string Folder;
    std::string Name;
  };
  // The variables the calculator holds, every folder's.
  std::vector<Variable> Variables();

  // Sends every variable of the variable file at Path (a group file: all its variables, one
  // after another). Acknowledged, when given, counts the variables the calculator acknowledged,
  // in the file's order, also when a later one fails. SendAs, when given, is asked for each
  // variable's name on the calculator (in the same folder) and given the name the file holds.
  using Renaming = std::function<std::string(const Variable&)>;
  void SendFile(const std::string& Path, std::size_t* Acknowledged = nullptr,
                const Renaming& SendAs = {});
  // The screen, clipped to Screen(); Dark holds 1 for a black pixel. A colour screen raises
  // LinkError (TakeScreenImage takes it).
  MonoPicture TakeScreen();
  // The screen as an image: a colour calculator's in its colours, the others' in two.
  QImage TakeScreenImage();

  // The cable library's own measure of the last data packet sent, in bytes a second (0 before).
  float Rate() const;

 private:
  struct State;
  std::unique_ptr<State> S_;
};

}  // namespace pictrane::capture
