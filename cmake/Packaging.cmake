# The files an installed Quorvel holds besides the three programs and the help (installed by
# their own folders), and the Debian package CPack makes of them: `./package`, or
# `cmake --build build --target quorvel-package`.

set(QUORVEL_DATA ${PROJECT_SOURCE_DIR}/data)
set(QUORVEL_GEN ${PROJECT_BINARY_DIR}/package-files)
set(QUORVEL_APP_ID io.github.quorvel.Quorvel)

# Manual pages and the Debian changelog go in compressed with gzip -9n (no name, no time
# stamp), as Debian policy asks.
set(QUORVEL_GZIPPED)
function(quorvel_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_GEN}
        COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${source} ${output}
        DEPENDS ${source}
        VERBATIM)
    set(QUORVEL_GZIPPED ${QUORVEL_GZIPPED} ${output} PARENT_SCOPE)
endfunction()

foreach(page quorvel quorvel-cli quorvel-uucode)
    quorvel_gzip(${QUORVEL_DATA}/man/${page}.1 ${QUORVEL_GEN}/${page}.1.gz)
    install(FILES ${QUORVEL_GEN}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
quorvel_gzip(${QUORVEL_DATA}/debian/changelog ${QUORVEL_GEN}/changelog.Debian.gz)
add_custom_target(quorvel_package_files ALL DEPENDS ${QUORVEL_GZIPPED})

install(FILES ${QUORVEL_DATA}/quorvel.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${QUORVEL_APP_ID}.desktop)
install(FILES ${QUORVEL_DATA}/quorvel.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${QUORVEL_DATA}/${QUORVEL_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUORVEL_DATA}/completion/quorvel-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# A user unit: `systemctl --user enable --now quorvel-watch@$(systemd-escape PATH)`.
install(FILES ${QUORVEL_DATA}/quorvel-watch@.service
    DESTINATION lib/systemd/user)
install(FILES ${QUORVEL_DATA}/debian/copyright ${QUORVEL_GEN}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Brindlecove Software")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <quorvel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Usenet file poster with a window and a command line")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvel posts files to Usenet newsgroups over NNTP (plain, TLS or STARTTLS):
each file becomes one or more articles, uuencoded or yEnc-encoded and split
into numbered parts, and an NZB file lists what was posted. All network work
runs as a queue of tasks that is saved and resumed. Named profiles keep the
identity, server, login and group list of each account.
.
The package holds the desktop program (quorvel), the terminal program
(quorvel-cli, which can also watch a folder and post what lands in it) and a
uuencode/yEnc encoder and decoder (quorvel-uucode).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.github.io/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Recovery files are made with par2cmdline when it is there; posting works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS par2)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring | kwalletmanager")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Only what installs: the test programs have no install rules, and the package is made from
# programs already built (./package builds them first).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
