// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "calc/CalcFile.h"
#include "picture/PixelConversion.h"

class QAction;
class QActionGroup;
class QMenuBar;
class QUndoStack;

namespace pictrane::capture {

// The picture options and the view's "Show source", kept in the tool's own per-user settings
// ($XDG_CONFIG_HOME/pictrane-converter/pictrane-capture.conf) and used by every save.
// The model is not kept: a new run starts at the first model, whose type the converter's keys
// choose in Save As (SaveTypes.h), so a model left chosen cannot turn its pictures into another's.
struct ToolOptions {
  PictureOptions Picture;
  bool ShowSource = true;
  CalcModelId Model = CalcModelId::Ti89;
};

// Every picture setting, as one undo step restores it.
struct PictureSetting {
  PictureOptions Picture;
  CalcModelId Model = CalcModelId::Ti89;
};

// The model as the menus and the status bar name it.
QString ModelName(CalcModelId Model);

ToolOptions LoadToolOptions();
void SaveToolOptions(const ToolOptions& Options);
// From now on, options changed in the menu hold for this window session and are not stored: a
// session started with a picture on its command line is the converter's (or a file manager's),
// and a key that reached it by mistake must not change every later session's pictures.
void KeepOptionsForTheSession();
// Whether what the window remembers (options, recent files) goes to the settings file.
bool OptionsAreStored();
// Where the options are kept, as the settings library reports it.
QString ToolSettingsPath();

// The "Picture" menu: the options as radio items, steps and toggles. Its shortcuts use Ctrl with
// digits and arrows, keys the converter never types. Every change is one step of the undo stack
// (Ctrl+Z, Ctrl+Shift+Z), is stored at once (only where KeepOptionsForTheSession was not called)
// and then reported through OnChange.
class PictureMenu : public QObject {
 public:
  // Loads the stored options and adds the menu to Bar.
  PictureMenu(QMenuBar* Bar, QObject* Parent);

  const ToolOptions& Options() const { return Options_; }
  // Applies, stores and shows new picture options, then calls OnChange.
  void SetPicture(const PictureOptions& Picture);
  // Chooses the model whose picture the view shows and Save As proposes, as an undo step.
  void SetModel(CalcModelId Model);
  // Applies Setting without an undo step (the undo stack's own).
  void Apply(const PictureSetting& Setting);
  QUndoStack& Undo() { return *Undo_; }
  // The model and options in words, with the size of the area they fill.
  QString Summary(PictureSize Area) const;

  std::function<void()> OnChange;

 private:
  void Build(QMenuBar* Bar);
  void Sync();
  void Store();
  void Change(const PictureSetting& After);

  ToolOptions Options_;
  QActionGroup* MethodGroup_ = nullptr;
  QActionGroup* ScaleGroup_ = nullptr;
  QActionGroup* LevelsGroup_ = nullptr;
  QActionGroup* FitGroup_ = nullptr;
  QActionGroup* AreaGroup_ = nullptr;
  QActionGroup* ModelGroup_ = nullptr;
  QUndoStack* Undo_ = nullptr;
  QAction* InvertAction_ = nullptr;
  QAction* SourceAction_ = nullptr;
};

}  // namespace pictrane::capture
