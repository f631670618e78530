# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack after the install step: the portable zip gets a commented settings.ini beside the
# program, showing where the capture tool's path goes.
if(CPACK_GENERATOR STREQUAL "ZIP")
  file(COPY_FILE "${CPACK_PICTRANE_PORTABLE_SETTINGS}"
       "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/settings.ini")
endif()
