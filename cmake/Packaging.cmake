# SPDX-License-Identifier: GPL-3.0-or-later
# Install layout, desktop integration and the Debian package (make package).
#
#   bin/qob
#   bin/qob-editor -> ../lib/qob-tandrix/qob-editor
#   lib/qob-tandrix/{qob-editor,Default.QOB}   the editor reads Default.QOB beside its executable
#   share/applications, share/metainfo, share/mime/packages, share/icons/hicolor, share/man/man1

include(GNUInstallDirs)

set(QOB_PROJECT_URL "https://qobtandrix.org" CACHE STRING "Home page of the project")
set(QOB_SCREENSHOT_URL ""
  CACHE STRING "Where software centres fetch the editor's screenshot; empty: docs/screenshot.png under QOB_PROJECT_URL")
# Derived on every run, so a changed QOB_PROJECT_URL also moves the screenshot.
set(QOB_SCREENSHOT_IMAGE "${QOB_SCREENSHOT_URL}")
if(NOT QOB_SCREENSHOT_IMAGE)
  set(QOB_SCREENSHOT_IMAGE "${QOB_PROJECT_URL}/docs/screenshot.png")
endif()
set(QOB_MAINTAINER "QOB-TANDRIX Editor developers <maintainers@qobtandrix.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(QOB_APP_ID org.qobtandrix.Editor)
set(QOB_PROGRAM_DIR "lib/qob-tandrix")
set(QOB_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS qob RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qob-editor RUNTIME DESTINATION ${QOB_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/Default.QOB DESTINATION ${QOB_PROGRAM_DIR})

# A relative link, so the tree works under any prefix and when unpacked elsewhere; the editor
# finds its folder through the resolved executable path, not through argv[0].
file(RELATIVE_PATH qob_editor_link_target
  /${CMAKE_INSTALL_BINDIR} /${QOB_PROGRAM_DIR}/qob-editor)
file(MAKE_DIRECTORY ${QOB_PACKAGING_DIR}/bin)
file(CREATE_LINK ${qob_editor_link_target} ${QOB_PACKAGING_DIR}/bin/qob-editor SYMBOLIC)
install(FILES ${QOB_PACKAGING_DIR}/bin/qob-editor DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CMAKE_SOURCE_DIR}/packaging/${QOB_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${CMAKE_SOURCE_DIR}/packaging/${QOB_APP_ID}.metainfo.xml.in
  ${QOB_PACKAGING_DIR}/${QOB_APP_ID}.metainfo.xml @ONLY)
install(FILES ${QOB_PACKAGING_DIR}/${QOB_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qob-tandrix.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qob-tandrix)

# Icons: the vector original plus bitmaps drawn from it at build time.
add_executable(qob-render-icon packaging/render-icon.cpp)
target_link_libraries(qob-render-icon PRIVATE Qt6::Gui Qt6::Svg)
set_target_properties(qob-render-icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QOB_PACKAGING_DIR})
qob_warnings(qob-render-icon)

install(FILES ${CMAKE_SOURCE_DIR}/resources/icon.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${QOB_APP_ID}.svg)
set(qob_icon_pngs)
foreach(side 32 64 128 256)
  set(png ${QOB_PACKAGING_DIR}/icons/${side}x${side}/${QOB_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QOB_PACKAGING_DIR}/icons/${side}x${side}
    COMMAND qob-render-icon ${CMAKE_SOURCE_DIR}/resources/icon.svg ${side} ${png}
    DEPENDS qob-render-icon ${CMAKE_SOURCE_DIR}/resources/icon.svg
    COMMENT "Rendering the ${side}x${side} icon"
    VERBATIM)
  list(APPEND qob_icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps)
endforeach()

# Manual pages and the changelog go in compressed, with no time stamp in the gzip header, as
# Debian wants. Sets `out` to the compressed file in `dir`.
function(qob_gzipped_copy source dir out)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${name}
    COMMAND gzip -9nf ${dir}/${name}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  set(${out} ${dir}/${name}.gz PARENT_SCOPE)
endfunction()

set(qob_man_pages)
foreach(page qob.1 qob-editor.1)
  qob_gzipped_copy(${CMAKE_SOURCE_DIR}/man/${page} ${QOB_PACKAGING_DIR}/man gz)
  list(APPEND qob_man_pages ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# Debian wants the changelog beside the copyright.
qob_gzipped_copy(${CMAKE_SOURCE_DIR}/packaging/changelog ${QOB_PACKAGING_DIR}/doc qob_changelog)
install(FILES ${qob_changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qob-tandrix)

add_custom_target(qob_packaging_files ALL
  DEPENDS ${qob_icon_pngs} ${qob_man_pages} ${qob_changelog})

# The Debian package: make package, or cpack in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qob-tandrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The QOB-TANDRIX Editor developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "preset editor for the QOB-TANDRIX MIDI control surface")
# Package tools show the long description line for line: each stays under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
  "Edits the presets of the QOB-TANDRIX MIDI control surface on a picture of\n"
  "the surface itself and sends them to one of its eight preset slots as\n"
  "System Exclusive messages, through the ALSA sequencer or a JACK server.\n"
  "Presets are kept as .qob text files.\n"
  "\n"
  "The package also holds qob, a command-line tool that checks, converts and\n"
  "sends presets.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QOB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QOB_PROJECT_URL})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binaries link come from dpkg-shlibdeps; Qt's xcb and offscreen platform
# plugins ship inside libqt6gui6 on Debian 12, so they need no entry of their own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name at run time, which dpkg-shlibdeps cannot see: the panel prints in Liberation
# Sans and the dialogs ask for Times New Roman, which fontconfig maps to Liberation Serif.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# The ALSA sequencer needs nothing installed; a JACK server is the other way to reach the surface.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2")
include(CPack)
