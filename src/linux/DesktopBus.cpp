// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/DesktopBus.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>

#include "pictrane/Product.h"

namespace pictrane::linux_desktop {

std::optional<QDBusConnection> SessionBusIfAny() {
  const bool Configured = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
                          (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
                           QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/bus"));
  if (!Configured) return std::nullopt;
  QDBusConnection Bus = QDBusConnection::sessionBus();
  if (!Bus.isConnected()) return std::nullopt;
  return Bus;
}

LauncherEntry::LauncherEntry(std::optional<QDBusConnection> Bus, const QString& DesktopId,
                             int MinIntervalMs)
    : Bus_(std::move(Bus)),
      AppUri_("application://" + DesktopId + ".desktop"),
      MinIntervalMs_(MinIntervalMs) {}

void LauncherEntry::Show(double Fraction) {
  Fraction = std::clamp(Fraction, 0.0, 1.0);
  const int Percent = static_cast<int>(Fraction * 100);
  if (Percent == Percent_) return;
  if (Percent_ >= 0 && SinceSent_.isValid() && SinceSent_.elapsed() < MinIntervalMs_) return;
  Percent_ = Percent;
  SinceSent_.start();
  Update({{"progress", Fraction}, {"progress-visible", true}});
}

void LauncherEntry::Hide() {
  Percent_ = -1;
  Update({{"progress-visible", false}});
}

void LauncherEntry::Update(const QVariantMap& Properties) {
  if (!Bus_) return;
  // Docks listen to the signal from any object path; this one is the program's own.
  QDBusMessage Signal = QDBusMessage::createSignal("/io/github/pictrane/Converter",
                                                   "com.canonical.Unity.LauncherEntry", "Update");
  Signal << AppUri_ << Properties;
  Bus_->send(Signal);
}

DesktopNotifierLinux::DesktopNotifierLinux(std::optional<QDBusConnection> Bus, int TimeoutMs)
    : Bus_(std::move(Bus)), TimeoutMs_(TimeoutMs) {}

void DesktopNotifierLinux::Notify(const std::string& Summary, const std::string& Body) {
  if (!Bus_) return;
  QDBusMessage Call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                     "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
  // The icon by its installed name; the hint lets the server group it under the program's entry.
  const QString Entry = QString::fromLatin1(kDesktopEntryId);
  Call << QString::fromUtf8(kAppTitle) << 0u << Entry << QString::fromStdString(Summary)
       << QString::fromStdString(Body) << QStringList()
       << QVariantMap{{"desktop-entry", QVariant(Entry)}} << -1;
  // The program may end right after a run; waiting (briefly) for the answer makes sure the
  // call has left. No server answers at once with an error, which is ignored like any other.
  Bus_->call(Call, QDBus::Block, TimeoutMs_);
}

}  // namespace pictrane::linux_desktop
