# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a settings.ini naming the stand-in capture tool, unless the user already has one.
if(NOT EXISTS "${SETTINGS}")
  file(WRITE "${SETTINGS}" "[Settings]\r\nScreenCapturePath=${TOOL}\r\n")
endif()
