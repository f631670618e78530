// pictrane-capture: the stand-in capture tool. Started as
//     pictrane-capture "<placeholder bitmap>"
// it shows the picture maximised, takes the keyboard focus and then follows the converter's keys
// (see CaptureWindow.h), or a person's mouse.

#include <QApplication>
#include <QScreen>
#include <QStringList>

#include "CaptureWindow.h"

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pictrane Capture"));

  pictrane::capture::CaptureWindow Window;
  // An unquoted path with blanks arrives in pieces; put them back together.
  const QStringList Arguments = QApplication::arguments().mid(1);
  if (!Arguments.isEmpty()) Window.OpenPicture(Arguments.join(QLatin1Char(' ')));

  // Without a window manager nothing maximises or focuses the window, so size it to the screen
  // and ask for the focus ourselves.
  if (QScreen* Screen = QGuiApplication::primaryScreen()) {
    Window.setGeometry(Screen->availableGeometry());
  }
  Window.showMaximized();
  Window.raise();
  Window.activateWindow();
  return QApplication::exec();
}
