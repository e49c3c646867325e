# How the product is installed and packaged (included from the top-level list).
#
# The programs live together in one private folder, as the viewer expects:
#   lib/orvane-tv/QtOrvaneTV                      the viewer
#   lib/orvane-tv/lib/libQtOVCoreAPIFramework.so.1  its client library (RPATH $ORIGIN/lib;
#                                                 a folder of its own, so that the
#                                                 package needs no ldconfig run)
#   lib/orvane-tv/OrvaneTV Chat/QtOrvaneTVChat    the chat program
#   lib/orvane-tv/Orvane TV Auth/qtorvanetvoauth  the OAuth helper
#   lib/orvane-tv/tools/orvane-crashreport        the crash reporter
#   bin/orvane-tv -> ../lib/orvane-tv/QtOrvaneTV
# with the desktop entry, the icons, the AppStream metainfo and the documents
# under share/. "cpack" (or the "package" target) makes the Debian package.
include(GNUInstallDirs)
set(ORVANE_PRODUCT_DIR lib/orvane-tv)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set_target_properties(QtOrvaneTV PROPERTIES INSTALL_RPATH "$ORIGIN/lib")
install(TARGETS QtOrvaneTV RUNTIME DESTINATION ${ORVANE_PRODUCT_DIR})
install(TARGETS QtOVCoreAPIFramework LIBRARY DESTINATION ${ORVANE_PRODUCT_DIR}/lib NAMELINK_SKIP)
install(TARGETS QtOrvaneTVChat RUNTIME DESTINATION "${ORVANE_PRODUCT_DIR}/OrvaneTV Chat")
install(TARGETS QtOrvaneTVOAuth RUNTIME DESTINATION "${ORVANE_PRODUCT_DIR}/Orvane TV Auth")
install(TARGETS orvane-crashreport RUNTIME DESTINATION ${ORVANE_PRODUCT_DIR}/tools)

# The command on the path is a link to the viewer, not a wrapper script.
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_out})
file(CREATE_LINK ../lib/orvane-tv/QtOrvaneTV ${packaging_out}/orvane-tv SYMBOLIC)
install(FILES ${packaging_out}/orvane-tv DESTINATION ${CMAKE_INSTALL_BINDIR})

set(app_id tv.orvane.OrvaneTV)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon set, rendered from the one SVG source at build time.
set(icon_files)
foreach(size 16 22 24 32 48 64 128 256 512)
    set(png ${packaging_out}/icons/${size}x${size}/${app_id}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/icons/${size}x${size}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                $<TARGET_FILE:orvane-svgrender> ${CMAKE_CURRENT_LIST_DIR}/orvane-tv.svg ${png} ${size} ${size}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/orvane-tv.svg orvane-svgrender
        COMMENT "Rendering the ${size} px icon")
    list(APPEND icon_files ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/orvane-tv.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${app_id}.svg)

# Debian's documents: the copyright file and the compressed changelog; the manual page.
set(changelog ${packaging_out}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${changelog}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
set(manual ${packaging_out}/orvane-tv.1.gz)
add_custom_command(OUTPUT ${manual}
    COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/orvane-tv.1 > ${manual}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/orvane-tv.1)
install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
add_custom_target(orvane-package-files ALL DEPENDS ${icon_files} ${changelog} ${manual})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane-tv)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane-tv)
set(CPACK_PACKAGE_VERSION 1.0.1)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Orvane <desktop@orvane.tv>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live video monitor for camera encoders in the field")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orvane TV shows the live feeds of your workspaces' camera encoders,
 up to four at a time, with preview snapshots, lets you browse and play back
 their recordings with per-feed colour and delay settings, and brings a text
 chat per workspace.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://app.orvane.tv/)
# Every library is declared, none is bundled: dpkg-shlibdeps reads what the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/QtOVCoreAPIFramework)
# addr2line names the frames of crash reports.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "binutils")
# The secret store keeps the session token; the key ring library loads libsecret when it runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0, gnome-keyring | kwalletmanager")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
