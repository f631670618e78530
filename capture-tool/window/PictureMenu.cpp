// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/PictureMenu.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QUndoStack>
#include <string>
#include <string_view>

#include "picture/PictureOptions.h"

namespace pictrane::capture {

namespace {

// Steps of the lighter/darker, contrast and threshold commands.
constexpr int kToneStep = 10;
constexpr int kLevelStep = 8;

bool StoreOptions = true;

QSettings ToolSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                   QStringLiteral("pictrane-converter"), QStringLiteral("pictrane-capture"));
}

QString Latin(std::string_view Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

class SettingChange : public QUndoCommand {
 public:
  SettingChange(PictureMenu& Menu, const PictureSetting& Before, const PictureSetting& After)
      : QUndoCommand(QStringLiteral("picture setting")),
        Menu_(Menu),
        Before_(Before),
        After_(After) {}
  void undo() override { Menu_.Apply(Before_); }
  void redo() override { Menu_.Apply(After_); }

 private:
  PictureMenu& Menu_;
  PictureSetting Before_, After_;
};

}  // namespace

QString ModelName(CalcModelId Model) {
  return QString::fromStdString(MenuNameOf(Model));
}

ToolOptions LoadToolOptions() {
  QSettings Settings = ToolSettings();
  PictureOptions Loaded;
  const auto Text = [&](const char* Key) {
    return Settings.value(QLatin1String(Key)).toString().toStdString();
  };
  Loaded.Method = ParseToneMethod(Text("picture/tone")).value_or(Loaded.Method);
  Loaded.Scale = ParseToneScale(Text("picture/scale")).value_or(Loaded.Scale);
  Loaded.Levels = ParseLevelsMode(Text("picture/levels")).value_or(Loaded.Levels);
  Loaded.Fit = ParseSizing(Text("picture/sizing")).value_or(Loaded.Fit);
  Loaded.Area = ParseTargetArea(Text("picture/area")).value_or(Loaded.Area);
  Loaded.Level = Settings.value(QStringLiteral("picture/threshold"), Loaded.Level).toInt();
  Loaded.Brightness = Settings.value(QStringLiteral("picture/brightness"), 0).toInt();
  Loaded.Contrast = Settings.value(QStringLiteral("picture/contrast"), 0).toInt();
  Loaded.Invert = Settings.value(QStringLiteral("picture/invert"), false).toBool();
  return {Clamped(Loaded), Settings.value(QStringLiteral("view/source"), true).toBool()};
}

void SaveToolOptions(const ToolOptions& Options) {
  QSettings Settings = ToolSettings();
  const PictureOptions& Picture = Options.Picture;
  Settings.setValue(QStringLiteral("picture/tone"), Latin(NameOf(Picture.Method)));
  Settings.setValue(QStringLiteral("picture/scale"), Latin(NameOf(Picture.Scale)));
  Settings.setValue(QStringLiteral("picture/levels"), Latin(NameOf(Picture.Levels)));
  Settings.setValue(QStringLiteral("picture/sizing"), Latin(NameOf(Picture.Fit)));
  Settings.setValue(QStringLiteral("picture/area"), Latin(NameOf(Picture.Area)));
  Settings.setValue(QStringLiteral("picture/threshold"), Picture.Level);
  Settings.setValue(QStringLiteral("picture/brightness"), Picture.Brightness);
  Settings.setValue(QStringLiteral("picture/contrast"), Picture.Contrast);
  Settings.setValue(QStringLiteral("picture/invert"), Picture.Invert);
  Settings.setValue(QStringLiteral("view/source"), Options.ShowSource);
}

void KeepOptionsForTheSession() {
  StoreOptions = false;
}

bool OptionsAreStored() {
  return StoreOptions;
}

QString ToolSettingsPath() {
  return ToolSettings().fileName();
}

PictureMenu::PictureMenu(QMenuBar* Bar, QObject* Parent)
    : QObject(Parent), Options_(LoadToolOptions()), Undo_(new QUndoStack(this)) {
  Build(Bar);
}

void PictureMenu::SetPicture(const PictureOptions& Picture) {
  Change({Clamped(Picture), Options_.Model});
}

void PictureMenu::SetModel(CalcModelId Model) {
  Change({Options_.Picture, Model});
}

void PictureMenu::Change(const PictureSetting& After) {
  const PictureSetting Before{Options_.Picture, Options_.Model};
  if (After.Picture == Before.Picture && After.Model == Before.Model) {
    Sync();  // a radio item or toggle clicked without a change still shows the setting
    return;
  }
  Undo_->push(new SettingChange(*this, Before, After));
}

void PictureMenu::Apply(const PictureSetting& Setting) {
  Options_.Picture = Setting.Picture;
  Options_.Model = Setting.Model;
  Store();
}

void PictureMenu::Store() {
  if (StoreOptions) SaveToolOptions(Options_);
  Sync();
  if (OnChange) OnChange();
}

QString PictureMenu::Summary(PictureSize Area) const {
  const PictureOptions& Picture = Options_.Picture;
  const QString Into = QStringLiteral("%1 into %2 %3 x %4")
                           .arg(Latin(NameOf(Picture.Fit)), Picture.Area == TargetArea::Graph
                                                                ? QStringLiteral("graph screen")
                                                                : QStringLiteral("screen"))
                           .arg(Area.Width)
                           .arg(Area.Height);
  // The tone settings make the one-bit pictures; a colour picture has its own dither.
  if (IsColour(Options_.Model)) return ModelName(Options_.Model) + QStringLiteral(": ") + Into;
  return ModelName(Options_.Model) + QStringLiteral(": ") +
         QStringLiteral("%1, threshold %2, brightness %3, contrast %4%5; %6 into %7 %8 x %9")
             .arg(QStringLiteral("%1 (%2 tone, levels %3)")
                      .arg(Latin(RowOf(DitherFamily(), Picture.Method).Label)
                               .remove(QLatin1Char('&')),
                           Latin(NameOf(Picture.Scale)), Latin(NameOf(Picture.Levels))))
             .arg(Picture.Level)
             .arg(Picture.Brightness)
             .arg(Picture.Contrast)
             .arg(Picture.Invert ? QStringLiteral(", inverted") : QString(), Into);
}

void PictureMenu::Build(QMenuBar* Bar) {
  QMenu* Menu = Bar->addMenu(QStringLiteral("&Picture"));
  const auto Change = [this](const std::function<void(PictureOptions&)>& Edit) {
    PictureOptions Next = Options_.Picture;
    Edit(Next);
    SetPicture(Next);
  };
  const auto AddRadio = [&](QActionGroup* Group, const QString& Label, const QKeySequence& Key,
                            const std::function<void(PictureOptions&)>& Edit) {
    QAction* Action = Menu->addAction(Label);
    Action->setCheckable(true);
    Action->setShortcut(Key);
    Group->addAction(Action);
    connect(Action, &QAction::triggered, this, [Change, Edit] { Change(Edit); });
  };
  const auto AddStep = [&](const QString& Label, const QKeySequence& Key,
                           const std::function<void(PictureOptions&)>& Edit) {
    QAction* Action = Menu->addAction(Label);
    Action->setShortcut(Key);
    connect(Action, &QAction::triggered, this, [Change, Edit] { Change(Edit); });
  };

  // A radio item for every row of Family, setting the options' Field.
  const auto AddFamily = [&](const auto& Family, auto Field) {
    auto* Group = new QActionGroup(this);
    for (const auto& Row : Family.Rows) {
      AddRadio(Group, Latin(Row.Label),
               QKeySequence(Latin(Row.Shortcut), QKeySequence::PortableText),
               [Field, Id = Row.Id](PictureOptions& O) { O.*Field = Id; });
    }
    return Group;
  };
  MethodGroup_ = AddFamily(DitherFamily(), &PictureOptions::Method);
  Menu->addSeparator();
  ScaleGroup_ = AddFamily(ToneFamily(), &PictureOptions::Scale);
  Menu->addSeparator();
  LevelsGroup_ = AddFamily(LevelsFamily(), &PictureOptions::Levels);
  Menu->addSeparator();
  AddStep(QStringLiteral("&Lighter"), QKeySequence(Qt::CTRL | Qt::Key_Up),
          [](PictureOptions& O) { O.Brightness += kToneStep; });
  AddStep(QStringLiteral("&Darker"), QKeySequence(Qt::CTRL | Qt::Key_Down),
          [](PictureOptions& O) { O.Brightness -= kToneStep; });
  AddStep(QStringLiteral("More &contrast"), QKeySequence(Qt::CTRL | Qt::Key_Right),
          [](PictureOptions& O) { O.Contrast += kToneStep; });
  AddStep(QStringLiteral("Less c&ontrast"), QKeySequence(Qt::CTRL | Qt::Key_Left),
          [](PictureOptions& O) { O.Contrast -= kToneStep; });
  AddStep(QStringLiteral("&Raise threshold"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up),
          [](PictureOptions& O) { O.Level += kLevelStep; });
  AddStep(QStringLiteral("Lo&wer threshold"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down),
          [](PictureOptions& O) { O.Level -= kLevelStep; });
  InvertAction_ = Menu->addAction(QStringLiteral("&Invert"));
  InvertAction_->setCheckable(true);
  InvertAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  connect(InvertAction_, &QAction::triggered, this,
          [Change](bool On) { Change([On](PictureOptions& O) { O.Invert = On; }); });

  Menu->addSeparator();
  FitGroup_ = AddFamily(FitFamily(), &PictureOptions::Fit);
  Menu->addSeparator();
  AreaGroup_ = AddFamily(AreaFamily(), &PictureOptions::Area);

  Menu->addSeparator();
  ModelGroup_ = new QActionGroup(this);
  QMenu* Models = Menu->addMenu(QStringLiteral("Calculator &model"));
  for (const CalcModelInfo& Row : CalcModels()) {
    const CalcModelId Model = Row.Id;
    QAction* Action = Models->addAction(
        QStringLiteral("&%1 %2").arg(Models->actions().size() + 1).arg(ModelName(Model)));
    Action->setCheckable(true);
    ModelGroup_->addAction(Action);
    connect(Action, &QAction::triggered, this, [this, Model] { SetModel(Model); });
  }

  Menu->addSeparator();
  SourceAction_ = Menu->addAction(QStringLiteral("Show source &beside the result"));
  SourceAction_->setCheckable(true);
  connect(SourceAction_, &QAction::triggered, this, [this](bool On) {
    Options_.ShowSource = On;
    Store();
  });
  AddStep(QStringLiteral("Rese&t picture options"), QKeySequence(Qt::CTRL | Qt::Key_0),
          [](PictureOptions& O) { O = PictureOptions{}; });
  Sync();
}

void PictureMenu::Sync() {
  const PictureOptions& Picture = Options_.Picture;
  const auto Check = [](QActionGroup* Group, const auto& Family, auto Id) {
    Group->actions()[static_cast<qsizetype>(PlaceOf(Family, Id))]->setChecked(true);
  };
  Check(MethodGroup_, DitherFamily(), Picture.Method);
  Check(ScaleGroup_, ToneFamily(), Picture.Scale);
  Check(LevelsGroup_, LevelsFamily(), Picture.Levels);
  Check(FitGroup_, FitFamily(), Picture.Fit);
  Check(AreaGroup_, AreaFamily(), Picture.Area);
  ModelGroup_->actions()[static_cast<qsizetype>(Options_.Model)]->setChecked(true);
  InvertAction_->setChecked(Picture.Invert);
  SourceAction_->setChecked(Options_.ShowSource);
}

}  // namespace pictrane::capture
