// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in calculator for the link tests (a TI-89, a TI-92 Plus, or a TI-83 Plus), on the
// virtual cable's port 1 (where an emulator sits). It opens its end of the cable, starts the
// command given after "--" (which links from port 2), answers it until it ends and exits with its
// status.
//
//   standin_calc [--model 89|92p|83p] [--fail silent|busy|memory|locked|vanish] [--after N]
//                [--save DIR] [--screen FILE] [--hold NAME]... -- COMMAND [ARGUMENT...]
//
// It answers "ready?" (RDY) with ACK, a request to send (RTS or VAR) with ACK and CTS, the data
// (XDP) and the end of transmission (EOT) with ACK, and a screen request (SCR) with ACK and the
// 240x128 screen read from FILE (3840 bytes, rows of 30 bytes, 1 = black). Each variable it
// receives is saved as DIR/FOLDER.NAME.var holding the variable's data. As a TI-83 Plus it
// serves the top-left 96x64 of that screen (rows of 12 bytes), takes a variable without waiting
// for an end of transmission (the computer sends one it does not acknowledge), and saves it as
// DIR/PicN.var holding its data with the size word; a picture received shows on its screen. --fail
// silent answers nothing; busy answers "ready?" with the busy flag; memory and locked refuse every
// request to send (SKP) as a full calculator and as a locked variable of that name do; vanish
// closes the stand-in's end of the cable, as a cable pulled out. With --after N the failure starts
// once N variables have arrived (a calculator that fails midway). Without --screen the screen is a
// checkerboard, black where x + y is even. --hold gives it a variable before anything is sent
// (FOLDER\\NAME, or NAME in main; PicN as a TI-83 Plus); it lists those and every variable it
// received when asked for its folders and variables (REQ of a directory). An unknown option or
// mode is refused with the usage and status 2.
//
// The cable library removes the cable's shared memory when the program at port 2 closes it; the
// stand-in then opens its end again at once, so one stand-in serves one session after another (a
// test waits for the memory to be back before it links again).

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#define restrict __restrict
#include <ticables.h>
#undef restrict

#include "standin_dusb.h"
#include "standin_cable.h"

namespace {

constexpr std::uint8_t kVar = 0x06, kCts = 0x09, kXdp = 0x15, kSkp = 0x36, kAck = 0x56, kRdy = 0x68,
                       kScr = 0x6D, kEot = 0x92, kReq = 0xA2, kRts = 0xC9;

struct Packet {
  std::uint8_t Command = 0;
  std::uint16_t Length = 0;
  std::vector<std::uint8_t> Data;
};

std::vector<std::uint8_t> Checkerboard() {
  std::vector<std::uint8_t> Screen(3840);
  for (std::size_t I = 0; I < Screen.size(); ++I) Screen[I] = (I / 30) % 2 == 0 ? 0xAA : 0x55;
  return Screen;
}

struct Options {
  std::uint8_t Machine = 0x98;  // a TI-89 answering the computer
  bool Ti83Plus = false;
  std::string Fail;
  int After = 0;  // variables received before Fail starts
  std::string SaveDir;
  std::vector<std::uint8_t> Screen = Checkerboard();
  std::vector<std::pair<std::string, std::string>> Held;  // folder and name; no folder on 83p
  std::vector<char*> Command;
};

constexpr std::uint8_t kTi89Picture = 0x10, kTi89Folder = 0x1F, kTi89Directory = 0x1A,
                       kTi89Folders = 0x1F, kTi83PlusPicture = 0x07, kTi83PlusDirectory = 0x19;

bool HasData(std::uint8_t Command) {
  return Command == kVar || Command == kXdp || Command == kSkp || Command == kRts ||
         Command == kReq;
}

std::uint16_t Sum(const std::vector<std::uint8_t>& Data) {
  unsigned Total = 0;
  for (const std::uint8_t Byte : Data) Total += Byte;
  return static_cast<std::uint16_t>(Total & 0xFFFF);
}

class Calculator : public StandInCalculator {
 public:
  Calculator(CableHandle* Cable, const Options& Settings)
      : Cable_(Cable), O_(Settings), Held_(Settings.Held) {}

  void Serve() override {
    Packet P;
    if (Receive(P)) Answer(P);
  }

  // Reads one packet; false when the cable stays silent past its timeout or the packet is bad.
  bool Receive(Packet& P) {
    std::uint8_t Head[4];
    if (ticables_cable_recv(Cable_, Head, 4) != 0) return false;
    P.Command = Head[1];
    P.Length = static_cast<std::uint16_t>(Head[2] | (Head[3] << 8));
    P.Data.clear();
    if (!HasData(P.Command)) return true;
    P.Data.resize(P.Length);
    std::uint8_t Check[2];
    if ((P.Length != 0 && ticables_cable_recv(Cable_, P.Data.data(), P.Length) != 0) ||
        ticables_cable_recv(Cable_, Check, 2) != 0) {
      return false;
    }
    if (Sum(P.Data) != (Check[0] | (Check[1] << 8))) {
      std::fprintf(stderr, "standin_calc: checksum error in packet %02X\n", P.Command);
      return false;
    }
    return true;
  }

  void Send(std::uint8_t Command, const std::vector<std::uint8_t>& Data = {},
            std::uint16_t Status = 0) {
    std::vector<std::uint8_t> Bytes = {O_.Machine, Command};
    const auto Length = static_cast<std::uint16_t>(Data.empty() ? Status : Data.size());
    Bytes.push_back(static_cast<std::uint8_t>(Length & 0xFF));
    Bytes.push_back(static_cast<std::uint8_t>(Length >> 8));
    if (!Data.empty()) {
      Bytes.insert(Bytes.end(), Data.begin(), Data.end());
      const std::uint16_t Check = Sum(Data);
      Bytes.push_back(static_cast<std::uint8_t>(Check & 0xFF));
      Bytes.push_back(static_cast<std::uint8_t>(Check >> 8));
    }
    ticables_cable_send(Cable_, Bytes.data(), static_cast<std::uint32_t>(Bytes.size()));
  }

  bool Expect(std::uint8_t Command, Packet& P) {
    if (Receive(P) && P.Command == Command) return true;
    std::fprintf(stderr, "standin_calc: expected packet %02X, got %02X\n", Command, P.Command);
    return false;
  }

  // Whether the stand-in has let its end of the cable go (--fail vanish).
  bool Gone() const override { return Gone_; }

  void Answer(const Packet& P) {
    if (Failing("vanish")) {
      ticables_cable_close(Cable_);
      Gone_ = true;
      return;
    }
    if (Failing("silent")) return;
    switch (P.Command) {
      case kRdy:
        Send(kAck, {}, Failing("busy") ? 0x0100 : 0);
        break;
      case kRts:
      case kVar:
        TakeVariable(P.Data);
        break;
      case kReq:
        if (O_.Ti83Plus && P.Data.size() >= 3 && P.Data[2] == kTi83PlusDirectory) {
          ListTi83Plus();
        } else if (!O_.Ti83Plus && P.Data.size() >= 6 && P.Data[4] == kTi89Directory) {
          const std::size_t Length = std::min<std::size_t>(P.Data[5], P.Data.size() - 6);
          ListTi89(P.Data[3] == kTi89Folders,
                   std::string(P.Data.begin() + 6, P.Data.begin() + 6 + Length));
        }
        break;
      case kScr: {
        Send(kAck);
        Send(kXdp, O_.Ti83Plus ? Ti83PlusScreen() : O_.Screen);
        Packet Ack;
        Expect(kAck, Ack);
        break;
      }
      case kEot:
        if (!O_.Ti83Plus) Send(kAck);
        break;
      default:
        break;
    }
  }

 private:
  bool Failing(const char* Mode) const { return O_.Fail == Mode && Received_ >= O_.After; }

  // The top-left 96x64 of the 240x128 screen, rows of 12 bytes, and over it the last picture
  // received, as the calculator shows a picture recalled.
  std::vector<std::uint8_t> Ti83PlusScreen() const {
    std::vector<std::uint8_t> Screen(768);
    for (std::size_t Row = 0; Row < 64; ++Row) {
      std::copy_n(O_.Screen.begin() + static_cast<std::ptrdiff_t>(Row * 30), 12,
                  Screen.begin() + static_cast<std::ptrdiff_t>(Row * 12));
    }
    if (Recalled_.size() == 758) std::copy(Recalled_.begin() + 2, Recalled_.end(), Screen.begin());
    return Screen;
  }

  // An entry of a TI-89 listing: name (8 bytes), type, attribute, size (4 bytes).
  static void AddEntry(std::vector<std::uint8_t>& Block, const std::string& Name,
                       std::uint8_t Type) {
    std::vector<std::uint8_t> Entry(14);
    std::copy_n(Name.begin(), std::min<std::size_t>(Name.size(), 8), Entry.begin());
    Entry[8] = Type;
    Entry[10] = 0x10;
    Block.insert(Block.end(), Entry.begin(), Entry.end());
  }

  // The folders (Folders), or the variables of one folder after its own entry, as one block
  // between a VAR and the end of transmission.
  void ListTi89(bool Folders, const std::string& Folder) {
    Send(kAck);
    Send(kVar, {0, 0, 0, 0, kTi89Directory, 0});
    Packet P;
    if (!Expect(kAck, P) || !Expect(kCts, P)) return;
    Send(kAck);
    std::vector<std::uint8_t> Block(4);
    if (Folders) {
      std::vector<std::string> Names = {"main"};
      for (const auto& [Each, Name] : Held_) {
        if (std::find(Names.begin(), Names.end(), Each) == Names.end()) Names.push_back(Each);
      }
      for (const std::string& Name : Names) AddEntry(Block, Name, kTi89Folder);
    } else {
      AddEntry(Block, Folder, kTi89Folder);
      for (const auto& [Each, Name] : Held_) {
        if (Each == Folder) AddEntry(Block, Name, kTi89Picture);
      }
    }
    Send(kXdp, Block);
    if (!Expect(kAck, P)) return;
    Send(kEot);
    Expect(kAck, P);
  }

  // The free memory, then one VAR for each variable (size, type, name of 8 bytes), each
  // acknowledged, and the end of transmission.
  void ListTi83Plus() {
    Send(kAck);
    Send(kXdp, {0x00, 0x60});
    Packet P;
    if (!Expect(kAck, P)) return;
    for (const auto& Each : Held_) {
      const std::string& Name = Each.second;
      if (Name.rfind("Pic", 0) != 0 || Name.size() != 4) continue;
      std::vector<std::uint8_t> Header = {0xFE,
                                          0x02,
                                          kTi83PlusPicture,
                                          0x60,
                                          static_cast<std::uint8_t>((Name.back() - '0' + 9) % 10),
                                          0,
                                          0,
                                          0,
                                          0,
                                          0,
                                          0};
      Send(kVar, Header);
      if (!Expect(kAck, P)) return;
    }
    Send(kEot);
    Expect(kAck, P);
  }

  // A TI-83 Plus variable offered: size (2 bytes, little-endian), type, name (8 bytes); a
  // picture's name is its token 0x60 and its number's index.
  void TakeTi83PlusVariable(const std::vector<std::uint8_t>& Header, const Packet& Data) {
    if (Header.size() >= 3 && Header[2] == 0x07) Recalled_ = Data.Data;
    if (Header.size() < 5) return;
    const std::string Name =
        Header[3] == 0x60 ? "Pic" + std::to_string((Header[4] + 1) % 10) : "var";
    Held_.emplace_back("", Name);
    if (O_.SaveDir.empty()) return;
    std::ofstream(O_.SaveDir + "/" + Name + ".var", std::ios::binary)
        .write(reinterpret_cast<const char*>(Data.Data.data()),
               static_cast<std::streamsize>(Data.Data.size()));
  }

  // A variable offered to us: size (4 bytes, little-endian), type, name length, name.
  void TakeVariable(const std::vector<std::uint8_t>& Header) {
    Send(kAck);
    if (Failing("memory")) {
      Send(kSkp, {3, 0, 0});
      return;
    }
    if (Failing("locked")) {
      Send(kSkp, {2, 0, 0x1E});
      return;
    }
    Send(kCts);
    Packet P;
    if (!Expect(kAck, P) || !Expect(kXdp, P)) return;
    Send(kAck);
    if (O_.Ti83Plus) {
      ++Received_;
      TakeTi83PlusVariable(Header, P);
      return;
    }
    Packet End;
    if (!Expect(kEot, End)) return;
    Send(kAck);
    ++Received_;
    if (Header.size() < 6 || Header.size() < 6u + Header[5]) return;
    std::string Name(Header.begin() + 6, Header.begin() + 6 + Header[5]);
    const auto Slash = Name.find('\\');
    Held_.emplace_back(Slash == std::string::npos ? "main" : Name.substr(0, Slash),
                       Name.substr(Slash == std::string::npos ? 0 : Slash + 1));
    if (P.Data.size() < 4 || O_.SaveDir.empty()) return;
    for (char& C : Name) {
      if (C == '\\') C = '.';
    }
    std::ofstream(O_.SaveDir + "/" + Name + ".var", std::ios::binary)
        .write(reinterpret_cast<const char*>(P.Data.data() + 4),
               static_cast<std::streamsize>(P.Data.size() - 4));
  }

  CableHandle* Cable_;
  const Options& O_;
  int Received_ = 0;
  bool Gone_ = false;
  std::vector<std::uint8_t> Recalled_;  // a TI-83 Plus picture's data, size word first
  std::vector<std::pair<std::string, std::string>> Held_;
};

bool ParseArguments(int Count, char** Arguments, Options& O) {
  for (int I = 1; I < Count; ++I) {
    const std::string Argument = Arguments[I];
    if (Argument == "--") {
      O.Command.assign(Arguments + I + 1, Arguments + Count);
      O.Command.push_back(nullptr);
      return O.Command.size() > 1;
    }
    if (I + 1 >= Count) return false;
    const std::string Value = Arguments[++I];
    if (Argument == "--model") {
      if (Value != "89" && Value != "92p" && Value != "83p") return false;
      O.Ti83Plus = Value == "83p";
      O.Machine = Value == "92p" ? 0x88 : O.Ti83Plus ? 0x73 : 0x98;
    } else if (Argument == "--fail") {
      static const std::vector<std::string> kModes = {"silent", "busy", "memory", "locked",
                                                      "vanish"};
      if (std::find(kModes.begin(), kModes.end(), Value) == kModes.end()) return false;
      O.Fail = Value;
    } else if (Argument == "--after") {
      char* End = nullptr;
      O.After = static_cast<int>(std::strtol(Value.c_str(), &End, 10));
      if (Value.empty() || *End != '\0' || O.After < 0) return false;
    } else if (Argument == "--hold") {
      const auto Slash = Value.find('\\');
      const bool Picture =
          Value.size() == 4 && Value.rfind("Pic", 0) == 0 && Value[3] >= '0' && Value[3] <= '9';
      if (O.Ti83Plus != Picture || Value.empty() || Value.size() > 17) return false;
      O.Held.emplace_back(O.Ti83Plus                   ? ""
                          : Slash == std::string::npos ? "main"
                                                       : Value.substr(0, Slash),
                          Slash == std::string::npos ? Value : Value.substr(Slash + 1));
    } else if (Argument == "--save") {
      O.SaveDir = Value;
    } else if (Argument == "--screen") {
      std::ifstream In(Value, std::ios::binary);
      In.read(reinterpret_cast<char*>(O.Screen.data()), 3840);
      if (In.gcount() != 3840) return false;
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (WantsDirectUsb(argc, argv)) return RunDirectUsbStandIn(argc, argv);
  Options O;
  if (!ParseArguments(argc, argv, O)) {
    std::fprintf(stderr,
                 "usage: standin_calc [--model 89|92p|83p] [--fail "
                 "silent|busy|memory|locked|vanish] [--after N] [--save DIR] [--screen FILE] "
                 "[--hold NAME]... -- COMMAND...\n");
    return 2;
  }
  return ServeBeside(O.Command.data(),
                     [&O](CableHandle* Cable) { return std::make_unique<Calculator>(Cable, O); });
}
