// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "PixelConversion.h"

class QAction;
class QActionGroup;
class QMenuBar;

namespace pictrane::capture {

// The picture options and the view's "Show source", kept in the tool's own per-user settings
// ($XDG_CONFIG_HOME/pictrane-converter/pictrane-capture.conf) and used by every save.
struct ToolOptions {
  PictureOptions Picture;
  bool ShowSource = true;
};

ToolOptions LoadToolOptions();
void SaveToolOptions(const ToolOptions& Options);
// From now on, options changed in the menu hold for this window session and are not stored: a
// session started with a picture on its command line is the converter's (or a file manager's),
// and a key that reached it by mistake must not change every later session's pictures.
void KeepOptionsForTheSession();
// Where the options are kept, as the settings library reports it.
QString ToolSettingsPath();

// The "Picture" menu: the options as radio items, steps and toggles. Its shortcuts use Ctrl with
// digits and arrows, keys the converter never types. Every change is stored at once and then
// reported through OnChange (stored only where KeepOptionsForTheSession was not called).
class PictureMenu : public QObject {
 public:
  // Loads the stored options and adds the menu to Bar.
  PictureMenu(QMenuBar* Bar, QObject* Parent);

  const ToolOptions& Options() const { return Options_; }
  // Applies, stores and shows new picture options, then calls OnChange.
  void SetPicture(const PictureOptions& Picture);
  // The options in words, with the size of the area they fill.
  QString Summary(PictureSize Area) const;

  std::function<void()> OnChange;

 private:
  void Build(QMenuBar* Bar);
  void Sync();
  void Store();

  ToolOptions Options_;
  QActionGroup* MethodGroup_ = nullptr;
  QActionGroup* ScaleGroup_ = nullptr;
  QActionGroup* LevelsGroup_ = nullptr;
  QActionGroup* FitGroup_ = nullptr;
  QActionGroup* AreaGroup_ = nullptr;
  QAction* InvertAction_ = nullptr;
  QAction* SourceAction_ = nullptr;
};

}  // namespace pictrane::capture
