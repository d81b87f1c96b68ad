# What `cmake --install` puts where, and the Debian package CPack builds from it (tools/package.sh).
# Only the program and its window (a program of its own) are installed: the sample generator, the
# benchmark and the tests stay in the build folder.

# Manual pages and the changelog are installed gzip-compressed without name and time stamp, so
# the same sources give the same package. gzip runs at install time: the normal build stays as it is.
function(tavik_install_gzipped source destination)
  get_filename_component(name "${source}" NAME)
  install(CODE "
    set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}\")
    message(STATUS \"Installing: \${folder}/${name}.gz\")
    file(MAKE_DIRECTORY \"\${folder}\")
    execute_process(COMMAND gzip -9nc \"${source}\" OUTPUT_FILE \"\${folder}/${name}.gz\" COMMAND_ERROR_IS_FATAL ANY)
    file(CHMOD \"\${folder}/${name}.gz\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  ")
endfunction()

install(FILES packaging/tavik-migrate.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The window's own icon, 32 by 32 pixels.
install(FILES app/resources/window-icon.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME tavik-migrate.png)
# The program speaks German only, so its German page is the page `man tavik-migrate` finds everywhere.
tavik_install_gzipped(${PROJECT_SOURCE_DIR}/docs/tavik-migrate.1 ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Its top entry's version is the project's; tools/package.sh refuses a package where they differ.
tavik_install_gzipped(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavik-migrate)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tavik-migrate Team <team@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Datenübernahme eines Hotels von Tavik 2.0 nach Tavik 5.0")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Kopiert die Datendatei der älteren Ausgabe über die der neueren (nach einer
Sicherung), ergänzt die MwSt. für Speisen und Getränke, fügt die fehlenden
Datenfelder zu und macht aus den Preiszeilen jeder Reservierung Verzehrzeilen
mit Summen je Steuersatz. Mit Fenster oder als Stapellauf (--batch) für
Skripte; die ältere Datendatei bleibt unverändert.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
