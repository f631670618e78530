// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/CalcLink.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "calc/CalcFile.h"
#include "calc/CalcRead.h"
#include "calc/CeColour.h"
#include "calc/Models.h"
#include "calc/TiLibraries.h"
#include "link/LinkState.h"
#include "pictrane/Names.h"
#include "picture/PictureFile.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

std::optional<CableKind> ParseCable(std::string_view Name) {
  for (const CableRow& Row : kCables) {
    if (Row.Name == Name) return Row.Kind;
  }
  return std::nullopt;
}

LinkSettings ExpectingFileOf(LinkSettings Settings, const std::string& Path) {
  EnsureLibrariesReady();
  if (const CalcModelInfo* Row = ModelOfLibrary(tifiles_file_get_model(Path.c_str()));
      Row != nullptr && !Settings.Model) {
    Settings.Model = Row->Id;
  }
  return Settings;
}

CalcLink::CalcLink(const LinkSettings& Settings, const std::atomic<bool>* Cancel)
    : S_(std::make_unique<State>()) {
  EnsureLibrariesReady();
  S_->Cancel = Cancel;
  S_->TimeoutTenths = Settings.TimeoutTenths;

  CableKind Kind = CableKind::SilverLink;
  int Port = Settings.Port;
  CalcModel DirectUsb = CALC_NONE;  // the calculator's own USB link, when that is the cable
  if (Settings.Cable) {
    Kind = *Settings.Cable;
    const bool DirectOnly = Settings.Model && InfoOf(*Settings.Model).Link == LinkFamily::Dusb;
    if (DirectOnly && (Kind == CableKind::Usb || Kind == CableKind::Virtual)) {
      DirectUsb = static_cast<CalcModel>(InfoOf(*Settings.Model).UsbLibraryModel);
    } else if (Kind == CableKind::Usb) {
      DirectUsb = static_cast<CalcModel>(FirstOf(LinkFamily::Dbus68k).UsbLibraryModel);
    }
    if (Port == 0) Port = Kind == CableKind::Virtual ? PORT_2 : PORT_1;
  } else {
    // The first calculator with a USB link of its own, or SilverLink, on the USB bus.
    int* Pids = nullptr;
    int Count = 0;
    bool FoundOne = false;
    if (ticables_get_usb_devices(&Pids, &Count) == 0 && Pids != nullptr) {
      for (int I = 0; I < Count && !FoundOne; ++I) {
        const int Pid = Pids[I];
        FoundOne =
            Pid == PID_TI89TM || Pid == PID_TIGLUSB || Pid == PID_TI84P || Pid == PID_TI84P_SE;
        if (!FoundOne) continue;
        Kind = Pid == PID_TIGLUSB ? CableKind::SilverLink : CableKind::Usb;
        DirectUsb = Pid == PID_TI89TM                         ? CALC_TI89T_USB
                    : Pid == PID_TI84P || Pid == PID_TI84P_SE ? CALC_TI84P_USB
                                                              : CALC_NONE;
        Port = I + 1;
      }
    }
    if (Pids != nullptr) ticables_free_usb_devices(Pids);
    if (!FoundOne) {
      throw LinkError(LinkError::Kind::NoCable,
                      "no USB calculator or SilverLink cable found (plugged in? allowed to the "
                      "user by the cable library's udev rule?)");
    }
  }
  if (Port < PORT_1 || Port > PORT_4) {
    throw LinkError(LinkError::Kind::NoCable, "the port is a number from 1 to 4");
  }

  S_->OpenCable(Kind, Port);
  if (DirectUsb != CALC_NONE) {
    // On USB, the calculator's own link says which calculator it is (a numbered one-bit model and
    // the colour calculators share a product id).
    CalcModel Probed = CALC_NONE;
    if (Kind == CableKind::Usb && ticalcs_probe_usb_calc(S_->Cable, &Probed) == 0 &&
        ModelOfUsb(Probed) != nullptr) {
      DirectUsb = Probed;
    }
    const CalcModelInfo& Row = *ModelOfUsb(DirectUsb);
    S_->Speak(DirectUsb, std::string("no ") + Row.UsbName + " on USB");
    S_->Family = Row.Link;
    S_->Z80 = Row.Link != LinkFamily::Dbus68k;
    S_->Screen = Row.LinkScreen;
    S_->Found = std::string(Row.UsbName) +
                (Kind == CableKind::Virtual ? " on the virtual cable" : " on direct USB");
    if (const int Code = ticalcs_calc_isready(S_->Calc); Code != 0) S_->Fail(Code, "the link");
    return;
  }
  // The calculator's answer to "ready?" names its family; the first 68000 model's handle asks,
  // and speaks for the larger screens too (the same packets).
  if (const int Code = ticalcs_calc_isready(S_->Calc); Code != 0) S_->Fail(Code, "the link");
  const CalcModelInfo& First = FirstOf(LinkFamily::Dbus68k);
  std::string Model = First.Name;
  if (S_->LastHost == kFromTi92Plus) {
    S_->Screen = kTi92Screen;
    Model = NamesWhere(
        [](const CalcModelInfo& Row) {
          return Row.Link == LinkFamily::Dbus68k && Row.LinkScreen == kTi92Screen;
        },
        false);
  } else if (S_->LastHost == kFromTi83Plus) {
    const CalcModelInfo& Z80 = FirstOf(LinkFamily::DbusZ80);
    S_->Speak(static_cast<CalcModel>(Z80.LibraryModel), "the link");
    S_->Screen = Z80.LinkScreen;
    S_->Z80 = true;
    S_->Family = LinkFamily::DbusZ80;
    Model = FamilyName(LinkFamily::DbusZ80);
  } else if (S_->LastHost != kFromTi89) {
    throw LinkError(
        LinkError::Kind::Refused,
        "the link: the calculator answering is not a " +
            NamesWhere([](const CalcModelInfo& Row) { return Row.Link != LinkFamily::None; },
                       true));
  }
  S_->Found = std::string(CableOf(Kind).Said) + " on port " + std::to_string(Port) + ", " + Model +
              " answering";
}

CalcLink::~CalcLink() = default;

const std::string& CalcLink::Found() const {
  return S_->Found;
}

PictureSize CalcLink::Screen() const {
  return S_->Screen;
}

float CalcLink::Rate() const {
  return S_->Rate;
}

bool CalcLink::Z80() const {
  return S_->Z80;
}

LinkFamily CalcLink::Family() const {
  return S_->Family;
}

namespace {

std::string Utf8Name(CalcModel Model, const char* Name, unsigned char Type) {
  char* Text = ticonv_varname_to_utf8(Model, Name, Type);
  std::string Result = Text == nullptr ? std::string() : std::string(Text);
  if (Text != nullptr) ticonv_utf8_free(Text);
  return Result;
}

// Gives Entry the name Name (UTF-8) as the calculator's character set or its tokens hold it, or
// as text (the colour calculators' link takes names as text).
bool Rename(VarEntry* Entry, CalcModel Model, const std::string& Name, bool AsText) {
  std::string Stored;
  if (AsText) {
    Stored = Name;
  } else if (tifiles_calc_is_ti8x(Model) != 0) {
    char* Token = ticonv_varname_tokenize(Model, Name.c_str(), Entry->type);
    if (Token == nullptr) return false;
    Stored = Token;
    ticonv_varname_free(Token);
  } else {
    const QString Text = QString::fromStdString(Name);
    const QList<uint> Codes = Text.toUcs4();
    Stored = ToCalcCharset(std::u32string(Codes.begin(), Codes.end()));
  }
  if (Stored.empty() || Stored.size() >= sizeof(Entry->name)) return false;
  std::memset(Entry->name, 0, sizeof(Entry->name));
  std::memcpy(Entry->name, Stored.data(), Stored.size());
  return true;
}

}  // namespace

std::vector<CalcLink::Variable> CalcLink::Variables() {
  GNode* Vars = nullptr;
  GNode* Apps = nullptr;
  const int Code = ticalcs_calc_get_dirlist(S_->Calc, &Vars, &Apps);
  std::vector<Variable> Found;
  const CalcModel Model = static_cast<CalcModel>(FirstOf(S_->Family).LibraryModel);
  for (GNode* Folder = Vars != nullptr ? Vars->children : nullptr; Code == 0 && Folder != nullptr;
       Folder = Folder->next) {
    const auto* Entry = static_cast<const VarEntry*>(Folder->data);
    const std::string FolderName =
        Entry == nullptr ? std::string() : Utf8Name(Model, Entry->name, 0xFF);
    for (GNode* Each = Folder->children; Each != nullptr; Each = Each->next) {
      const auto* Var = static_cast<const VarEntry*>(Each->data);
      if (Var == nullptr || Var->name[0] == '\0') continue;
      Found.push_back({FolderName, Utf8Name(Model, Var->name, Var->type)});
    }
  }
  if (Vars != nullptr) ticalcs_dirlist_destroy(&Vars);
  if (Apps != nullptr) ticalcs_dirlist_destroy(&Apps);
  if (Code != 0) S_->Fail(Code, "the calculator's list of variables");
  return Found;
}

void CalcLink::SendFile(const std::string& Path, std::size_t* Acknowledged,
                        const Renaming& SendAs) {
  const std::string Shown = EscapedName(Path);
  // Read whole first, so that a file cut short is named as such before the calculator is asked.
  try {
    CheckCalcFile(Path);
  } catch (const RaisedError& Error) {
    const std::string Prefix = Shown + ": ";
    const bool Named = Error.Description.rfind(Prefix, 0) == 0;
    throw LinkError(LinkError::Kind::BadFile, Shown,
                    Named ? Error.Description.substr(Prefix.size()) : Error.Description);
  }
  struct ContentDeleter {
    void operator()(FileContent* Content) const { tifiles_content_delete_regular(Content); }
  };
  using Content = std::unique_ptr<FileContent, ContentDeleter>;
  // The colour calculators' files carry the one-bit numbered models' signature: their extension
  // tells them apart, and read for their own model they keep their names as text, as their link
  // sends them.
  const CalcModelInfo* Of = ModelOfLibrary(tifiles_file_get_model(Path.c_str()));
  const bool Colour = Of != nullptr && Of->Link == LinkFamily::Dusb;
  Content Whole(tifiles_content_create_regular(Colour ? static_cast<CalcModel>(Of->LibraryModel)
                                                      : CALC_NONE));
  if (!Whole) throw LinkError(LinkError::Kind::Refused, Shown, "out of memory");
  if (tifiles_file_read_regular(Path.c_str(), Whole.get()) != 0) {
    static_cast<void>(Whole.release());  // freed by the library (CalcRead.cpp)
    throw LinkError(LinkError::Kind::BadFile, Shown, "the file is damaged or cut short");
  }
  // The family whose files these are: the colour calculators' by the table, the others' by
  // the library.
  const CalcModel Model = Colour ? static_cast<CalcModel>(Of->LibraryModel) : Whole->model;
  const LinkFamily FileFamily = Colour                                    ? LinkFamily::Dusb
                                : tifiles_calc_is_ti8x(Whole->model) != 0 ? LinkFamily::DbusZ80
                                                                          : LinkFamily::Dbus68k;
  if (FileFamily != S_->Family) {
    throw LinkError(LinkError::Kind::Refused, Shown,
                    "a file for the " + FamilyName(FileFamily) + "; " +
                        (S_->Family == LinkFamily::Dbus68k ? std::string("another calculator")
                                                           : "a " + FamilyName(S_->Family)) +
                        " answers");
  }
  // One variable at a time, so that a failure midway still tells which ones arrived.
  for (unsigned I = 0; I < Whole->num_entries; ++I) {
    const Content One(tifiles_content_create_regular(Model));
    VarEntry* Copy = One ? tifiles_ve_dup(Whole->entries[I]) : nullptr;
    if (Copy == nullptr) throw LinkError(LinkError::Kind::Refused, Shown, "out of memory");
    if (SendAs) {
      const Variable Own{
          Colour ? std::string() : Utf8Name(Model, Copy->folder, 0xFF),
          Colour ? std::string(Copy->name) : Utf8Name(Model, Copy->name, Copy->type)};
      std::string As;
      try {
        As = SendAs(Own);
      } catch (...) {
        tifiles_ve_delete(Copy);
        throw;
      }
      if (As != Own.Name && !Rename(Copy, Model, As, Colour)) {
        tifiles_ve_delete(Copy);
        throw LinkError(LinkError::Kind::Refused, Shown, "the name " + As + " cannot be given");
      }
    }
    tifiles_content_add_entry(One.get(), Copy);
    S_->Refused = false;
    if (const int Code = ticalcs_calc_isready(S_->Calc); Code != 0) S_->Fail(Code, Shown);
    if (const int Code = ticalcs_calc_send_var(S_->Calc, MODE_NORMAL, One.get()); Code != 0) {
      S_->Fail(Code, Shown);
    }
    // The Z80 models' protocol library takes a refusal to overwrite as "skip" and goes on.
    if (S_->Refused) {
      throw LinkError(LinkError::Kind::Locked, Shown,
                      "a variable of that name on the calculator is locked or archived");
    }
    if (Acknowledged != nullptr) ++*Acknowledged;
  }
}

QImage CalcLink::TakeScreenImage() {
  if (S_->Family != LinkFamily::Dusb) return ToImage(TakeScreen());
  CalcScreenCoord Coord{};
  Coord.format = SCREEN_FULL;
  std::uint8_t* Bitmap = nullptr;
  if (const int Code = ticalcs_calc_recv_screen(S_->Calc, &Coord, &Bitmap); Code != 0) {
    S_->Fail(Code, "the screen");
  }
  const PictureSize Want = S_->Screen;
  if (Bitmap == nullptr || Coord.pixel_format != CALC_PIXFMT_RGB_565_LE ||
      Coord.width != static_cast<unsigned>(Want.Width) ||
      Coord.height != static_cast<unsigned>(Want.Height)) {
    if (Bitmap != nullptr) ticalcs_free_screen(Bitmap);
    throw LinkError(LinkError::Kind::Refused, "the screen: the calculator sent another screen");
  }
  // RGB565, low byte first, rows from the top.
  QImage Screen(Want.Width, Want.Height, QImage::Format_RGB32);
  for (int Y = 0; Y < Want.Height; ++Y) {
    auto* Row = reinterpret_cast<QRgb*>(Screen.scanLine(Y));
    for (int X = 0; X < Want.Width; ++X) {
      const std::size_t At = 2 * (static_cast<std::size_t>(Y) * Want.Width + X);
      Row[X] = ArgbOf565(static_cast<std::uint16_t>(Bitmap[At] | (Bitmap[At + 1] << 8)));
    }
  }
  ticalcs_free_screen(Bitmap);
  return Screen;
}

MonoPicture CalcLink::TakeScreen() {
  if (S_->Family == LinkFamily::Dusb) {
    throw LinkError(LinkError::Kind::Refused, "the screen: the calculator's screen is in colour");
  }
  CalcScreenCoord Coord{};
  // The first 68000 model's handle clips to its screen when asked; the larger screens come whole.
  Coord.format =
      S_->Screen == FirstOf(LinkFamily::Dbus68k).LinkScreen ? SCREEN_CLIPPED : SCREEN_FULL;
  std::uint8_t* Bitmap = nullptr;
  if (const int Code = ticalcs_calc_recv_screen(S_->Calc, &Coord, &Bitmap); Code != 0) {
    S_->Fail(Code, "the screen");
  }
  // A clipped screen comes packed at its clipped width; a full one at the full width.
  const PictureSize Want = S_->Screen;
  const bool Packed = Coord.clipped_width == static_cast<unsigned>(Want.Width) &&
                      Coord.clipped_height == static_cast<unsigned>(Want.Height);
  const unsigned Stride = (Packed ? Coord.clipped_width : Coord.width) / 8;
  const unsigned Rows = Packed ? Coord.clipped_height : Coord.height;
  MonoPicture Picture;
  Picture.Width = Want.Width;
  Picture.Height = Want.Height;
  Picture.Dark.assign(static_cast<std::size_t>(Want.Width) * Want.Height, 0);
  if (Bitmap == nullptr || Stride * 8 < static_cast<unsigned>(Want.Width) ||
      Rows < static_cast<unsigned>(Want.Height)) {
    if (Bitmap != nullptr) ticalcs_free_screen(Bitmap);
    throw LinkError(LinkError::Kind::Refused, "the screen: the calculator sent a smaller screen");
  }
  for (int Y = 0; Y < Want.Height; ++Y) {
    for (int X = 0; X < Want.Width; ++X) {
      const std::uint8_t Byte = Bitmap[static_cast<std::size_t>(Y) * Stride + X / 8];
      Picture.Dark[static_cast<std::size_t>(Y) * Want.Width + X] =
          static_cast<std::uint8_t>((Byte >> (7 - X % 8)) & 1u);
    }
  }
  ticalcs_free_screen(Bitmap);
  return Picture;
}

}  // namespace pictrane::capture
