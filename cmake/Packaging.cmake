# SPDX-License-Identifier: GPL-3.0-or-later
# Packages: a .deb and a relocatable .tar.gz on Linux; a portable .zip and an NSIS installer for
# Windows. `cpack` in the build folder makes them all for that build.
set(CPACK_PACKAGE_NAME pictrane-converter)
set(CPACK_PACKAGE_VENDOR "Pictrane developers")
set(CPACK_PACKAGE_CONTACT "Pictrane developers <pictrane@users.noreply.github.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turn a folder of bitmaps into TI-89 picture files")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/pictrane/pictrane-converter")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Pictrane Converter")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
# Settings a generator needs for itself (see PackageOptions.cmake.in).
configure_file(${PROJECT_SOURCE_DIR}/cmake/PackageOptions.cmake.in
               ${PROJECT_BINARY_DIR}/PackageOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/PackageOptions.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_PACKAGE_FILE_NAME "pictrane-converter-${PROJECT_VERSION}-win32")
  # The zip carries a commented settings.ini in its tree; the installer lays the same file only
  # when the user has none, outside the files its uninstaller removes.
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/portable-settings.cmake)
  set(CPACK_PICTRANE_PORTABLE_SETTINGS ${PROJECT_SOURCE_DIR}/resources/settings-portable.ini)

  set(CPACK_NSIS_PACKAGE_NAME "Pictrane Converter")
  # One key for every version, so that a newer installer finds the older one's uninstaller.
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Pictrane Converter")
  set(PICTRANE_USER_FOLDER "Pictrane Converter")
  set(PICTRANE_SETTINGS_SOURCE ${CPACK_PICTRANE_PORTABLE_SETTINGS})
  # Included by the installer script, whose own escaping rules they thereby avoid.
  configure_file(${PROJECT_SOURCE_DIR}/resources/installer-extras.nsh.in
                 ${PROJECT_BINARY_DIR}/nsis/installer-extras.nsh @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/uninstaller-extras.nsh.in
                 ${PROJECT_BINARY_DIR}/nsis/uninstaller-extras.nsh @ONLY)
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!include '${PROJECT_BINARY_DIR}/nsis/installer-extras.nsh'")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
      "!include '${PROJECT_BINARY_DIR}/nsis/uninstaller-extras.nsh'")
  set(CPACK_NSIS_DISPLAY_NAME "Pictrane Converter ${PROJECT_VERSION}")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "Pictrane Converter.exe")
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/pictrane.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/pictrane.ico)
  set(CPACK_NSIS_MODIFY_PATH OFF)
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
  # Start-menu shortcut: executable name without ".exe", then the shortcut's text; the program
  # sits in the installation folder itself, not in a bin folder under it.
  set(CPACK_PACKAGE_EXECUTABLES "Pictrane Converter" "Pictrane Converter")
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  # The 64-bit test build (mingw-x86_64.cmake) gets a 64-bit installer, which 64-bit Wine runs.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  endif()
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_FILE_NAME "pictrane-converter-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")

  set(CPACK_DEBIAN_PACKAGE_NAME pictrane-converter)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
  # The summary above is the synopsis; this is the extended description below it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Pictrane Converter converts every bitmap of a folder into a TI-89 picture\n\
file (.89i) by driving a capture tool with synthesised keystrokes. The\n\
package brings its own capture tool, pictrane-capture, which fits each\n\
bitmap to the calculator's screen in black and white.")
  # Tarball: a folder holding bin/ and share/, usable wherever it is unpacked.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
endif()

include(CPack)
