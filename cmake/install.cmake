# Install rules and the Debian package: what a clerk's office installs and starts from its menu.
include(GNUInstallDirs)

set(PEMTARX_MAINTAINER "Sviluppatori Pemtarx <pemtarx@example.org>"
    CACHE STRING "Maintainer field of the Debian package (Nome <indirizzo>)")

set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${PROJECT_BINARY_DIR}/packaging)
set(_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/pemtarx)

install(TARGETS pemtarx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The database tool comes from its own folder and may not be there yet.
if(TARGET pemtarx-db)
  install(TARGETS pemtarx-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${_pkg}/pemtarx.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
# Software centres list the program from its AppStream entry, named by its component id.
install(FILES ${_pkg}/org.example.pemtarx.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${_pkg}/pemtarx.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${_pkg}/Quendrix.ini.esempio DESTINATION ${_doc}/examples)
install(FILES ${_pkg}/copyright DESTINATION ${_doc})
install(FILES ${_pkg}/pemtarx.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME pemtarx)

# Debian policy wants manual pages and the changelog compressed; -n keeps the archive reproducible.
set(_compressi)
foreach(_nome pemtarx.1 pemtarx-db.1 changelog)
  add_custom_command(OUTPUT ${_gen}/${_nome}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${_gen}
                     COMMAND gzip -9nc ${_pkg}/${_nome} > ${_gen}/${_nome}.gz
                     DEPENDS ${_pkg}/${_nome} VERBATIM)
  list(APPEND _compressi ${_gen}/${_nome}.gz)
endforeach()
add_custom_target(pemtarx_packaging ALL DEPENDS ${_compressi})
install(FILES ${_gen}/pemtarx.1.gz ${_gen}/pemtarx-db.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_gen}/changelog.gz DESTINATION ${_doc})

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME pemtarx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pemtarx")
set(CPACK_PACKAGE_CONTACT "${PEMTARX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "registri delle procedure semplificate export della dogana")
# CPack puts the summary in front as the synopsis line; this is only the extended part.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Pemtarx tiene i registri della procedura semplificata di esportazione di
un ufficio doganale: l'impiegato cerca un registro per codice o per
intervallo di codici o descrizioni, e lo inserisce, lo modifica o lo
elimina con le sue righe di intestazione, tutto da tastiera e in italiano.
.
Il pacchetto contiene anche pemtarx-db, che prepara e controlla gli
archivi delle società con i comandi crea (un archivio vuoto), esempio (un
archivio con registri dimostrativi), verifica (il controllo di un archivio,
senza modificarlo), copia (tutti i registri da un file a un server
PostgreSQL o al contrario), importa (gli archivi del vecchio formato),
storico (l'elenco delle scritture dei registri) e ripristina (un registro
com'era in una riga dello storico).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PEMTARX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time as plugins, so shlibdeps cannot see them: the SQLite driver and the X11 platform.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins")
# The driver for an office's store on a PostgreSQL server; the server itself may be another machine.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "postgresql")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB)
include(CPack)
