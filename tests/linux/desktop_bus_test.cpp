// SPDX-License-Identifier: GPL-3.0-or-later
// The session bus side of a run, on a private bus (run under dbus-run-session): the launcher's
// progress signals as a dock would receive them, and a notification as a server would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QMutex>
#include <QTest>
#include <QThread>
#include <QVariantMap>

#include "linux/DesktopBus.h"
#include "linux/ProgressWindowLinux.h"
#include "window/ProgressReport.h"

using namespace pictrane;
using namespace pictrane::linux_desktop;

namespace {

constexpr int kTimeoutMs = 5000;

// A dock: records every LauncherEntry update it hears, on a connection of its own.
class Dock : public QObject {
  Q_OBJECT
 public:
  Dock() : Bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "dock")) {
    Bus_.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", this,
                 SLOT(Update(QString, QVariantMap)));
  }
  ~Dock() override { QDBusConnection::disconnectFromBus("dock"); }
  struct Heard {
    QString Uri;
    QVariantMap Properties;
  };
  std::vector<Heard> Updates;

 public slots:
  void Update(const QString& Uri, const QVariantMap& Properties) {
    Updates.push_back({Uri, Properties});
  }

 private:
  QDBusConnection Bus_;
};

// A notification server, answering from a thread of its own: the notifier waits for the answer.
class NotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList Calls() {
    QMutexLocker Lock(&Mutex_);
    return Calls_;
  }

 public slots:
  uint Notify(const QString& App, uint, const QString& Icon, const QString& Summary,
              const QString& Body, const QStringList&, const QVariantMap& Hints, int) {
    QMutexLocker Lock(&Mutex_);
    Calls_ << App + "|" + Icon + "|" + Hints.value("desktop-entry").toString() + "|" + Summary +
                  "|" + Body;
    return static_cast<uint>(Calls_.size());
  }

 private:
  QMutex Mutex_;
  QStringList Calls_;
};

TEST(DesktopBusTest, LauncherEntryFollowsTheRun) {
  // Progress shows files finished, sent once per change and not faster than the interval; the
  // last update takes it off the entry. {fraction, visible}
  struct Case {
    int IntervalMs;
    std::vector<std::pair<double, bool>> Expected;
  };
  const Case Cases[] = {
      {0, {{0.0, true}, {0.25, true}, {0.5, true}, {0.75, true}, {-1, false}}},
      {60000, {{0.0, true}, {-1, false}}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.IntervalMs);
    Dock Listener;
    {
      ProgressWindowLinux Window(
          {}, std::make_unique<LauncherEntry>(SessionBusIfAny(), kDesktopEntryId, C.IntervalMs));
      ProgressReport Progress(Window);
      Progress.Begin(4);
      for (std::size_t I = 1; I <= 4; ++I) Progress.Step(I, "p.bmp");
      Progress.End(false);
    }
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Listener.Updates.size() >= C.Expected.size(); }, kTimeoutMs))
        << Listener.Updates.size();
    QTest::qWait(100);  // room for any update too many
    ASSERT_EQ(Listener.Updates.size(), C.Expected.size());
    for (std::size_t I = 0; I < C.Expected.size(); ++I) {
      SCOPED_TRACE(I);
      const Dock::Heard& H = Listener.Updates[I];
      EXPECT_EQ(H.Uri, "application://io.github.pictrane.Converter.desktop");
      EXPECT_EQ(H.Properties.value("progress-visible").toBool(), C.Expected[I].second);
      if (C.Expected[I].second) {
        EXPECT_DOUBLE_EQ(H.Properties.value("progress").toDouble(), C.Expected[I].first);
      }
    }
  }
}

TEST(DesktopBusTest, NotificationReachesTheServerAndNoServerIsNoError) {
  DesktopNotifierLinux Notifier;
  // No server yet: the call comes back with an error that stays inside.
  Notifier.Notify("lost", "");

  QThread Thread;
  NotificationServer Server;
  Server.moveToThread(&Thread);
  Thread.start();
  QDBusConnection Bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "server");
  ASSERT_TRUE(Bus.registerObject("/org/freedesktop/Notifications", &Server,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(Bus.registerService("org.freedesktop.Notifications"));

  Notifier.Notify("3 pictures written to /home/u/Pics", "a.89i, b.89i, c.89i");
  // The icon by the name the package installs, and the entry the server can group it under.
  EXPECT_EQ(Server.Calls(),
            QStringList{"Pictrane Converter|io.github.pictrane.Converter|io.github.pictrane."
                        "Converter|3 pictures written to /home/u/Pics|a.89i, b.89i, c.89i"});
  QDBusConnection::disconnectFromBus("server");
  Thread.quit();
  Thread.wait();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication App(argc, argv);
  if (!SessionBusIfAny()) {
    std::fprintf(stderr, "no session bus: run under dbus-run-session\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}

#include "desktop_bus_test.moc"
