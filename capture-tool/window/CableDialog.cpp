// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/CableDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSettings>
#include <QSpinBox>
#include <array>

#include "calc/Models.h"
#include "window/PictureMenu.h"

namespace pictrane::capture {

namespace {

struct CableEntry {
  std::optional<CableKind> Kind;
  const char* Stored;  // as the settings file and --cable name it
  // %1: the models with a USB link of their own, %2: every linked model, %3: the first, then
  // SilverLink.
  const char* Label;
};

constexpr std::array<CableEntry, 5> kCables = {{
    {std::nullopt, "auto", "USB, found automatically: %3"},
    {CableKind::Usb, "usb", "%1: the calculator's own cable"},
    {CableKind::SilverLink, "silverlink", "SilverLink (TI-GRAPH LINK USB): %2"},
    {CableKind::Serial, "serial", "serial (the grey TI-GRAPH LINK): any of these models"},
    {CableKind::Virtual, "vti", "Virtual cable (an emulator on this computer)"},
}};

// Entry's label with the models the table links to, the Z80 family first; the models linking
// by DirectUSB alone take no other cable.
QString LabelOf(const CableEntry& Entry) {
  QStringList Usb;
  QStringList Linked;
  for (const LinkFamily Family : {LinkFamily::DbusZ80, LinkFamily::Dbus68k, LinkFamily::Dusb}) {
    for (const CalcModelInfo& Row : CalcModels()) {
      if (Row.Link != Family) continue;
      if (Row.UsbName != nullptr) Usb << QLatin1String(Row.UsbName) + QStringLiteral(" (USB)");
      if (Family == LinkFamily::Dusb) continue;
      Linked << QLatin1String(Row.Name);
      if (Row.SharedWith != nullptr) Linked << QLatin1String(Row.SharedWith);
    }
  }
  return QString::fromLatin1(Entry.Label)
      .replace(QStringLiteral("%1"), Usb.join(QStringLiteral(" or ")))
      .replace(QStringLiteral("%2"), Linked.join(QStringLiteral(", ")))
      .replace(QStringLiteral("%3"),
               Usb.join(QStringLiteral(", ")) + QStringLiteral(" or SilverLink"));
}

const QString kCableKey = QStringLiteral("link/cable");
const QString kPortKey = QStringLiteral("link/port");

// The same file the picture options live in.
QSettings Stored() {
  return QSettings(ToolSettingsPath(), QSettings::NativeFormat);
}

}  // namespace

LinkSettings LoadLinkChoice() {
  const QSettings Settings = Stored();
  LinkSettings Link;
  Link.Cable = ParseCable(Settings.value(kCableKey).toString().toStdString());
  const int Port = Settings.value(kPortKey, 0).toInt();
  Link.Port = Port >= 1 && Port <= 4 ? Port : 0;
  return Link;
}

QString SaveLinkChoice(const LinkSettings& Link) {
  QSettings Settings = Stored();
  for (const CableEntry& Each : kCables) {
    if (Each.Kind == Link.Cable) Settings.setValue(kCableKey, QLatin1String(Each.Stored));
  }
  Settings.setValue(kPortKey, Link.Port);
  Settings.sync();
  if (Settings.status() == QSettings::NoError) return {};
  return QStringLiteral(
             "The link chosen is used until the window closes, but it cannot be remembered: %1 "
             "%2.")
      .arg(ToolSettingsPath(), Settings.status() == QSettings::AccessError
                                   ? QStringLiteral("cannot be written")
                                   : QStringLiteral("is not a settings file"));
}

CableDialog::CableDialog(QWidget* Parent, const LinkSettings& Current)
    : QDialog(Parent), Current_(Current) {
  setWindowTitle(QStringLiteral("Calculator link"));
  auto* Layout = new QFormLayout(this);
  Cable_ = new QComboBox(this);
  for (const CableEntry& Each : kCables) {
    Cable_->addItem(LabelOf(Each), QLatin1String(Each.Stored));
    if (Each.Kind == Current.Cable) Cable_->setCurrentIndex(Cable_->count() - 1);
  }
  Port_ = new QSpinBox(this);
  Port_->setRange(0, 4);
  Port_->setSpecialValueText(QStringLiteral("Default"));
  Port_->setValue(Current.Port);
  Port_->setToolTip(
      QStringLiteral("1 to 4. Default: 1; on the virtual cable 2, this program's end."));
  Layout->addRow(QStringLiteral("&Cable:"), Cable_);
  Layout->addRow(QStringLiteral("&Port:"), Port_);
  auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Layout->addRow(Buttons);
}

LinkSettings CableDialog::Chosen() const {
  LinkSettings Link = Current_;
  Link.Cable = kCables[static_cast<std::size_t>(Cable_->currentIndex())].Kind;
  Link.Port = Port_->value();
  return Link;
}

}  // namespace pictrane::capture
