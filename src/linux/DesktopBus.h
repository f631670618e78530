// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The desktop's session bus: the launcher's progress (com.canonical.Unity.LauncherEntry) and
// desktop notifications (org.freedesktop.Notifications). Without a session bus both do nothing.

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QString>
#include <optional>

#include "linux/TimingsLinux.h"
#include "platform/Progress.h"

namespace pictrane::linux_desktop {

// The desktop entry id the launcher knows the program by.
inline constexpr const char* kDesktopEntryId = "io.github.pictrane.Converter";

// The session bus when one is configured; never starts one (libdbus would otherwise autolaunch
// a private bus under X11 when no address is set, which no dock or notification server watches).
std::optional<QDBusConnection> SessionBusIfAny();

// Progress on the program's launcher or dock entry, through the LauncherEntry "Update" signal.
// Signals are queued, never waited for: a missing or slow dock costs nothing.
class LauncherEntry {
 public:
  // Updates come at most every MinIntervalMs (the first one at once).
  explicit LauncherEntry(std::optional<QDBusConnection> Bus = SessionBusIfAny(),
                         const QString& DesktopId = QString::fromLatin1(kDesktopEntryId),
                         int MinIntervalMs = kDockUpdateMs);
  // Shows Fraction (0 to 1) on the entry. Only a change of a whole percent is sent, and not more
  // often than a dock would redraw it: each signal costs the run about a hundred microseconds.
  void Show(double Fraction);
  void Hide();

 private:
  void Update(const QVariantMap& Properties);
  std::optional<QDBusConnection> Bus_;
  QString AppUri_;
  int MinIntervalMs_;
  int Percent_ = -1;  // as last sent; -1 when hidden
  QElapsedTimer SinceSent_;
};

// Notifications through org.freedesktop.Notifications, under the program's name. No server:
// nothing. A server that does not answer holds the caller for at most TimeoutMs.
class DesktopNotifierLinux final : public DesktopNotifier {
 public:
  explicit DesktopNotifierLinux(std::optional<QDBusConnection> Bus = SessionBusIfAny(),
                                int TimeoutMs = kNotifyReplyWaitMs);
  void Notify(const std::string& Summary, const std::string& Body) override;

 private:
  std::optional<QDBusConnection> Bus_;
  int TimeoutMs_;
};

}  // namespace pictrane::linux_desktop
