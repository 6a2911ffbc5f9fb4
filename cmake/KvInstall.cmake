# The installed tree: the two programs in bin/, their data files in share/kvscalecrafter/, and what
# a desktop needs to offer the window (menu entry, icons, AppStream metainfo), the manual pages and
# the shell completion. `cmake --install build --prefix DIR` puts it anywhere; the programs find their
# data files relative to their own folder, so the tree may be moved as a whole.

set(KV_DIST ${PROJECT_SOURCE_DIR}/dist)

install(TARGETS kvscale kvscalecrafter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Res ${PROJECT_SOURCE_DIR}/SAMPLES ${PROJECT_SOURCE_DIR}/help
        DESTINATION ${KV_INSTALL_DATA_DIR})

install(FILES ${KV_DIST}/${KV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KV_DIST}/${KV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/resources/icons/kvscalecrafter.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${KV_APP_ID}.svg)
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
  install(FILES ${KV_DIST}/icons/kvscalecrafter-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${KV_APP_ID}.png)
endforeach()
install(FILES ${KV_DIST}/bash-completion/kvscale DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages are installed compressed, as Debian wants them; -n keeps the bytes free of a date.
find_program(KV_GZIP gzip REQUIRED)
set(man_pages)
foreach(page IN ITEMS kvscale.1 kvscalecrafter.1)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND ${KV_GZIP} -9n -c ${KV_DIST}/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
                     DEPENDS ${KV_DIST}/man/${page} VERBATIM)
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(kv_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian's package also carries the copyright notice and the change log.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
                   COMMAND ${KV_GZIP} -9n -c ${KV_DIST}/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
                   DEPENDS ${KV_DIST}/changelog VERBATIM)
add_custom_target(kv_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${KV_DIST}/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kvscalecrafter)
