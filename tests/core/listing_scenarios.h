// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Folders whose bitmaps the run takes, shared by the test of the listing policy over a fake and
// the tests that run the same policy over each back end's real folder listing.

#include <string>
#include <vector>

namespace pictrane::scenarios {

struct ListingEntry {
  enum class Kind { File, Folder, Hidden };  // Hidden: a dot name, and the hidden attribute
  std::string Name;
  Kind Type = Kind::File;
};

struct ListingScenario {
  std::string Name;
  std::vector<ListingEntry> Entries;
  bool Missing = false;              // the folder does not exist: the listing raises
  bool NamesWindowsAllows = true;    // false: names only a POSIX file system can hold
  std::vector<std::string> Bitmaps;  // in order
  std::vector<std::string> LeftOut;  // as reported, in order
};

inline std::vector<ListingScenario> ListingScenarios() {
  using K = ListingEntry::Kind;
  const std::string odd = " (the name cannot be typed or written as one line)";
  return {
      {"NtfsOrder",
       {{"b.bmp"},
        {"z.bmp"},
        {"_x.bmp"},
        {"[.bmp"},
        {"a1.bmp"},
        {"A.bmp"},
        {"\xC3\xA9.bmp"},
        {"\xC3\x84.bmp"},
        {"\xCF\x83.bmp"},
        {"\xCE\xA4.bmp"}},
       false,
       true,
       // Upper-cased: A, A1, B, Z, [, _X, Ä (C4), É (C9), Σ (3A3), Τ (3A4)
       {"A.bmp", "a1.bmp", "b.bmp", "z.bmp", "[.bmp", "_x.bmp", "\xC3\x84.bmp", "\xC3\xA9.bmp",
        "\xCF\x83.bmp", "\xCE\xA4.bmp"},
       {}},
      {"OnlyVisibleOrdinaryBitmaps",
       {{"a.BMP"},
        {"b.Bmp"},
        {"c.bmp.txt"},
        {"d.bmpx"},
        {"bmp"},
        {"dir.bmp", K::Folder},
        {".hidden.bmp", K::Hidden},
        {"e.bmp"}},
       false,
       true,
       {"a.BMP", "b.Bmp", "e.bmp"},
       {}},
      {"EmptyFolder", {}, false, true, {}, {}},
      {"MissingFolder", {}, true, true, {}, {}},
      {"NamesTheKeyboardOrTheListCannotCarry",
       {{"ok.bmp"},
        {"a\rb.bmp"},
        {"c\nd.bmp"},
        {"e\tf.bmp"},
        {"g\xFFh.bmp"},
        {"i\x7F.bmp"},
        {"j\xC2\x85.bmp"},
        {"k\xC0\xAF.bmp"},
        {"l\xED\xA0\x80.bmp"}},
       false,
       false,
       {"ok.bmp"},
       {"a\\rb.bmp" + odd, "c\\nd.bmp" + odd, "e\\tf.bmp" + odd, "g\\xFFh.bmp" + odd,
        "i\\x7F.bmp" + odd, "j\\xC2\\x85.bmp" + odd, "k\\xC0\\xAF.bmp" + odd,
        "l\\xED\\xA0\\x80.bmp" + odd}},
      {"CaseTwinsShareOnePicture",
       {{"p.bmp"}, {"p.BMP"}, {"P.bmp"}},
       false,
       false,
       {"P.bmp", "p.BMP"},
       {"p.bmp (its picture p.89i is p.BMP's)"}},
  };
}

}  // namespace pictrane::scenarios
