# System installation: `cmake --install` (DESTDIR honoured) places
#   bin/mavlyn
#   share/mavlyn/{mavlyn.ini, mavlynS.ini, mavlyn_Manual.pdf, mavlyn_Anleitung.pdf}
#   share/applications/{mavlyn,mavlyn-config}.desktop
#   share/icons/hicolor/<n>x<n>/apps/mavlyn.png
#   share/man/man1/mavlyn.1.gz
# The manuals, the provider list and the icons are made at build time from the sources in
# doc/, the provider database of mobile-broadband-provider-info and the panel icon's art.
if(MAVLYN_FUZZ)
  return()
endif()
include(GNUInstallDirs)

set(MAVLYN_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/mavlyn)
set(MAVLYN_GEN_DIR ${CMAKE_BINARY_DIR}/share)
set(MAVLYN_PROVIDER_XML /usr/share/mobile-broadband-provider-info/serviceproviders.xml
    CACHE FILEPATH "Provider database from which mavlynS.ini is made")

find_package(Python3 COMPONENTS Interpreter)
find_program(MAVLYN_GROFF groff)
find_program(MAVLYN_GZIP gzip)
find_program(MAVLYN_DESKTOP_VALIDATE desktop-file-validate)

install(TARGETS mavlyn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Its first byte '*' makes every user of a system installation work in ~/mavlyn.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/mavlyn.ini DESTINATION ${MAVLYN_SHARE_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/mavlyn.desktop
              ${CMAKE_SOURCE_DIR}/packaging/mavlyn-config.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Standard settings of the providers.
if(Python3_Interpreter_FOUND AND EXISTS ${MAVLYN_PROVIDER_XML})
  add_custom_command(
    OUTPUT ${MAVLYN_GEN_DIR}/mavlynS.ini
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MAVLYN_GEN_DIR}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make-standard-settings.py
            ${MAVLYN_PROVIDER_XML} ${MAVLYN_GEN_DIR}/mavlynS.ini
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-standard-settings.py ${MAVLYN_PROVIDER_XML}
    COMMENT "Making mavlynS.ini from the provider database"
    VERBATIM)
  add_custom_target(mavlyn_settings ALL DEPENDS ${MAVLYN_GEN_DIR}/mavlynS.ini)
  install(FILES ${MAVLYN_GEN_DIR}/mavlynS.ini DESTINATION ${MAVLYN_SHARE_DIR})
  add_test(NAME package.standard_settings
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/package/standard_settings_test.py
            ${CMAKE_SOURCE_DIR}/scripts/make-standard-settings.py ${MAVLYN_PROVIDER_XML})
  set_tests_properties(package.standard_settings PROPERTIES LABELS "unit;package")
else()
  message(WARNING "mavlynS.ini is not made: needs python3 and ${MAVLYN_PROVIDER_XML} "
                  "(package mobile-broadband-provider-info, see scripts/install-deps)")
endif()

# Manuals, one groff source per language.
if(MAVLYN_GROFF)
  set(MAVLYN_MANUALS)
  foreach(manual mavlyn_Manual:-ms mavlyn_Anleitung:-mde)
    string(REPLACE ":" ";" parts ${manual})
    list(GET parts 0 name)
    list(GET parts 1 lang)
    set(pdf ${MAVLYN_GEN_DIR}/${name}.pdf)
    # -k: the sources are UTF-8; -mde gives German hyphenation and words.
    add_custom_command(
      OUTPUT ${pdf}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${MAVLYN_GEN_DIR}
      COMMAND sh -c "\"$0\" -k $1 -ms -Tpdf -ww \"$2\" > \"$3.tmp\" && mv \"$3.tmp\" \"$3\""
              ${MAVLYN_GROFF} ${lang} ${CMAKE_SOURCE_DIR}/doc/${name}.ms ${pdf}
      DEPENDS ${CMAKE_SOURCE_DIR}/doc/${name}.ms
      COMMENT "Making ${name}.pdf"
      VERBATIM)
    list(APPEND MAVLYN_MANUALS ${pdf})
  endforeach()
  add_custom_target(mavlyn_manuals ALL DEPENDS ${MAVLYN_MANUALS})
  install(FILES ${MAVLYN_MANUALS} DESTINATION ${MAVLYN_SHARE_DIR})
else()
  message(WARNING "The manuals are not made: groff is missing (see scripts/install-deps)")
endif()

# Man page, compressed as Debian installs them.
if(MAVLYN_GZIP)
  add_custom_command(
    OUTPUT ${MAVLYN_GEN_DIR}/mavlyn.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MAVLYN_GEN_DIR}
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${MAVLYN_GZIP}
            ${CMAKE_SOURCE_DIR}/doc/mavlyn.1 ${MAVLYN_GEN_DIR}/mavlyn.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/doc/mavlyn.1
    VERBATIM)
  add_custom_target(mavlyn_manpage ALL DEPENDS ${MAVLYN_GEN_DIR}/mavlyn.1.gz)
  install(FILES ${MAVLYN_GEN_DIR}/mavlyn.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/doc/mavlyn.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Desktop icons drawn from the panel icon's art.
add_executable(iconpng ${CMAKE_SOURCE_DIR}/tools/iconpng/iconpng.cpp)
target_compile_options(iconpng PRIVATE ${MAVLYN_WARNINGS})
target_link_libraries(iconpng PRIVATE mavlyn_core)
add_custom_command(
  OUTPUT ${MAVLYN_GEN_DIR}/icons/48x48/apps/mavlyn.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MAVLYN_GEN_DIR}/icons
  # GLib keeps its type system alive until exit; that is no leak of the tool.
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:iconpng>
          ${MAVLYN_GEN_DIR}/icons
  DEPENDS iconpng
  COMMENT "Drawing the desktop icons"
  VERBATIM)
add_custom_target(mavlyn_icons ALL DEPENDS ${MAVLYN_GEN_DIR}/icons/48x48/apps/mavlyn.png)
install(DIRECTORY ${MAVLYN_GEN_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# Checks of what is installed.
if(MAVLYN_DESKTOP_VALIDATE)
  add_test(NAME package.desktop_entries
    COMMAND ${MAVLYN_DESKTOP_VALIDATE} ${CMAKE_SOURCE_DIR}/packaging/mavlyn.desktop
            ${CMAKE_SOURCE_DIR}/packaging/mavlyn-config.desktop)
  set_tests_properties(package.desktop_entries PROPERTIES LABELS package)
else()
  message(STATUS "desktop-file-validate missing: the desktop entries are not checked")
endif()
add_test(NAME package.install_tree
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/install_tree_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(package.install_tree PROPERTIES LABELS package)
