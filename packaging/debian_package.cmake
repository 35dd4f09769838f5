# The Debian package, built by `make package` with CPack's DEB generator:
# tollix_<version>_<arch>.deb with both programs, icons, .desktop file, man pages, the
# relay's systemd unit and settings, and the administrator's example defaults.

# Files only the package installs: `make install` must neither overwrite an
# administrator's files in /etc nor put a unit outside its prefix.
set(TOLLIX_PACKAGE_DIR ${CMAKE_CURRENT_LIST_DIR})
configure_file(${TOLLIX_PACKAGE_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/packaging/changelog -c > changelog.gz
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
add_custom_target(package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)

install(FILES ${TOLLIX_PACKAGE_DIR}/tollix-relay.service DESTINATION /lib/systemd/system
        COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${TOLLIX_PACKAGE_DIR}/tollix-relay.sysusers DESTINATION /usr/lib/sysusers.d
        RENAME tollix-relay.conf COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${TOLLIX_PACKAGE_DIR}/Tollix.conf DESTINATION /etc/xdg/Quardell
        COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${TOLLIX_PACKAGE_DIR}/tollix-relay.conf DESTINATION /etc/tollix-relay/Quardell
        RENAME Tollix.conf COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${TOLLIX_PACKAGE_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tollix COMPONENT system EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tollix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tollix maintainers <tollix@quardell.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serverless instant messenger for the local network")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Tollix lists the people on the local network who run it, grouped by their"
    "group name, with their presence (online or away), and exchanges short texts"
    "with them. There is no server and no account: every copy announces its user"
    "on an IP multicast group, and copies in other subnets are joined through UDP"
    "tunnels."
    ""
    "This package holds the desktop program, the terminal peer tollix-cli for"
    "servers, bots and scripts, and tollix-relay.service, a sandboxed relay"
    "between subnets.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified system)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from dpkg-shlibdeps; Qt's plugins are loaded at run time, so name them: the
# xcb platform, the SVG icons and pictures, and the SQLite driver of the history store.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TOLLIX_PACKAGE_DIR}/conffiles ${TOLLIX_PACKAGE_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
