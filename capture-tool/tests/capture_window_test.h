// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The capture window's test class, its tests in capture_window_*.cpp by topic: the converter's
// key script, and the menus, panels and options. Test bitmaps come with the one-bit picture the
// tool must make of them.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "window/CaptureWindow.h"
#include "TestSupport.h"
#include "calc/TiLibraries.h"

class QImage;
class QWindow;

using pictrane::capture::CaptureWindow;
namespace test = pictrane::capture::test;

bool Pattern(int X, int Y);

// A test bitmap: its bytes and the one-bit picture the tool must make of it.
struct Bitmap {
  QByteArray Bytes;
  int Width = 0;
  int Height = 0;
  std::function<bool(int, int)> Dark;
};

QByteArray SavedByQt(const QImage& Image);

enum class Kind { Odd37x23, Screen160x100Rle8, Double320x200, Single1x1, Large640x480, TopDown9x5 };

Bitmap MakeBitmap(Kind Which);
QStringList FilesEndingIn(const QString& Folder, const QStringList& Suffixes);

class CaptureWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void scriptWritesThePicture_data();
  void scriptWritesThePicture();
  void badInputShowsMessageWritesNothingAndNextFileWorks_data();
  void badInputShowsMessageWritesNothingAndNextFileWorks();
  void saveTypeListReachesTi89FromAnyEntry();
  void ctrlF4DismissesAnOpenListAndPanel();
  void fileMenuOrAltF4ClosesTheTool_data();
  void fileMenuOrAltF4ClosesTheTool();
  void menusHaveMnemonicsAndHelpShowsAbout();
  void saveAsOverTheOpenPictureAsksFirst_data();
  void saveAsOverTheOpenPictureAsksFirst();
  void pictureOptionsShowAreSavedAndRemembered();
  void documentedShortcutsChooseTheirMethods_data();
  void documentedShortcutsChooseTheirMethods();
  void openDialogListsTheFolderAndOpensATypedPath();
  void droppedFilesOpenAndSeveralAreConverted_data();
  void droppedFilesOpenAndSeveralAreConverted();
  void recentFilesSurviveARestart();
  void undoThenCtrlSSavesWhatTheBatchWrites();
  void zoomChangesThePreviewsScale_data();
  void zoomChangesThePreviewsScale();
  void modelIsAPictureSettingShownBeforeSaving();

 private:
  QWindow* KeyTarget() const;
  void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
  void Type(const QString& Text);
  void RunFileScript(const QString& Source, const QString& Target, const QString& Name,
                     const QString& Folder);
  QString Put(const QString& Relative, const QByteArray& Bytes);
  void CheckWritten(const QString& Target, const QByteArray& Name, const QByteArray& Folder,
                    const Bitmap& Expected, int Model = CALC_TI89);

  QTemporaryDir Settings_;
  std::unique_ptr<QTemporaryDir> Dir_;
  std::unique_ptr<CaptureWindow> Window_;
};
