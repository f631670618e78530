// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/DesktopLinux.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "linux/DesktopBus.h"
#include "linux/QtText.h"

namespace pictrane::linux_desktop {

QIcon ProgramIcon() {
  QIcon Built;
  for (int Size : {16, 32, 48, 64, 128, 256})
    Built.addFile(QString(":/icons/%1.png").arg(Size), QSize(Size, Size));
  return QIcon::fromTheme(QString::fromLatin1(kDesktopEntryId), Built);
}

std::optional<std::string> FolderDialogLinux::BrowseForFolder(WindowHandle,
                                                              const std::string& Prompt,
                                                              const std::string& StartFolder) {
  const QString Start =
      !StartFolder.empty() && QFileInfo(Q(StartFolder)).isDir() ? Q(StartFolder) : QDir::homePath();
  const QString Folder =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(Prompt), Start);
  if (Folder.isEmpty()) return std::nullopt;
  return S(Folder);
}

}  // namespace pictrane::linux_desktop
