# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules: the programs, their data, desktop integration and documentation. Tests,
# benchmarks and the test recorders are never installed.
include(GNUInstallDirs)
# Documentation under the package's name, not the CMake project's.
set(PICTRANE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/pictrane-converter)

set(PICTRANE_APP_ID io.github.pictrane.Converter)
set(PICTRANE_RES ${PROJECT_SOURCE_DIR}/resources)

if(WIN32)
  # One flat folder, as Windows utilities are laid out; the users' README and the licence as text
  # files, the README with the line ends Notepad expects.
  install(TARGETS pictrane_win RUNTIME DESTINATION .)
  install(FILES ${PICTRANE_DUMMY_BMP} DESTINATION .)
  configure_file(${PICTRANE_RES}/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  return()
endif()

install(TARGETS pictrane-converter pictrane-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Found at ../share/pictrane-converter relative to the executable, so any prefix works.
install(FILES ${PICTRANE_DUMMY_BMP} DESTINATION ${CMAKE_INSTALL_DATADIR}/pictrane-converter)

install(FILES ${PICTRANE_RES}/${PICTRANE_APP_ID}.desktop ${PICTRANE_RES}/io.github.pictrane.Capture.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The metainfo and the man pages state the project's version.
set(PICTRANE_METAINFO ${PROJECT_BINARY_DIR}/metainfo/${PICTRANE_APP_ID}.metainfo.xml)
configure_file(${PICTRANE_RES}/${PICTRANE_APP_ID}.metainfo.xml ${PICTRANE_METAINFO} @ONLY)
install(FILES ${PICTRANE_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES ${PICTRANE_RES}/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${PICTRANE_APP_ID}.png)
endforeach()
install(FILES ${PICTRANE_RES}/icons/scalable.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${PICTRANE_APP_ID}.svg)

# Man pages and the changelog go in compressed, as Debian wants them; gzip -n keeps the bytes the
# same from build to build.
find_program(PICTRANE_GZIP gzip REQUIRED)
set(PICTRANE_PAGES)
foreach(page ${PICTRANE_RES}/pictrane-converter.1 ${PROJECT_SOURCE_DIR}/capture-tool/pictrane-capture.1)
  get_filename_component(name ${page} NAME)
  configure_file(${page} ${PROJECT_BINARY_DIR}/man/${name} @ONLY)
  list(APPEND PICTRANE_PAGES ${PROJECT_BINARY_DIR}/man/${name})
endforeach()
set(PICTRANE_COMPRESSED)
foreach(source ${PICTRANE_PAGES} ${PICTRANE_RES}/changelog)
  get_filename_component(name ${source} NAME)
  set(out ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
    COMMAND ${PICTRANE_GZIP} -9 -n -c ${source} > ${out}
    DEPENDS ${source} VERBATIM)
  list(APPEND PICTRANE_COMPRESSED ${out})
  if(name MATCHES "\\.1$")
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${out} DESTINATION ${PICTRANE_DOCDIR})
  endif()
endforeach()
add_custom_target(pictrane_compressed_docs ALL DEPENDS ${PICTRANE_COMPRESSED})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${PICTRANE_RES}/copyright
        DESTINATION ${PICTRANE_DOCDIR})
# The README's links lead into docs/: the pages and their pictures go beside it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${PICTRANE_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
