// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// UTF-8 inside the program, QString at Qt's boundary.

#include <QString>
#include <string>

namespace pictrane::linux_desktop {

inline QString Q(const std::string& S) {
  return QString::fromUtf8(S.data(), static_cast<qsizetype>(S.size()));
}

inline std::string S(const QString& S) {
  return S.toUtf8().toStdString();
}

}  // namespace pictrane::linux_desktop
