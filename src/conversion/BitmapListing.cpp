// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/BitmapListing.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "conversion/FileScript.h"
#include "pictrane/Names.h"
#include "pictrane/Utf8.h"

namespace pictrane {

namespace {

// Simple upper-case mapping of the Basic Multilingual Plane (Unicode 14), as runs: the code
// points First, First + Stride, ... (Count of them) map to themselves plus Delta. NTFS keeps one
// such table per volume; this is the mapping both the volume's table and glibc's C.UTF-8 follow.
struct CaseRun {
  std::uint16_t First;
  std::uint16_t Count;
  std::uint8_t Stride;
  std::int32_t Delta;
};

constexpr CaseRun kUpperRuns[] = {
    {0x0061, 26, 1, -32},   {0x00B5, 1, 1, 743},   {0x00E0, 23, 1, -32},    {0x00F8, 7, 1, -32},
    {0x00FF, 1, 1, 121},    {0x0101, 24, 2, -1},   {0x0131, 1, 1, -232},    {0x0133, 3, 2, -1},
    {0x013A, 8, 2, -1},     {0x014B, 23, 2, -1},   {0x017A, 3, 2, -1},      {0x017F, 1, 1, -300},
    {0x0180, 1, 1, 195},    {0x0183, 2, 2, -1},    {0x0188, 1, 1, -1},      {0x018C, 1, 1, -1},
    {0x0192, 1, 1, -1},     {0x0195, 1, 1, 97},    {0x0199, 1, 1, -1},      {0x019A, 1, 1, 163},
    {0x019E, 1, 1, 130},    {0x01A1, 3, 2, -1},    {0x01A8, 1, 1, -1},      {0x01AD, 1, 1, -1},
    {0x01B0, 1, 1, -1},     {0x01B4, 2, 2, -1},    {0x01B9, 1, 1, -1},      {0x01BD, 1, 1, -1},
    {0x01BF, 1, 1, 56},     {0x01C5, 1, 1, -1},    {0x01C6, 1, 1, -2},      {0x01C8, 1, 1, -1},
    {0x01C9, 1, 1, -2},     {0x01CB, 1, 1, -1},    {0x01CC, 1, 1, -2},      {0x01CE, 8, 2, -1},
    {0x01DD, 1, 1, -79},    {0x01DF, 9, 2, -1},    {0x01F2, 1, 1, -1},      {0x01F3, 1, 1, -2},
    {0x01F5, 1, 1, -1},     {0x01F9, 20, 2, -1},   {0x0223, 9, 2, -1},      {0x023C, 1, 1, -1},
    {0x023F, 2, 1, 10815},  {0x0242, 1, 1, -1},    {0x0247, 5, 2, -1},      {0x0250, 1, 1, 10783},
    {0x0251, 1, 1, 10780},  {0x0252, 1, 1, 10782}, {0x0253, 1, 1, -210},    {0x0254, 1, 1, -206},
    {0x0256, 2, 1, -205},   {0x0259, 1, 1, -202},  {0x025B, 1, 1, -203},    {0x025C, 1, 1, 42319},
    {0x0260, 1, 1, -205},   {0x0261, 1, 1, 42315}, {0x0263, 1, 1, -207},    {0x0265, 1, 1, 42280},
    {0x0266, 1, 1, 42308},  {0x0268, 1, 1, -209},  {0x0269, 1, 1, -211},    {0x026A, 1, 1, 42308},
    {0x026B, 1, 1, 10743},  {0x026C, 1, 1, 42305}, {0x026F, 1, 1, -211},    {0x0271, 1, 1, 10749},
    {0x0272, 1, 1, -213},   {0x0275, 1, 1, -214},  {0x027D, 1, 1, 10727},   {0x0280, 1, 1, -218},
    {0x0282, 1, 1, 42307},  {0x0283, 1, 1, -218},  {0x0287, 1, 1, 42282},   {0x0288, 1, 1, -218},
    {0x0289, 1, 1, -69},    {0x028A, 2, 1, -217},  {0x028C, 1, 1, -71},     {0x0292, 1, 1, -219},
    {0x029D, 1, 1, 42261},  {0x029E, 1, 1, 42258}, {0x0345, 1, 1, 84},      {0x0371, 2, 2, -1},
    {0x0377, 1, 1, -1},     {0x037B, 3, 1, 130},   {0x03AC, 1, 1, -38},     {0x03AD, 3, 1, -37},
    {0x03B1, 17, 1, -32},   {0x03C2, 1, 1, -31},   {0x03C3, 9, 1, -32},     {0x03CC, 1, 1, -64},
    {0x03CD, 2, 1, -63},    {0x03D0, 1, 1, -62},   {0x03D1, 1, 1, -57},     {0x03D5, 1, 1, -47},
    {0x03D6, 1, 1, -54},    {0x03D7, 1, 1, -8},    {0x03D9, 12, 2, -1},     {0x03F0, 1, 1, -86},
    {0x03F1, 1, 1, -80},    {0x03F2, 1, 1, 7},     {0x03F3, 1, 1, -116},    {0x03F5, 1, 1, -96},
    {0x03F8, 1, 1, -1},     {0x03FB, 1, 1, -1},    {0x0430, 32, 1, -32},    {0x0450, 16, 1, -80},
    {0x0461, 17, 2, -1},    {0x048B, 27, 2, -1},   {0x04C2, 7, 2, -1},      {0x04CF, 1, 1, -15},
    {0x04D1, 48, 2, -1},    {0x0561, 38, 1, -48},  {0x10D0, 43, 1, 3008},   {0x10FD, 3, 1, 3008},
    {0x13F8, 6, 1, -8},     {0x1C80, 1, 1, -6254}, {0x1C81, 1, 1, -6253},   {0x1C82, 1, 1, -6244},
    {0x1C83, 2, 1, -6242},  {0x1C85, 1, 1, -6243}, {0x1C86, 1, 1, -6236},   {0x1C87, 1, 1, -6181},
    {0x1C88, 1, 1, 35266},  {0x1D79, 1, 1, 35332}, {0x1D7D, 1, 1, 3814},    {0x1D8E, 1, 1, 35384},
    {0x1E01, 75, 2, -1},    {0x1E9B, 1, 1, -59},   {0x1EA1, 48, 2, -1},     {0x1F00, 8, 1, 8},
    {0x1F10, 6, 1, 8},      {0x1F20, 8, 1, 8},     {0x1F30, 8, 1, 8},       {0x1F40, 6, 1, 8},
    {0x1F51, 4, 2, 8},      {0x1F60, 8, 1, 8},     {0x1F70, 2, 1, 74},      {0x1F72, 4, 1, 86},
    {0x1F76, 2, 1, 100},    {0x1F78, 2, 1, 128},   {0x1F7A, 2, 1, 112},     {0x1F7C, 2, 1, 126},
    {0x1FB0, 2, 1, 8},      {0x1FBE, 1, 1, -7205}, {0x1FD0, 2, 1, 8},       {0x1FE0, 2, 1, 8},
    {0x1FE5, 1, 1, 7},      {0x214E, 1, 1, -28},   {0x2170, 16, 1, -16},    {0x2184, 1, 1, -1},
    {0x24D0, 26, 1, -26},   {0x2C30, 48, 1, -48},  {0x2C61, 1, 1, -1},      {0x2C65, 1, 1, -10795},
    {0x2C66, 1, 1, -10792}, {0x2C68, 3, 2, -1},    {0x2C73, 1, 1, -1},      {0x2C76, 1, 1, -1},
    {0x2C81, 50, 2, -1},    {0x2CEC, 2, 2, -1},    {0x2CF3, 1, 1, -1},      {0x2D00, 38, 1, -7264},
    {0x2D27, 1, 1, -7264},  {0x2D2D, 1, 1, -7264}, {0xA641, 23, 2, -1},     {0xA681, 14, 2, -1},
    {0xA723, 7, 2, -1},     {0xA733, 31, 2, -1},   {0xA77A, 2, 2, -1},      {0xA77F, 5, 2, -1},
    {0xA78C, 1, 1, -1},     {0xA791, 2, 2, -1},    {0xA794, 1, 1, 48},      {0xA797, 10, 2, -1},
    {0xA7B5, 8, 2, -1},     {0xA7C8, 2, 2, -1},    {0xA7D1, 1, 1, -1},      {0xA7D7, 2, 2, -1},
    {0xA7F6, 1, 1, -1},     {0xAB53, 1, 1, -928},  {0xAB70, 80, 1, -38864}, {0xFF41, 26, 1, -32},
};

char16_t Upper(char16_t C) {
  // The runs are sorted by First; the one that may hold C is the last that starts at or before it.
  const auto After = std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), C,
                                      [](char16_t V, const CaseRun& R) { return V < R.First; });
  if (After == std::begin(kUpperRuns)) return C;
  const CaseRun& R = *(After - 1);
  const unsigned Offset = static_cast<unsigned>(C - R.First);
  if (Offset % R.Stride != 0 || Offset / R.Stride >= R.Count) return C;
  return static_cast<char16_t>(static_cast<std::int32_t>(C) + R.Delta);
}

bool EndsWithBmp(const std::string& Name) {
  if (Name.size() <= 4) return false;
  std::string Tail = Name.substr(Name.size() - 4);
  for (char& C : Tail)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return Tail == ".bmp";
}

}  // namespace

std::u16string NtfsOrderKey(const std::string& Name) {
  std::u16string Key;
  Key.reserve(Name.size());
  for (std::size_t At = 0; At < Name.size();) {
    char32_t C = 0;
    if (!NextUtf8(Name, At, C)) C = static_cast<unsigned char>(Name[At - 1]);
    if (C >= 0x10000) {
      Key += static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10));
      Key += static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF));
    } else {
      Key += Upper(static_cast<char16_t>(C));
    }
  }
  return Key;
}

BitmapList ListBitmaps(DirectoryListing& Listing, const std::string& Folder) {
  // What the bare listing shows: ordinary files, hidden ones left out, ending in ".bmp".
  std::vector<std::pair<std::u16string, std::string>> Sorted;
  for (FolderEntry& E : Listing.Entries(Folder)) {
    if (E.Ordinary && !E.Hidden && EndsWithBmp(E.Name))
      Sorted.emplace_back(NtfsOrderKey(E.Name), std::move(E.Name));
  }
  // Ties (names equal but for case, on a file system that keeps both) fall back to the bytes.
  std::sort(Sorted.begin(), Sorted.end());

  BitmapList List;
  // The bitmap that makes each picture: the first in order.
  std::map<std::string, std::string> MakerOf;
  for (auto& Entry : Sorted) {
    std::string& Name = Entry.second;
    if (!TypableName(Name)) {
      List.LeftOut.push_back(EscapedName(Name) +
                             " (the name cannot be typed or written as one line)");
      continue;
    }
    const auto [It, IsNew] = MakerOf.emplace(PictureName(Name), Name);
    if (!IsNew) {
      List.LeftOut.push_back(Name + " (its picture " + It->first + " is " + It->second + "'s)");
      continue;
    }
    List.Bitmaps.push_back(std::move(Name));
  }
  return List;
}

std::string ListFileText(const std::vector<std::string>& Names) {
  std::string Text;
  for (const std::string& Name : Names) Text += Name + "\r\n";
  return Text;
}

}  // namespace pictrane
