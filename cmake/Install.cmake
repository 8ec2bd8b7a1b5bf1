# Install rules and the Debian package.
include(GNUInstallDirs)

install(TARGETS quorval-setup quorval-watch quorval-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The icon is drawn from the module picture by a small build-time tool. A
# cross-build cannot run what it compiles and takes the copy in the tree, which
# tests/ keeps equal to what the tool draws.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(QUORVAL_ICON ${PROJECT_SOURCE_DIR}/packaging/quorval-setup.svg)
else()
    add_executable(quorval-icon tools/module_icon.cpp geometry/ModulePixels.cpp)
    target_include_directories(quorval-icon PRIVATE ${PROJECT_SOURCE_DIR})
    set(QUORVAL_ICON ${PROJECT_BINARY_DIR}/quorval-setup.svg)
    add_custom_command(OUTPUT ${QUORVAL_ICON}
        COMMAND quorval-icon ${QUORVAL_ICON}
        DEPENDS quorval-icon
        VERBATIM)
    add_custom_target(quorval-setup-icon ALL DEPENDS ${QUORVAL_ICON})
endif()

if(NOT UNIX)
    return()
endif()

install(TARGETS lwlsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/quorval-setup.desktop packaging/quorval-watch.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUORVAL_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages, gzipped as Debian keeps them.
find_program(GZIP_EXECUTABLE gzip)
set(man_pages)
foreach(page quorval-setup.1 quorval-watch.1 quorval-cli.1 lwlsim.1)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
    if(GZIP_EXECUTABLE)
        set(page_file ${PROJECT_BINARY_DIR}/man/${page}.gz)
        add_custom_command(OUTPUT ${page_file}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
            COMMAND ${GZIP_EXECUTABLE} -9nc ${source} > ${page_file}
            DEPENDS ${source})
    else()
        set(page_file ${source})
    endif()
    list(APPEND man_pages ${page_file})
endforeach()
add_custom_target(quorval-man ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian wants the copyright and a changelog of a native package beside the
# documentation, the changelog gzipped like the manual pages.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorval-setup)
configure_file(packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
if(GZIP_EXECUTABLE)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
        COMMAND ${GZIP_EXECUTABLE} -9nc ${PROJECT_BINARY_DIR}/changelog >
                ${PROJECT_BINARY_DIR}/changelog.gz
        DEPENDS ${PROJECT_BINARY_DIR}/changelog)
    add_custom_target(quorval-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})
endif()
install(FILES packaging/copyright DESTINATION ${doc_dir})
# The "Updateing" of the progress window's caption is the program's own word.
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quorval-setup)

# The watch as a service: the unit template, its user (sysusers.d, and made by
# the postinst where systemd-sysusers does not run), the directory of the
# instances' configurations and an example of one.
set(QUORVAL_UNIT_DIR /lib/systemd/system CACHE PATH "Where the watch's systemd unit goes")
install(FILES packaging/quorval-monitor@.service DESTINATION ${QUORVAL_UNIT_DIR})
install(FILES packaging/quorval-setup.sysusers DESTINATION lib/sysusers.d
        RENAME quorval-setup.conf)
install(DIRECTORY DESTINATION /etc/quorval/monitor)
install(FILES packaging/monitor.conf DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorval-setup)
set(CPACK_PACKAGE_VENDOR "QUORVAL")
set(CPACK_PACKAGE_CONTACT "QUORVAL Setup Tool maintainers <maintainers@users.noreply.c-seed-de479a6d.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configures QUORVAL fibre-optic CAN coupler systems over a serial port")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The QUORVAL Setup Tool scans a fibre-optic CAN coupler system (LWL-System)\n"
    "through one serial port, shows every module with its CAN channels and error\n"
    "counters, and programs the system-wide settings into all modules.\n"
    "quorval-cli does the same from the command line; quorval-watch watches the\n"
    "system for hours in a window and logs every round, and as the service\n"
    "quorval-monitor@.service for months, in a file a day; both watches can\n"
    "publish what they see to the plant's MQTT broker; lwlsim plays a simulated\n"
    "system on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, which dpkg-shlibdeps cannot see;
# without them the window does not open.
# The postinst makes the watch service's user with adduser.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst
                                       ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
