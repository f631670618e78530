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
#include "calc/TiLibraries.h"
#include "pictrane/Names.h"
#include "pictrane/RaisedError.h"

#define restrict __restrict
#include <ticables.h>
#include <ticalcs.h>
#undef restrict

namespace pictrane::capture {

namespace {

// Error numbers of the cable and protocol libraries that change what we tell the user (their
// headers name only ERROR_ABORT).
constexpr int kCableReadTimeout = 4;
constexpr int kCableWriteTimeout = 6;
constexpr int kCalcAbort = ERROR_ABORT;
constexpr int kCalcNotReady = 257;
constexpr int kCalcVarRejected = 263;
constexpr int kCalcOutOfMemory = 273;
constexpr int kCalcNoCalc = 281;
constexpr int kCalcRefusedUncaught = 350;  // a refusal whose code the library does not know
constexpr int kCalcCannotOverwrite = 353;  // locked or archived variable of that name
constexpr int kCalcCannotDelete = 354;
// The file library's errors, which the protocol library passes on when it reads a file.
constexpr int kFilesFirstError = 512;
constexpr int kFilesLastError = 767;

// The first data byte of a refusal (SKP) that means the calculator has no room for the variable.
constexpr std::uint8_t kRefusedNoMemory = 3;

// Machine IDs the 68000 calculators answer with.
constexpr std::uint8_t kFromTi89 = 0x98;
constexpr std::uint8_t kFromTi92Plus = 0x88;
// A TI-83 Plus or TI-84 Plus: "ready?" is answered whatever machine it was addressed to.
constexpr std::uint8_t kFromTi83Plus = 0x73;
constexpr std::uint8_t kCmdSkip = 0x36;

void EnsureLibrariesReady() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    ticables_library_init();
    tifiles_library_init();
    ticalcs_library_init();
  });
}

void NoProgress() {}

std::string FirstLine(char* Message) {
  std::string Text = Message == nullptr ? std::string() : std::string(Message);
  Text = Text.substr(0, Text.find('\n'));
  if (Text.rfind("Msg: ", 0) == 0) Text.erase(0, 5);
  while (!Text.empty() && (Text.back() == '.' || Text.back() == ' ')) Text.pop_back();
  return Text;
}

std::string LibraryText(int Code) {
  char* Message = nullptr;
  std::string Text;
  if (Code < 256) {
    if (ticables_error_get(Code, &Message) == 0 && Message != nullptr) {
      Text = FirstLine(Message);
      ticables_error_free(Message);
    }
  } else if (ticalcs_error_get(Code, &Message) == 0 && Message != nullptr) {
    Text = FirstLine(Message);
    ticalcs_error_free(Message);
  }
  return Text.empty() ? "link error " + std::to_string(Code) : Text;
}

const char* CableName(CableKind Kind) {
  switch (Kind) {
    case CableKind::Usb:
      return "direct USB";
    case CableKind::SilverLink:
      return "SilverLink cable";
    case CableKind::Serial:
      return "serial cable";
    case CableKind::Virtual:
      return "virtual cable";
  }
  return "cable";
}

CableModel ToLibraryCable(CableKind Kind) {
  switch (Kind) {
    case CableKind::Usb:
      return CABLE_USB;
    case CableKind::SilverLink:
      return CABLE_SLV;
    case CableKind::Serial:
      return CABLE_GRY;
    case CableKind::Virtual:
      return CABLE_VTI;
  }
  return CABLE_NUL;
}

}  // namespace

std::optional<CableKind> ParseCable(std::string_view Name) {
  if (Name == "usb") return CableKind::Usb;
  if (Name == "silverlink") return CableKind::SilverLink;
  if (Name == "serial") return CableKind::Serial;
  if (Name == "vti") return CableKind::Virtual;
  return std::nullopt;
}

struct CalcLink::State {
  CableHandle* Cable = nullptr;
  CalcHandle* Calc = nullptr;
  bool Attached = false;
  CalcUpdate Update{};
  const std::atomic<bool>* Cancel = nullptr;
  unsigned TimeoutTenths = 20;
  std::string Found;
  PictureSize Screen = kTi89Screen;
  bool Z80 = false;  // a TI-83 Plus or TI-84 Plus
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

  void Close() {
    if (Calc != nullptr) {
      if (Attached) ticalcs_cable_detach(Calc);  // closes the cable
      ticalcs_handle_del(Calc);
      Calc = nullptr;
    }
    for (CalcHandle* Each : Retired) ticalcs_handle_del(Each);
    Retired.clear();
    if (Cable != nullptr) {
      ticables_handle_del(Cable);
      Cable = nullptr;
    }
    Attached = false;
  }

  static int Hook(CalcHandle*, std::uint32_t, const CalcEventData* Event, void* User) {
    auto* Self = static_cast<State*>(User);
    switch (Event->type) {
      case CALC_EVENT_TYPE_AFTER_RECV_DBUS_PKT_HEADER:
        if (Event->retval == 0) {
          Self->LastHost = Event->data.dbus_pkt.id;
          Self->LastCommand = Event->data.dbus_pkt.cmd;
          Self->LastLength = Event->data.dbus_pkt.length;
        }
        break;
      case CALC_EVENT_TYPE_AFTER_RECV_DBUS_PKT_DATA:
        // A refusal carries its reason first: three bytes from a 68000 calculator, one from a
        // TI-83 Plus.
        if (Event->retval == 0 && Self->LastCommand == kCmdSkip &&
            Event->data.dbus_pkt.data != nullptr && Self->LastLength >= 1) {
          Self->Refusal = {};
          std::memcpy(Self->Refusal.data(), Event->data.dbus_pkt.data,
                      std::min<std::size_t>(Self->LastLength, Self->Refusal.size()));
          Self->Refused = true;
        }
        break;
      case CALC_EVENT_TYPE_AFTER_SEND_DBUS_PKT:
        // Short packets are over before the library's clock moves.
        if (Event->retval == 0 && Event->data.dbus_pkt.length >= 256)
          Self->Rate = Self->Update.rate * 1000;  // it counts bytes a millisecond
        break;
      case CALC_EVENT_TYPE_BEFORE_SEND_DBUS_PKT:
      case CALC_EVENT_TYPE_BEFORE_RECV_DBUS_PKT_HEADER:
      case CALC_EVENT_TYPE_BEFORE_SEND_DUSB_RPKT:
      case CALC_EVENT_TYPE_BEFORE_RECV_DUSB_RPKT:
        if (Self->Cancel != nullptr && Self->Cancel->load()) return kCalcAbort;
        break;
      default:
        break;
    }
    // The library takes what the hook returns as the outcome of the step.
    return Event->retval;
  }

  [[noreturn]] void Fail(int Code, const std::string& What) const {
    using Kind = LinkError::Kind;
    const std::string Seconds =
        std::to_string(TimeoutTenths / 10) + "." + std::to_string(TimeoutTenths % 10) + " s";
    switch (Code) {
      case kCableReadTimeout:
      case kCableWriteTimeout:
      case kCalcNoCalc:
        throw LinkError(Kind::NoAnswer, What,
                        "the calculator did not answer within " + Seconds +
                            " (is it on and the cable pushed home?)");
      case kCalcAbort:
        throw LinkError(Kind::Cancelled, What, "cancelled");
      case kCalcNotReady:
        throw LinkError(Kind::Busy, What,
                        "the calculator is busy (a menu or dialog is open: press HOME and try "
                        "again)");
      case kCalcOutOfMemory:
        throw LinkError(Kind::OutOfMemory, What, "the calculator is out of memory");
      case kCalcCannotOverwrite:
      case kCalcCannotDelete:
        throw LinkError(Kind::Locked, What,
                        "a variable of that name on the calculator is locked or archived");
      default:
        break;
    }
    if ((Code == kCalcRefusedUncaught || Code == kCalcVarRejected) && Refused &&
        Refusal[0] == kRefusedNoMemory) {
      throw LinkError(Kind::OutOfMemory, What, "the calculator is out of memory");
    }
    if (Code >= kFilesFirstError && Code <= kFilesLastError) {
      throw LinkError(Kind::BadFile, What, "the file is damaged or cut short");
    }
    // Any other fault of the cable itself (a USB cable pulled out, a port gone) ends the link.
    if (Code > 0 && Code < 256) {
      throw LinkError(Kind::NoCable, What,
                      "the cable stopped working (unplugged?): " + LibraryText(Code));
    }
    throw LinkError(Kind::Refused, What, LibraryText(Code));
  }

  void OpenCable(CableKind Kind, int Port) {
    Cable = ticables_handle_new(ToLibraryCable(Kind), static_cast<CablePort>(Port));
    if (Cable == nullptr) {
      throw LinkError(LinkError::Kind::NoCable, std::string("cannot use the ") + CableName(Kind));
    }
    ticables_options_set_timeout(Cable, TimeoutTenths);
    Virtual = Kind == CableKind::Virtual;
    Speak(CALC_TI89, std::string("no ") + CableName(Kind) + " on port " + std::to_string(Port));
  }

  // Attaches a protocol handle for Model to the cable (the first attach opens it), in place of
  // the one before.
  void Speak(CalcModel Model, const std::string& Failure) {
    CalcHandle* Next = ticalcs_handle_new(Model);
    if (Next == nullptr) throw LinkError(LinkError::Kind::NoCable, "out of memory");
    if (Calc != nullptr) {
      if (Attached && !Virtual) {
        ticalcs_cable_detach(Calc);  // closes the cable, opened again below
        ticalcs_handle_del(Calc);
      } else {
        Retired.push_back(Calc);
      }
    }
    Attached = false;
    Calc = Next;
    Update.start = Update.stop = Update.refresh = Update.pbar = Update.label = NoProgress;
    ticalcs_update_set(Calc, &Update);
    ticalcs_calc_set_event_hook(Calc, &State::Hook);
    ticalcs_calc_set_event_user_pointer(Calc, this);
    if (const int Code = ticalcs_cable_attach(Calc, Cable); Code != 0) {
      throw LinkError(LinkError::Kind::NoCable, Failure, LibraryText(Code));
    }
    Attached = true;
  }
};
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
    if (Kind == CableKind::Usb) DirectUsb = CALC_TI89T_USB;
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
    // Asked for by name, the calculator's own USB link says which calculator it is.
    CalcModel Probed = CALC_NONE;
    if (Settings.Cable && ticalcs_probe_usb_calc(S_->Cable, &Probed) == 0 &&
        Probed == CALC_TI84P_USB) {
      DirectUsb = CALC_TI84P_USB;
    }
    const bool Ti84 = DirectUsb == CALC_TI84P_USB;
    S_->Speak(DirectUsb, Ti84 ? "no TI-84 Plus on USB" : "no TI-89 Titanium on USB");
    S_->Z80 = Ti84;
    S_->Screen = Ti84 ? kTi83PlusScreen : kTi89Screen;
    S_->Found = Ti84 ? "TI-84 Plus on direct USB" : "TI-89 Titanium on direct USB";
    if (const int Code = ticalcs_calc_isready(S_->Calc); Code != 0) S_->Fail(Code, "the link");
    return;
  }
  // The calculator's answer to "ready?" names its family; the TI-89 handle asks, and speaks for
  // the TI-92 Plus and Voyage 200 too (the same packets, a larger screen).
  if (const int Code = ticalcs_calc_isready(S_->Calc); Code != 0) S_->Fail(Code, "the link");
  std::string Model = "TI-89";
  if (S_->LastHost == kFromTi92Plus) {
    S_->Screen = kTi92Screen;
    Model = "TI-92 Plus or Voyage 200";
  } else if (S_->LastHost == kFromTi83Plus) {
    S_->Speak(CALC_TI83P, "the link");
    S_->Screen = kTi83PlusScreen;
    S_->Z80 = true;
    Model = "TI-83 Plus or TI-84 Plus";
  } else if (S_->LastHost != kFromTi89) {
    throw LinkError(LinkError::Kind::Refused,
                    "the link: the calculator answering is not a TI-89, TI-92 Plus, Voyage 200, "
                    "TI-83 Plus or TI-84 Plus");
  }
  S_->Found = std::string(CableName(Kind)) + " on port " + std::to_string(Port) + ", " + Model +
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

namespace {

std::string Utf8Name(CalcModel Model, const char* Name, unsigned char Type) {
  char* Text = ticonv_varname_to_utf8(Model, Name, Type);
  std::string Result = Text == nullptr ? std::string() : std::string(Text);
  if (Text != nullptr) ticonv_utf8_free(Text);
  return Result;
}

// Gives Entry the name Name (UTF-8) as the calculator's character set or its tokens hold it.
bool Rename(VarEntry* Entry, CalcModel Model, const std::string& Name) {
  std::string Stored;
  if (tifiles_calc_is_ti8x(Model) != 0) {
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
  const CalcModel Model = S_->Z80 ? CALC_TI83P : CALC_TI89;
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
  Content Whole(tifiles_content_create_regular(CALC_NONE));
  if (!Whole) throw LinkError(LinkError::Kind::Refused, Shown, "out of memory");
  if (tifiles_file_read_regular(Path.c_str(), Whole.get()) != 0) {
    static_cast<void>(Whole.release());  // freed by the library (CalcRead.cpp)
    throw LinkError(LinkError::Kind::BadFile, Shown, "the file is damaged or cut short");
  }
  if ((tifiles_calc_is_ti8x(Whole->model) != 0) != S_->Z80) {
    throw LinkError(LinkError::Kind::Refused, Shown,
                    S_->Z80
                        ? "a file for the TI-89 family; a TI-83 Plus or TI-84 Plus answers"
                        : "a file for the TI-83 Plus or TI-84 Plus; another calculator answers");
  }
  // One variable at a time, so that a failure midway still tells which ones arrived.
  for (unsigned I = 0; I < Whole->num_entries; ++I) {
    const Content One(tifiles_content_create_regular(Whole->model));
    VarEntry* Copy = One ? tifiles_ve_dup(Whole->entries[I]) : nullptr;
    if (Copy == nullptr) throw LinkError(LinkError::Kind::Refused, Shown, "out of memory");
    if (SendAs) {
      const Variable Own{Utf8Name(Whole->model, Copy->folder, 0xFF),
                         Utf8Name(Whole->model, Copy->name, Copy->type)};
      std::string As;
      try {
        As = SendAs(Own);
      } catch (...) {
        tifiles_ve_delete(Copy);
        throw;
      }
      if (As != Own.Name && !Rename(Copy, Whole->model, As)) {
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
    // The TI-83 Plus's protocol library takes a refusal to overwrite as "skip" and goes on.
    if (S_->Refused) {
      throw LinkError(LinkError::Kind::Locked, Shown,
                      "a variable of that name on the calculator is locked or archived");
    }
    if (Acknowledged != nullptr) ++*Acknowledged;
  }
}

MonoPicture CalcLink::TakeScreen() {
  CalcScreenCoord Coord{};
  // The TI-89 handle clips to the TI-89's screen when asked; the larger screens come whole.
  Coord.format = S_->Screen == kTi89Screen ? SCREEN_CLIPPED : SCREEN_FULL;
  std::uint8_t* Bitmap = nullptr;
  if (const int Code = ticalcs_calc_recv_screen(S_->Calc, &Coord, &Bitmap); Code != 0) {
    S_->Fail(Code, "the screen");
  }
  // A clipped TI-89 screen comes packed at its clipped width; a full one at the full width.
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
