// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/LinkCommands.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/BatchConvert.h"
#include "calc/CalcFile.h"
#include "link/CalcLink.h"
#include "pictrane/CalcName.h"
#include "calc/CalcRead.h"
#include "calc/Models.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

// The file's own bytes, whatever they are (PictureFile.h).
std::string Local(const QString& Path) {
  return BytesOfName(Path);
}

}  // namespace

namespace {

// Opens the link, saying on Err what answered; nothing when no calculator did, with Why set.
std::unique_ptr<CalcLink> OpenLink(const LinkSettings& Settings, QTextStream& Err,
                                   std::optional<LinkError>& Why) {
  try {
    auto Link = std::make_unique<CalcLink>(Settings);
    Err << "pictrane-capture: " << QString::fromStdString(Link->Found()) << '\n';
    Err.flush();
    return Link;
  } catch (const LinkError& Error) {
    Why = Error;
    return nullptr;
  }
}

bool NobodyAnswered(const LinkError& Error) {
  return Error.What() == LinkError::Kind::NoCable || Error.What() == LinkError::Kind::NoAnswer;
}

int Send(const LinkRequest& Command, QTextStream& Out, QTextStream& Err) {
  // The first file's model says what the virtual cable's calculator speaks.
  SendSession Session(ExpectingFileOf(Command.Link, Local(Command.Files.first())), Err,
                      Command.Replace);
  bool AllSent = true;
  for (const QString& File : Command.Files) {
    const SendSession::Outcome Sent = Session.Send(File);
    if (Sent.Problem.isEmpty()) {
      Out << "sent: " << ShownName(File);
      if (!Sent.Names.isEmpty()) Out << " " << Sent.Names.join(QStringLiteral(", "));
      Out << '\n';
    } else {
      AllSent = false;
      Out << "not sent: " << ShownName(File) << ": " << Sent.Problem;
      // A group that stopped midway says how far it came.
      if (Sent.Acknowledged == 1) Out << " (its first variable arrived)";
      if (Sent.Acknowledged > 1)
        Out << " (its first " << Sent.Acknowledged << " variables arrived)";
      Out << '\n';
    }
    Out.flush();
  }
  if (Session.NobodyAnswered()) return kExitNoCalculator;
  return AllSent ? kExitDone : kExitNotAllWritten;
}

int Screenshot(const LinkRequest& Command, QTextStream& Out, QTextStream& Err) {
  const QString& Target = Command.Files.first();
  const QString Suffix = QFileInfo(Target).suffix().toLower();
  const char* ImageFormat = Suffix == QLatin1String("png")   ? "PNG"
                            : Suffix == QLatin1String("bmp") ? "BMP"
                                                             : nullptr;
  // A picture of a model the link reaches.
  std::optional<CalcModelId> Model;
  int Kind = 0;
  for (const CalcModelInfo& Row : CalcModels()) {
    if (Row.Link == LinkFamily::None) continue;
    for (std::size_t I = 0; I < Row.Kinds.size(); ++I) {
      if (Suffix == QLatin1String(Row.Kinds[I].Extension)) {
        Model = Row.Id;
        Kind = static_cast<int>(I);
      }
    }
  }
  if (ImageFormat == nullptr && !Model) {
    Err << "pictrane-capture: --screenshot: \"" << ShownName(Target) << "\" does not end in "
        << ".png, .bmp, " << QString::fromStdString(LinkedExtensions()) << "\n";
    return kExitUsage;
  }
  const QString Base = QFileInfo(Target).completeBaseName();
  const QList<uint> Codes = Base.toUcs4();
  std::u32string Name = NameFromTyping(std::u32string(Codes.begin(), Codes.end()));
  QString Named;
  const bool Numbered = Model && IsNumbered(*Model);
  if (Numbered) {
    // A numbered picture is one of ten: the file's name when it names one, else the first.
    const QString Stem = QLatin1String(KindOf(*Model, Kind).Stem);
    const std::u32string Stem32 = Stem.toStdU32String();
    if (!IsNumberedPictureName(Name, Stem32)) {
      Name = NumberedPictureName(0, Stem32);
      Named = QStringLiteral(" as %1").arg(Stem + '1');
    }
  } else if (Model && Name.empty()) {
    Name = FallbackName({});
    Named = QStringLiteral(" as main\\%1 (%2)")
                .arg(QString::fromUcs4(Name.data(), static_cast<qsizetype>(Name.size())),
                     NoNameText(Base));
  }

  LinkSettings Settings = Command.Link;
  if (!Settings.Model) Settings.Model = Model;
  std::optional<LinkError> Why;
  const std::unique_ptr<CalcLink> Link = OpenLink(Settings, Err, Why);
  try {
    if (!Link) throw *Why;
    if (Model && InfoOf(*Model).Link != Link->Family()) {
      throw LinkError(LinkError::Kind::Refused,
                      Numbered ? "a " + std::string(InfoOf(*Model).Name) +
                                     " picture, and another calculator answers"
                               : "a picture for the " + FamilyName(LinkFamily::Dbus68k) +
                                     ", and a " + FamilyName(Link->Family()) + " answers");
    }
    CalcPicture Picture;
    if (Model) {
      Picture.Model = *Model;
      Picture.Kind = Kind;
      Picture.Name = Name;
      Picture.Folder = U"main";
    }
    if (Link->Family() == LinkFamily::Dusb) {
      // A colour screen: as it is, or made into a picture as a photo would be.
      const QImage Screen = Link->TakeScreenImage();
      if (ImageFormat != nullptr) {
        SaveImage(Screen, Target, ImageFormat);
      } else {
        Picture.PicData =
            CalcPictureOf(*Model, Screen, AreaOf(*Model, TargetArea::Screen, Kind), {}, Kind)
                .PicData;
        WriteCalcPicture(Local(Target), Picture);
      }
    } else {
      MonoPicture Screen = Link->TakeScreen();
      if (ImageFormat != nullptr) {
        SaveImage(ToImage(Screen), Target, ImageFormat);
      } else {
        if (Numbered) {
          // Its picture holds the screen but for the bottom row.
          Screen.Height = KindOf(*Model).Screen.Height;
          Screen.Dark.resize(static_cast<std::size_t>(Screen.Width) * Screen.Height);
        }
        Picture.PicData = EncodePic(Screen, *Model);
        WriteCalcPicture(Local(Target), Picture);
      }
    }
  } catch (const LinkError& Error) {
    Out << "not written: " << ShownName(Target) << ": " << QString::fromUtf8(Error.what()) << '\n';
    return !Link && NobodyAnswered(Error) ? kExitNoCalculator : kExitNotAllWritten;
  } catch (const RaisedError& Error) {
    Out << "not written: " << ShownName(Target) << ": " << QString::fromStdString(Error.Description)
        << '\n';
    return kExitNotAllWritten;
  }
  Out << "written: " << ShownName(Target) << Named << '\n';
  return kExitDone;
}

// A calculator name as part of a file name: any "/" (a crafted file may hold one) made "_".
QString FileNamePart(const std::string& Name) {
  return QString::fromStdString(Name).replace(QLatin1Char('/'), QLatin1Char('_'));
}

// Where each picture of File goes: FILE.png for a single picture, FILE-NAME.png for a group's,
// and FILE-FOLDER-NAME.png for pictures of the group that share their name (in two folders).
std::vector<QString> PngTargets(const QString& File, const std::vector<StoredPicture>& Pictures) {
  std::map<QString, int> Named;
  for (const StoredPicture& Each : Pictures) ++Named[FileNamePart(Each.Name).toLower()];
  std::vector<QString> Targets;
  for (const StoredPicture& Each : Pictures) {
    QString Part = FileNamePart(Each.Name);
    if (Named[Part.toLower()] > 1) Part = FileNamePart(Each.Folder) + QLatin1Char('-') + Part;
    Targets.push_back(File + (Each.InGroup ? QLatin1Char('-') + Part : QString()) +
                      QStringLiteral(".png"));
  }
  return Targets;
}

// A file as the system names it, so that two spellings of one file are one key: its folder's
// real path and its own name.
std::string FileKey(const std::string& Path) {
  const auto Slash = Path.find_last_of('/');
  const std::string Folder =
      Slash == std::string::npos ? "." : (Slash == 0 ? "/" : Path.substr(0, Slash));
  const std::string Name = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
  const std::unique_ptr<char, decltype(&std::free)> Real(::realpath(Folder.c_str(), nullptr),
                                                         &std::free);
  return (Real ? std::string(Real.get()) : Folder) + '/' + Name;
}

int ToPng(const LinkRequest& Command, QTextStream& Out) {
  bool AllWritten = true;
  std::set<std::string> Written;  // no file is written twice in a run
  for (const QString& File : Command.Files) {
    try {
      const std::vector<StoredPicture> Pictures = ReadCalcPictures(Local(File));
      const std::vector<QString> Targets = PngTargets(File, Pictures);
      for (std::size_t I = 0; I < Pictures.size(); ++I) {
        const QString& Target = Targets[I];
        try {
          if (Written.contains(FileKey(Local(Target)))) {
            throw RaisedError(ErrorNumber::PathFileAccessError, "pictrane-capture",
                              "another picture of this run was written there");
          }
          SaveImage(ShownOf(Pictures[I]), Target, "PNG");
          Written.insert(FileKey(Local(Target)));
          Out << "written: " << ShownName(File) << " -> " << ShownName(Target) << '\n';
        } catch (const RaisedError& Error) {
          AllWritten = false;
          Out << "not written: " << ShownName(Target) << ": "
              << QString::fromStdString(Error.Description) << '\n';
        }
      }
    } catch (const RaisedError& Error) {
      AllWritten = false;
      Out << "not written: " << QString::fromStdString(Error.Description) << '\n';
    }
    Out.flush();
  }
  return AllWritten ? kExitDone : kExitNotAllWritten;
}

}  // namespace

std::u32string FreeName(std::u32string_view Wanted, const std::set<std::u32string>& Taken,
                        bool Numbered) {
  if (!Numbered) return DistinctName(Wanted, Taken);
  // Pic1..Pic9 are the first nine, Pic0 the tenth (Image1..Image0 the same).
  const std::u32string Stem = StemOf(Wanted).empty() ? std::u32string(U"Pic") : StemOf(Wanted);
  const int First = IsNumberedPictureName(Wanted, Stem) ? (Wanted.back() - U'0' + 9) % 10 : 0;
  for (int Step = 0; Step < kNumberedPictures; ++Step) {
    const std::u32string Name = NumberedPictureName((First + Step) % kNumberedPictures, Stem);
    if (!Taken.contains(LowerName(Name))) return Name;
  }
  return {};
}

QString ShownVariable(const QString& Folder, const std::u32string& Name) {
  const QString Shown = QString::fromUcs4(Name.data(), static_cast<qsizetype>(Name.size()));
  return Folder.isEmpty() ? Shown : Folder.toLower() + QLatin1Char('\\') + Shown.toLower();
}

SendSession::SendSession(const LinkSettings& Settings, QTextStream& Err, bool Replace)
    : Settings_(Settings), Err_(Err), Replace_(Replace) {}

SendSession::~SendSession() = default;

bool SendSession::Open() {
  if (!Link_ && !Stop_) {
    std::optional<LinkError> Why;
    Link_ = OpenLink(Settings_, Err_, Why);
    if (Why) {
      Stop_ = QString::fromUtf8(Why->what());
      NobodyAnswered_ = capture::NobodyAnswered(*Why);
    }
  }
  if (Link_ && !Listed_ && !Stop_) {
    try {
      Listed_ = Link_->Variables();
    } catch (const LinkError& Error) {
      // Sending blind could replace a picture without a word.
      Stop_ = QString::fromUtf8(Error.what());
    }
  }
  return !Stop_;
}

std::set<std::u32string> SendSession::Held(const QString& Folder) {
  std::set<std::u32string> Names;
  if (!Open()) return Names;
  for (const CalcLink::Variable& Each : *Listed_) {
    if (!Link_->Z80() && QString::fromStdString(Each.Folder).toLower() != Folder.toLower()) {
      continue;
    }
    Names.insert(LowerName(QString::fromStdString(Each.Name).toStdU32String()));
  }
  return Names;
}

SendSession::Outcome SendSession::Send(const QString& File) {
  Outcome Result;
  if (!Open()) {
    Result.Problem = *Stop_;
    return Result;
  }
  std::vector<CalcLink::Variable> Sent;
  const auto SendAs = [&](const CalcLink::Variable& Own) {
    const QString Folder = QString::fromStdString(Own.Folder);
    const std::u32string Wanted = QString::fromStdString(Own.Name).toStdU32String();
    const std::set<std::u32string> Taken = Held(Folder);
    const bool There = Taken.contains(LowerName(Wanted));
    std::u32string Name = Wanted;
    if (There && Replace_) {
      Result.Names << QStringLiteral("(it replaced %1 on the calculator)")
                          .arg(ShownVariable(Folder, Wanted));
    } else if (There) {
      Name = FreeName(Wanted, Taken, Link_->Z80());
      if (Name.empty()) {
        throw LinkError(LinkError::Kind::Refused, ShownName(File).toStdString(),
                        "the calculator holds all ten pictures (--replace replaces them)");
      }
      Result.Names << QStringLiteral("as %1 (%2 is on the calculator already)")
                          .arg(ShownVariable(Folder, Name), ShownVariable(Folder, Wanted));
    }
    const std::string As = QString::fromStdU32String(Name).toStdString();
    Sent.push_back({Own.Folder, As});
    return As;
  };
  try {
    Link_->SendFile(Local(File), &Result.Acknowledged, SendAs);
    Listed_->insert(Listed_->end(), Sent.begin(), Sent.end());
  } catch (const LinkError& Error) {
    Sent.resize(std::min(Sent.size(), Result.Acknowledged));
    Listed_->insert(Listed_->end(), Sent.begin(), Sent.end());
    Result.Problem = QString::fromUtf8(Error.Reason());
    // A calculator that stopped answering, or a cable gone, would only make every later file
    // wait as long again.
    if (Error.What() == LinkError::Kind::NoAnswer) {
      Stop_ = QStringLiteral("not tried, as the calculator stopped answering");
    } else if (Error.What() == LinkError::Kind::NoCable) {
      Stop_ = QStringLiteral("not tried, as the cable stopped working");
    }
  }
  return Result;
}

bool SendSession::NobodyAnswered() const {
  return NobodyAnswered_;
}

int RunConvertAndSend(const BatchOptions& Options, QTextStream& Out, QTextStream& Err) {
  class ToCalculator final : public PictureSender {
   public:
    ToCalculator(const LinkSettings& Settings, QTextStream& Err, bool Replace)
        : Session(Settings, Err, Replace) {}
    std::set<std::u32string> Held(const QString& Folder) override { return Session.Held(Folder); }
    QString Send(const QString& Path, std::size_t& Acknowledged) override {
      const SendSession::Outcome Sent = Session.Send(Path);
      Acknowledged = Sent.Acknowledged;
      return Sent.Problem;
    }
    SendSession Session;
  };
  LinkSettings Settings = Options.Send.value_or(LinkSettings{});
  if (!Settings.Model) Settings.Model = Options.Model;
  ToCalculator Sender(Settings, Err, Options.Replace);
  const int Status = RunBatch(Options, Out, &Sender);
  return Sender.Session.NobodyAnswered() ? kExitNoCalculator : Status;
}

int RunLinkCommand(const LinkRequest& Command, QTextStream& Out, QTextStream& Err) {
  switch (Command.What) {
    case LinkRequest::Action::Send:
      return Send(Command, Out, Err);
    case LinkRequest::Action::Screenshot:
      return Screenshot(Command, Out, Err);
    case LinkRequest::Action::ToPng:
      break;
  }
  return ToPng(Command, Out);
}

}  // namespace pictrane::capture
