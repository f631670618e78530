// SPDX-License-Identifier: GPL-3.0-or-later
#include "standin_dusb.h"

#include "standin_cable.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#define restrict __restrict
#include <ticables.h>
#undef restrict

namespace {

using Bytes = std::vector<std::uint8_t>;

// Raw packet types.
constexpr std::uint8_t kBufferRequest = 1, kBufferAlloc = 2, kData = 3, kDataLast = 4, kDataAck = 5;
// Virtual packet types.
constexpr std::uint16_t kPing = 0x0001, kParamRequest = 0x0007, kParamData = 0x0008,
                        kDirList = 0x0009, kVarHeader = 0x000A, kRequestToSend = 0x000B,
                        kContents = 0x000D, kModeAck = 0x0012, kAck = 0xAA00, kEnd = 0xDD00,
                        kError = 0xEE00;
// The calculator's error codes, as the library names them.
constexpr std::uint16_t kOutOfMemory = 0x000C, kBusy = 0x0011, kLocked = 0x0012, kInvalid = 0x0004;
constexpr std::uint16_t kScreenshot = 0x0022, kFreeRam = 0x000E, kFreeFlash = 0x0011;
constexpr std::uint8_t kArchived = 0x03, kVersion = 0x08, kType = 0x02;
// The largest raw packet a CE takes.
constexpr std::uint32_t kRawMost = 1018;
constexpr int kWidth = 320, kHeight = 240;
// Where this stand-in shows the graph area, 265 x 165, on its screen.
constexpr int kGraphLeft = 27, kGraphTop = 37, kGraphWidth = 265, kGraphHeight = 165;

struct Options {
  std::string Fail;
  int After = 0;
  std::string SaveDir;
  std::vector<std::uint16_t> Screen;
  std::vector<std::string> Held;  // variables it holds before anything is sent: Pic1, Image3
  std::vector<char*> Command;
};

std::uint32_t Long(const Bytes& Data, std::size_t At) {
  return (static_cast<std::uint32_t>(Data[At]) << 24) |
         (static_cast<std::uint32_t>(Data[At + 1]) << 16) |
         (static_cast<std::uint32_t>(Data[At + 2]) << 8) | Data[At + 3];
}

std::uint16_t Word(const Bytes& Data, std::size_t At) {
  return static_cast<std::uint16_t>((Data[At] << 8) | Data[At + 1]);
}

void PutLong(Bytes& Data, std::uint32_t Value) {
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Data.push_back(static_cast<std::uint8_t>(Value >> Shift));
}

void PutWord(Bytes& Data, std::uint16_t Value) {
  Data.push_back(static_cast<std::uint8_t>(Value >> 8));
  Data.push_back(static_cast<std::uint8_t>(Value & 0xFF));
}

// Colour bars: white, yellow, cyan, green, magenta, red, blue, black.
std::vector<std::uint16_t> ColourBars() {
  constexpr std::uint16_t kBars[] = {0xFFFF, 0xFFE0, 0x07FF, 0x07E0,
                                     0xF81F, 0xF800, 0x001F, 0x0000};
  std::vector<std::uint16_t> Screen(kWidth * kHeight);
  for (int I = 0; I < kWidth * kHeight; ++I) Screen[I] = kBars[(I % kWidth) * 8 / kWidth];
  return Screen;
}

// The RGB565 words of the calculator's 15 colours, index 1 first (no colour: 0 is never drawn).
constexpr std::uint16_t kPalette[16] = {0,      0x001F, 0xF800, 0x0000, 0xF81F, 0x04E0,
                                        0xFC64, 0xB100, 0x000F, 0x049F, 0xFFE0, 0xFFFF,
                                        0xE71C, 0xC618, 0x8C51, 0x52AA};

class Calculator : public StandInCalculator {
 public:
  Calculator(CableHandle* Cable, const Options& Settings)
      : Cable_(Cable), O_(Settings), Screen_(Settings.Screen), Names_(Settings.Held) {}

  bool Gone() const override { return Gone_; }

  // Reads one raw packet from the computer and answers what it completes.
  void Serve() override {
    std::uint8_t Type = 0;
    Bytes Data;
    if (!ReceiveRaw(Type, Data)) return;
    // The end of a transmission still belongs to the variable before it: a failure starts after.
    const bool Ending = Pending_.empty() && (Type == kData || Type == kDataLast) &&
                        Data.size() >= 6 && Word(Data, 4) == kEnd;
    if (!Ending && Failing("vanish")) {
      ticables_cable_close(Cable_);
      Gone_ = true;
      return;
    }
    if (!Ending && Failing("silent")) return;
    if (Type == kBufferRequest) {
      Bytes Size;
      PutLong(Size, kRawMost);
      SendRaw(kBufferAlloc, Size);
      return;
    }
    if (Type != kData && Type != kDataLast) return;
    if (Pending_.empty()) {
      if (Data.size() < 6) return;
      Declared_ = Long(Data, 0);
      Kind_ = Word(Data, 4);
      Pending_.assign(Data.begin() + 6, Data.end());
    } else {
      Pending_.insert(Pending_.end(), Data.begin(), Data.end());
    }
    SendRaw(kDataAck, {0xE0, 0x00});
    if (Type != kDataLast) return;
    Bytes Packet;
    Packet.swap(Pending_);
    if (Packet.size() != Declared_) {
      std::fprintf(stderr, "standin_calc: virtual packet %04X of %zu bytes, %u declared\n", Kind_,
                   Packet.size(), Declared_);
      return;
    }
    Answer(Kind_, Packet);
  }

 private:
  bool Failing(const char* Mode) const { return O_.Fail == Mode && Received_ >= O_.After; }

  bool ReceiveRaw(std::uint8_t& Type, Bytes& Data) {
    std::uint8_t Head[5];
    if (ticables_cable_recv(Cable_, Head, 5) != 0) return false;
    const std::uint32_t Size = (static_cast<std::uint32_t>(Head[0]) << 24) |
                               (static_cast<std::uint32_t>(Head[1]) << 16) |
                               (static_cast<std::uint32_t>(Head[2]) << 8) | Head[3];
    Type = Head[4];
    if (Size > kRawMost + 6) {
      std::fprintf(stderr, "standin_calc: raw packet of %u bytes\n", Size);
      return false;
    }
    Data.resize(Size);
    return Size == 0 || ticables_cable_recv(Cable_, Data.data(), Size) == 0;
  }

  void SendRaw(std::uint8_t Type, const Bytes& Data) {
    Bytes Out;
    PutLong(Out, static_cast<std::uint32_t>(Data.size()));
    Out.push_back(Type);
    Out.insert(Out.end(), Data.begin(), Data.end());
    ticables_cable_send(Cable_, Out.data(), static_cast<std::uint32_t>(Out.size()));
  }

  // Waits for the computer's acknowledgement of a raw packet of ours, answering a buffer size
  // request on the way as the calculator does.
  bool AwaitAck() {
    for (;;) {
      std::uint8_t Type = 0;
      Bytes Data;
      if (!ReceiveRaw(Type, Data)) return false;
      if (Type == kDataAck) return true;
      if (Type != kBufferRequest) return false;
      Bytes Size;
      PutLong(Size, kRawMost);
      SendRaw(kBufferAlloc, Size);
    }
  }

  // A virtual packet, cut into raw packets of at most kRawMost bytes, the first with its header.
  void SendVirtual(std::uint16_t Kind, const Bytes& Data) {
    Bytes Whole;
    PutLong(Whole, static_cast<std::uint32_t>(Data.size()));
    PutWord(Whole, Kind);
    Whole.insert(Whole.end(), Data.begin(), Data.end());
    for (std::size_t At = 0; At < Whole.size(); At += kRawMost) {
      const std::size_t End = std::min<std::size_t>(Whole.size(), At + kRawMost);
      SendRaw(End == Whole.size() ? kDataLast : kData,
              Bytes(Whole.begin() + At, Whole.begin() + End));
      if (!AwaitAck()) return;
    }
  }

  void SendError(std::uint16_t Code) {
    Bytes Data;
    PutWord(Data, Code);
    SendVirtual(kError, Data);
  }

  void Answer(std::uint16_t Kind, const Bytes& Packet) {
    switch (Kind) {
      case kPing:
        if (Failing("busy")) {
          SendError(kBusy);
        } else {
          SendVirtual(kModeAck, {});
        }
        break;
      case kRequestToSend:
        TakeHeader(Packet);
        break;
      case kContents:
        SendVirtual(kAck, {0x00, 0x01});
        Arrived(Packet);
        break;
      case kParamRequest:
        AnswerParameters(Packet);
        break;
      case kDirList:
        ListVariables();
        break;
      case kEnd:
        break;
      default:
        SendError(kInvalid);
        break;
    }
  }

  // A request to send: folder (length, text, 0), name (the same), size (4 bytes), a mode byte,
  // then attributes (count, and each: id, size, data), all big-endian.
  void TakeHeader(const Bytes& Packet) {
    std::size_t At = 0;
    const auto Text = [&](std::string& Into) {
      if (At >= Packet.size()) return false;
      const std::size_t Length = Packet[At++];
      if (Length == 0) return true;
      if (At + Length + 1 > Packet.size()) return false;
      Into.assign(Packet.begin() + At, Packet.begin() + At + Length);
      At += Length + 1;
      return true;
    };
    std::string Folder;
    Name_.clear();
    Archived_ = 0;
    Version_ = 0;
    Type_ = 0;
    if (!Text(Folder) || !Text(Name_) || At + 7 > Packet.size()) {
      SendError(kInvalid);
      return;
    }
    At += 5;  // size and mode
    const std::uint16_t Count = Word(Packet, At);
    At += 2;
    for (std::uint16_t I = 0; I < Count && At + 4 <= Packet.size(); ++I) {
      const std::uint16_t Id = Word(Packet, At);
      const std::uint16_t Size = Word(Packet, At + 2);
      At += 4;
      if (At + Size > Packet.size() || Size == 0) break;
      const std::uint8_t Last = Packet[At + Size - 1];
      if (Id == kArchived) Archived_ = Last;
      if (Id == kVersion) Version_ = Last;
      if (Id == kType) Type_ = Last;
      At += Size;
    }
    if (Failing("memory")) {
      SendError(kOutOfMemory);
    } else if (Failing("locked")) {
      SendError(kLocked);
    } else {
      SendVirtual(kAck, {0x00, 0x01});
    }
  }

  // A header a variable held (name, then its size, type and archived flag as asked for), then
  // the end of the list.
  void ListVariables() {
    for (const std::string& Name : Names_) {
      Bytes Header{0, static_cast<std::uint8_t>(Name.size())};
      Header.insert(Header.end(), Name.begin(), Name.end());
      Header.push_back(0);
      PutWord(Header, 3);
      const bool Image = Name.rfind("Image", 0) == 0;
      for (const Bytes& Attribute : {Bytes{0x00, 0x01, 0, 0, 4, 0, 0, 0x55, 0xBB},
                                     Bytes{0x00, 0x02, 0, 0, 4, 0xF0, 0x07, 0,
                                           static_cast<std::uint8_t>(Image ? 0x1A : 0x07)},
                                     Bytes{0x00, 0x03, 0, 0, 1, 1}}) {
        Header.insert(Header.end(), Attribute.begin(), Attribute.end());
      }
      SendVirtual(kVarHeader, Header);
    }
    SendVirtual(kEnd, {});
  }

  void Arrived(const Bytes& Data) {
    ++Received_;
    if (std::find(Names_.begin(), Names_.end(), Name_) == Names_.end()) Names_.push_back(Name_);
    if (Type_ == 0x07 && Data.size() == 2 + 21945) ShowPic(Data);
    if (Type_ == 0x1A && Data.size() == 2 + 22245) ShowImage(Data);
    if (O_.SaveDir.empty() || Name_.empty()) return;
    const std::string Stem = O_.SaveDir + "/" + Name_;
    std::ofstream(Stem + ".var", std::ios::binary)
        .write(reinterpret_cast<const char*>(Data.data()),
               static_cast<std::streamsize>(Data.size()));
    char Info[64];
    std::snprintf(Info, sizeof Info, "type %02X version %02X archived %d\n", Type_, Version_,
                  Archived_ != 0 ? 1 : 0);
    std::ofstream(Stem + ".info") << Info;
  }

  // A Pic recalled: 165 rows of 133 bytes, two pixels a byte, the left in the high nibble.
  void ShowPic(const Bytes& Data) {
    for (int Y = 0; Y < kGraphHeight; ++Y) {
      for (int X = 0; X < kGraphWidth; ++X) {
        const std::uint8_t Byte = Data[2 + static_cast<std::size_t>(Y) * 133 + X / 2];
        const int Index = X % 2 == 0 ? Byte >> 4 : Byte & 0x0F;
        if (Index != 0) Screen_[(kGraphTop + Y) * kWidth + kGraphLeft + X] = kPalette[Index];
      }
    }
  }

  // An Image as the graph's background: 83 rows from the bottom up, each of 134 little-endian
  // words (the last one padding), every pixel doubled.
  void ShowImage(const Bytes& Data) {
    for (int Y = 0; Y < kGraphHeight; ++Y) {
      const std::size_t Row = 3 + static_cast<std::size_t>(82 - Y / 2) * 268;
      for (int X = 0; X < kGraphWidth; ++X) {
        const std::size_t At = Row + 2 * static_cast<std::size_t>(X / 2);
        Screen_[(kGraphTop + Y) * kWidth + kGraphLeft + X] =
            static_cast<std::uint16_t>(Data[At] | (Data[At + 1] << 8));
      }
    }
  }

  // Parameter data: count, then per parameter its id, 0 for present (1 for absent), size, value.
  void AnswerParameters(const Bytes& Packet) {
    if (Packet.size() < 2) return;
    const std::uint16_t Count = Word(Packet, 0);
    Bytes Out;
    PutWord(Out, Count);
    for (std::uint16_t I = 0; I < Count && 2 + 2 * static_cast<std::size_t>(I) + 1 < Packet.size();
         ++I) {
      const std::uint16_t Id = Word(Packet, 2 + 2 * static_cast<std::size_t>(I));
      PutWord(Out, Id);
      if (Id == kScreenshot) {
        Out.push_back(0);
        PutWord(Out, static_cast<std::uint16_t>(kWidth * kHeight * 2 & 0xFFFF));
        for (const std::uint16_t Pixel : Screen_) {
          Out.push_back(static_cast<std::uint8_t>(Pixel & 0xFF));
          Out.push_back(static_cast<std::uint8_t>(Pixel >> 8));
        }
      } else if (Id == kFreeRam || Id == kFreeFlash) {
        Out.push_back(0);
        PutWord(Out, 8);
        PutLong(Out, 0);
        PutLong(Out, Failing("memory") ? 0 : 3000000);
      } else {
        Out.push_back(1);
      }
    }
    SendVirtual(kParamData, Out);
  }

  CableHandle* Cable_;
  const Options& O_;
  std::vector<std::uint16_t> Screen_;
  std::vector<std::string> Names_;  // held and received
  Bytes Pending_;                   // the virtual packet being received
  std::uint32_t Declared_ = 0;
  std::uint16_t Kind_ = 0;
  std::string Name_;  // of the variable announced
  std::uint8_t Archived_ = 0, Version_ = 0, Type_ = 0;
  int Received_ = 0;
  bool Gone_ = false;
};

bool Parse(int Argc, char** Argv, Options& O) {
  O.Screen = ColourBars();
  for (int I = 1; I < Argc; ++I) {
    const std::string Argument = Argv[I];
    if (Argument == "--") {
      O.Command.assign(Argv + I + 1, Argv + Argc);
      O.Command.push_back(nullptr);
      return O.Command.size() > 1;
    }
    if (I + 1 >= Argc) return false;
    const std::string Value = Argv[++I];
    if (Argument == "--model") {
      if (Value != "84pce") return false;
    } else if (Argument == "--fail") {
      O.Fail = Value;
    } else if (Argument == "--after") {
      O.After = std::atoi(Value.c_str());
    } else if (Argument == "--save") {
      O.SaveDir = Value;
    } else if (Argument == "--hold") {
      O.Held.push_back(Value);
    } else if (Argument == "--screen") {
      std::ifstream In(Value, std::ios::binary);
      Bytes Raw(kWidth * kHeight * 2);
      In.read(reinterpret_cast<char*>(Raw.data()), static_cast<std::streamsize>(Raw.size()));
      if (In.gcount() != static_cast<std::streamsize>(Raw.size())) return false;
      for (std::size_t P = 0; P < O.Screen.size(); ++P) {
        O.Screen[P] = static_cast<std::uint16_t>(Raw[2 * P] | (Raw[2 * P + 1] << 8));
      }
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace

bool WantsDirectUsb(int Argc, char** Argv) {
  for (int I = 1; I + 1 < Argc && std::strcmp(Argv[I], "--") != 0; ++I) {
    if (std::strcmp(Argv[I], "--model") == 0) return std::strcmp(Argv[I + 1], "84pce") == 0;
  }
  return false;
}

int RunDirectUsbStandIn(int Argc, char** Argv) {
  Options O;
  if (!Parse(Argc, Argv, O)) {
    std::fprintf(stderr,
                 "usage: standin_calc --model 84pce [--fail MODE] [--after N] [--save DIR] "
                 "[--screen FILE] [--hold NAME]... -- COMMAND...\n");
    return 125;
  }
  return ServeBeside(O.Command.data(),
                     [&O](CableHandle* Cable) { return std::make_unique<Calculator>(Cable, O); });
}
