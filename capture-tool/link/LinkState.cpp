// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkState.h"

#include <algorithm>
#include <cstring>
#include <mutex>

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
// The DirectUSB calculators' own refusals, as the protocol library numbers them.
constexpr int kUsbCannotDelete = 302;
constexpr int kUsbOutOfMemory = 305;
constexpr int kUsbBusy = 308;
constexpr int kUsbLocked = 309;
constexpr int kUsbNotHome = 319;
constexpr int kFilesFirstError = 512;
constexpr int kFilesLastError = 767;

// The first data byte of a refusal (SKP) that means the calculator has no room for the variable.
constexpr std::uint8_t kRefusedNoMemory = 3;

constexpr std::uint8_t kCmdSkip = 0x36;

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

}  // namespace

void EnsureLibrariesReady() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    ticables_library_init();
    tifiles_library_init();
    ticalcs_library_init();
  });
}

const CableRow& CableOf(CableKind Kind) {
  for (const CableRow& Row : kCables) {
    if (Row.Kind == Kind) return Row;
  }
  return kCables.front();
}

void CalcLink::State::Close() {
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

int CalcLink::State::Hook(CalcHandle*, std::uint32_t, const CalcEventData* Event, void* User) {
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
      // numbered model.
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

void CalcLink::State::Fail(int Code, const std::string& What) const {
  using Kind = LinkError::Kind;
  // The library does not always pass the hook's abort on as such: a cancelled exchange may end in
  // whatever fault the cut left behind ("invalid command ID"), and is still the user's cancel.
  if (Code != 0 && Cancel != nullptr && Cancel->load())
    throw LinkError(Kind::Cancelled, What, "cancelled");
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
    case kUsbBusy:
    case kUsbNotHome:
      throw LinkError(Kind::Busy, What,
                      "the calculator is busy (a menu or dialog is open: press HOME and try "
                      "again)");
    case kCalcOutOfMemory:
    case kUsbOutOfMemory:
      throw LinkError(Kind::OutOfMemory, What, "the calculator is out of memory");
    case kCalcCannotOverwrite:
    case kCalcCannotDelete:
    case kUsbCannotDelete:
    case kUsbLocked:
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

void CalcLink::State::OpenCable(CableKind Kind, int Port) {
  Cable = ticables_handle_new(CableOf(Kind).Library, static_cast<CablePort>(Port));
  if (Cable == nullptr) {
    throw LinkError(LinkError::Kind::NoCable, std::string("cannot use the ") + CableOf(Kind).Said);
  }
  ticables_options_set_timeout(Cable, TimeoutTenths);
  Virtual = Kind == CableKind::Virtual;
  Speak(CALC_TI89, std::string("no ") + CableOf(Kind).Said + " on port " + std::to_string(Port));
}

void CalcLink::State::Speak(CalcModel Model, const std::string& Failure) {
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

}  // namespace pictrane::capture
