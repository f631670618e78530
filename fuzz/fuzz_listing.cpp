// SPDX-License-Identifier: GPL-3.0-or-later
// The listing policy on arbitrary names: whatever a folder holds, every name the run is given
// can be typed and is one line of "list.txt", the order is NTFS's, no two bitmaps share a
// picture, each candidate is either taken or reported, and a reported name shows no control
// character raw.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "conversion/BitmapListing.h"

namespace {

struct GivenEntries : pictrane::DirectoryListing {
  std::vector<pictrane::FolderEntry> Given;
  std::vector<pictrane::FolderEntry> Entries(const std::string&) override { return Given; }
};

void Check(bool Condition) {
  if (!Condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  // Names separated by NUL, the one byte no file name holds; the byte before each name says
  // whether it is an ordinary file and whether it is hidden.
  GivenEntries Listing;
  std::size_t Candidates = 0;
  const std::string Input(reinterpret_cast<const char*>(Data), Size);
  for (std::size_t Start = 0; Start < Input.size();) {
    std::size_t End = Input.find('\0', Start);
    if (End == std::string::npos) End = Input.size();
    if (End > Start) {
      const auto Flags = static_cast<unsigned char>(Input[Start]);
      pictrane::FolderEntry E{Input.substr(Start + 1, End - Start - 1), (Flags & 1) != 0,
                              (Flags & 2) != 0};
      std::string Tail = E.Name.size() > 4 ? E.Name.substr(E.Name.size() - 4) : "";
      for (char& C : Tail) C = static_cast<char>(C >= 'A' && C <= 'Z' ? C + 32 : C);
      if (E.Ordinary && !E.Hidden && Tail == ".bmp") ++Candidates;
      Listing.Given.push_back(std::move(E));
    }
    Start = End + 1;
  }

  const pictrane::BitmapList List = pictrane::ListBitmaps(Listing, "/p");
  Check(List.Bitmaps.size() + List.LeftOut.size() == Candidates);
  std::set<std::string> Stems;
  for (std::size_t I = 0; I < List.Bitmaps.size(); ++I) {
    const std::string& Name = List.Bitmaps[I];
    Check(pictrane::TypableName(Name));
    Check(Name.find_first_of("\r\n") == std::string::npos);
    Check(Stems.insert(Name.substr(0, Name.size() - 4)).second);
    if (I > 0) Check(pictrane::NtfsOrderKey(List.Bitmaps[I - 1]) <= pictrane::NtfsOrderKey(Name));
  }
  const std::string Text = pictrane::ListFileText(List.Bitmaps);
  std::size_t Lines = 0;
  for (std::size_t At = Text.find("\r\n"); At != std::string::npos; At = Text.find("\r\n", At + 2))
    ++Lines;
  Check(Lines == List.Bitmaps.size());
  for (const std::string& Shown : List.LeftOut)
    for (const char C : Shown) Check(static_cast<unsigned char>(C) >= 0x20 && C != 0x7F);
  return 0;
}
