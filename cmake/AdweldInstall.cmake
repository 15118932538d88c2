# What `cmake --install` puts where, and the Debian package made from it
# (scripts/package). Paths follow GNUInstallDirs, so a prefix of /usr gives
# the layout Debian expects.
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
foreach(tool adwelder adweld-board adweld-run)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
# Private to the programs, loaded by path: no development files, no soname
# links in the public library folder.
install(TARGETS banrun LIBRARY DESTINATION ${ADWELD_COMPANION_INSTALL_DIR} NAMELINK_SKIP
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Manual pages and the changelog go compressed, as Debian keeps them; made
# at configure time (gzip -n: the same bytes on every build).
set(gen ${PROJECT_BINARY_DIR}/generated)
function(adweld_gzip source target)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot compress ${source}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()
foreach(page adweld-board adweld-run)
  adweld_gzip(${pkg}/${page}.1 ${gen}/${page}.1.gz)
  install(FILES ${gen}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
if(TARGET adwelder)
  adweld_gzip(${pkg}/adwelder.1 ${gen}/adwelder.1.gz)
  install(FILES ${gen}/adwelder.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${pkg}/com.example.adwelder.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${pkg}/com.example.adwelder.metainfo.xml ${gen}/com.example.adwelder.metainfo.xml @ONLY)
  install(FILES ${gen}/com.example.adwelder.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 32 48 64 128 256)
    if(size EQUAL 32)
      set(icon ${PROJECT_SOURCE_DIR}/resources/icons/adwelder.png)
    else()
      set(icon ${PROJECT_SOURCE_DIR}/resources/icons/adwelder${size}.png)
    endif()
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME adwelder.png)
  endforeach()
endif()

# What Debian asks of every package's documentation folder.
configure_file(${pkg}/changelog ${gen}/changelog @ONLY)
adweld_gzip(${gen}/changelog ${gen}/changelog.gz)
install(FILES ${pkg}/copyright ${gen}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/adwelder)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME adwelder)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Adwelder <adwelder@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "post classified ads to many web bulletin boards at once")
set(CPACK_PACKAGE_DESCRIPTION
  "Adwelder keeps ads and a base of board description files and posts the\n\
ticked ads to the ticked boards in one run, by hand or at a set time,\n\
directly or through a proxy. It counts successes and failures and writes\n\
result pages, a log and a report for every ad. An add-board wizard fetches a\n\
board's page, captures a form submission and stores a new board file.\n\
adweld-board and adweld-run work on board files and post without the window.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.example.com/adwelder/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's Russian texts for Qt's own dialogs; the program runs without.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
