// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/RunReport.h"

#include <initializer_list>
#include <map>

#include "conversion/RunTimings.h"
#include "pictrane/CalcName.h"

namespace pictrane {

namespace {

constexpr std::size_t kMaxNamesInReport = 20;
// A camera's names share their first eight letters by the hundred; a few of each name say it.
constexpr std::size_t kMaxPicturesPerSharedName = 4;

// "1 bitmap was converted; 2 others were left untouched.", in plain English for every count.
std::string Counts(std::size_t Converted, std::size_t Others) {
  const auto Was = [](std::size_t N) { return N == 1 ? " was" : "s were"; };
  if (Converted == 0 && Others == 1) return "The bitmap was not converted.";
  if (Converted == 0) return "None of the " + std::to_string(Others) + " bitmaps was converted.";
  std::string Text = std::to_string(Converted) + " bitmap" + Was(Converted) + " converted";
  if (Others > 0)
    Text += "; " + std::to_string(Others) + " other" + Was(Others) + " left untouched";
  return Text + ".";
}

// The first Most of Names, each after Before, then how many more there are (after More).
std::string Capped(const std::vector<std::string>& Names, std::size_t Most, const char* Before,
                   const char* More) {
  std::string S;
  for (std::size_t I = 0; I < Names.size() && I < Most; ++I) S += Before + Names[I];
  if (Names.size() > Most) S += More + std::to_string(Names.size() - Most) + " more";
  return S;
}

// The bitmaps in one of the States, in the order of the run.
std::vector<std::string> NamesIn(const std::vector<ListedBitmap>& Bitmaps,
                                 std::initializer_list<ListedBitmap::State> States) {
  std::vector<std::string> Names;
  for (const ListedBitmap& Item : Bitmaps)
    for (ListedBitmap::State State : States)
      if (Item.Now == State) Names.push_back(Item.Listed);
  return Names;
}

// Pictures whose variable names give one calculator name replace each other there, though
// the files differ; the keys stay as they are, so the user renames the bitmaps.
std::vector<std::string> SharedCalculatorNames(const std::vector<ListedBitmap>& Bitmaps) {
  std::map<std::string, std::vector<std::string>> ByName;
  std::vector<std::string> Order;
  for (const ListedBitmap& Item : Bitmaps) {
    if (Item.Now != ListedBitmap::State::Converted) continue;
    // No letter a calculator name may hold: the name is the one the tool said it chose, where
    // it said one (its fallback may be another bitmap's own name); else nothing to tell.
    std::string Name = CalculatorName(Item.Names.Variable);
    if (Name.empty()) Name = CalculatorName(Item.Remarks.NamedAs);
    if (Name.empty()) continue;
    auto& Pictures = ByName[Name];
    if (Pictures.empty()) Order.push_back(Name);
    Pictures.push_back(PictureName(Item.Listed));
  }
  std::vector<std::string> Lines;
  for (const std::string& Name : Order) {
    const auto& Pictures = ByName[Name];
    if (Pictures.size() < 2) continue;
    std::string Line = "\"" + Name + "\":";
    Line += Capped(Pictures, kMaxPicturesPerSharedName, " ", " and ");
    Lines.push_back(Line);
  }
  return Lines;
}

}  // namespace

std::string NameList(const std::vector<std::string>& Names) {
  return Capped(Names, kMaxNamesInReport, "\r\n", "\r\n... and ");
}

std::optional<std::string> ReportText(const std::vector<ListedBitmap>& Bitmaps,
                                      const std::vector<std::string>& LeftOut,
                                      const std::vector<std::string>& NotDeleted,
                                      std::size_t Converted, const RunEnd& End, bool Complete) {
  std::vector<std::string> Changed, NoPicture, NamedByTool;
  bool NoPictureSaid = false;
  for (const ListedBitmap& Item : Bitmaps) {
    if (Item.Changed) Changed.push_back(Item.Listed);
    if (Item.Now == ListedBitmap::State::NoPicture) {
      const std::string& Said = Item.Remarks.Said;
      NoPicture.push_back(Said.empty() ? Item.Listed : Item.Listed + ": " + Said);
      NoPictureSaid = NoPictureSaid || !Said.empty();
    }
    if (Item.Now == ListedBitmap::State::Converted && !Item.Remarks.NamedAs.empty())
      NamedByTool.push_back(Item.Listed + ": " + Item.Remarks.NamedAs);
  }
  const std::vector<std::string> Shared = SharedCalculatorNames(Bitmaps);
  if (Complete && NotDeleted.empty() && Changed.empty() && Shared.empty() && NamedByTool.empty()) {
    return std::nullopt;
  }
  std::string Text;
  const std::vector<std::string> Disturbed = NamesIn(Bitmaps, {ListedBitmap::State::Disturbed});
  if (!Disturbed.empty()) {
    Text = "Keys that this program did not type came among the keys for " + Disturbed.front() +
           ", so no more keys were sent.\r\n";
  } else if (End.LostBy == KeysOutcome::KeysHeld) {
    Text = "Keys were held down on the keyboard for " +
           std::to_string(kRunTimings.KeyReleaseWaitMs / 1000) +
           " seconds, so no more keys were sent.\r\n";
  } else if (End.LostBy == KeysOutcome::KeyboardGrabbed) {
    Text = "Another program held the keyboard, so no more keys were sent.\r\n";
  } else if (End.FocusWasLost && End.ToolEnded) {
    Text = "The capture tool ended unexpectedly, so no more keys were sent.\r\n";
  } else if (End.FocusWasLost) {
    Text = "The capture tool lost the keyboard focus, so no more keys were sent.\r\n";
  } else if (End.WasStopped) {
    Text = "The conversion was stopped because the window was closed.\r\n";
  } else if (End.WasCancelled) {
    Text = "The conversion was cancelled.\r\n";
  } else if (!End.Failure.empty()) {
    Text = "The conversion stopped: " + End.Failure + "\r\n";
  }
  const std::size_t Listed = Bitmaps.size() + LeftOut.size();
  Text += Counts(Converted, Listed - Converted);
  const auto Section = [&Text](const char* Heading, const std::vector<std::string>& Names,
                               const char* Next) {
    if (Names.empty()) return;
    Text += std::string("\r\n\r\n") + Heading + NameList(Names) + "\r\n" + Next;
  };
  // Where the tool could tell us why, its own words stand on the bitmap's line; its window
  // has closed by now.
  Section("No picture appeared for these bitmaps, so they were kept:", NoPicture,
          NoPictureSaid
              ? "Each reason is the capture tool's; where none is given, check that the bitmap "
                "opens in an image viewer. Then convert them again."
              : "Look for a message in the capture tool's window, check that each bitmap opens "
                "in an image viewer, then convert them again.");
  // Only a tool that took every key, its close keys too, is known to be at work still.
  Section(End.CloseKeysTaken
              ? "The capture tool was still working when the run stopped waiting for it, so "
                "these bitmaps were kept:"
              : "The capture tool had not closed when the run stopped waiting for it, so these "
                "bitmaps were kept:",
          NamesIn(Bitmaps, {ListedBitmap::State::Unfinished}),
          "Their pictures may still appear; convert the ones without a picture again once the "
          "tool has finished.");
  Section(
      "The capture tool may have taken other keys with the keys for these bitmaps, so they "
      "were kept whatever their pictures show:",
      Disturbed, "Convert them again.");
  Section("These bitmaps were not converted, so they were kept:",
          NamesIn(Bitmaps, {ListedBitmap::State::Interrupted, ListedBitmap::State::NotReached}),
          "Convert the folder again to convert them.");
  Section("These bitmaps were left out of the run and kept:", LeftOut,
          "Rename them so that each name can be typed and makes a picture of its own, then "
          "convert them again.");
  Section("These bitmaps changed after their keys were sent, so they were kept:", Changed,
          "Their pictures may show what they held before; convert them again.");
  Section("These bitmaps were converted but could not be deleted:", NotDeleted,
          "Delete them yourself once you no longer need them.");
  Section(
      "These pictures share a calculator name, so on the calculator each replaces the "
      "one before:",
      Shared, "Rename the bitmaps so that their names differ in the first eight letters.");
  Section(
      "The names of these bitmaps hold no letter a calculator name takes, so the capture tool "
      "named their pictures itself:",
      NamedByTool, "Rename the bitmaps to choose the calculator names yourself.");
  return Text;
}

}  // namespace pictrane
