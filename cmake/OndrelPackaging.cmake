# Install rules and the release packages CPack makes from them. On Linux: the ondrel command, the
# module with its registration records, the man page and bash completion (written from the
# command's own help), the copyright file and changelog, packaged as a .deb. For Windows: the .aex
# with the README and the licence as a zip, and the installer that NSIS makes from
# packaging/windows/OndrelShapes.nsi. Every name carries PROJECT_VERSION; the module reports its
# own version, which its registration records fix.

# The Debian release this machine runs (12, 13, ...), from os-release.
set(ONDREL_DEBIAN_RELEASE "")
if(EXISTS /etc/os-release)
    file(STRINGS /etc/os-release os_version_id REGEX "^VERSION_ID=")
    string(REGEX MATCH "[0-9]+" ONDREL_DEBIAN_RELEASE "${os_version_id}")
endif()
set(ONDREL_MAINTAINER "OndrelShapes maintainers <maintainers@ondrel.org>")
# The team by its name alone: the Windows installer's publisher.
string(REGEX REPLACE " *<.*" "" ONDREL_PUBLISHER "${ONDREL_MAINTAINER}")
set(ONDREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(ONDREL_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

# The copyright line, as LICENSE gives it: "2026 OndrelShapes".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright ([^\n]*[^.\n])" copyright_line "${licence}")
set(ONDREL_COPYRIGHT "${CMAKE_MATCH_1}")

set(CPACK_PACKAGE_NAME OndrelShapes)
set(CPACK_PACKAGE_VENDOR OndrelShapes)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ONDREL_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
    install(TARGETS OndrelShapes LIBRARY DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME OndrelShapes-${PROJECT_VERSION}-windows-x64)
    include(CPack)

    # The installer: the .aex into the host's plug-in folder, an uninstaller in Add/Remove
    # Programs. Built on request (`cmake --build --target windows_setup`), as make dist does.
    find_program(ONDREL_MAKENSIS makensis)
    if(ONDREL_MAKENSIS)
        # The licence page's box wraps lines itself, narrower than LICENSE's: a paragraph a line.
        string(REGEX REPLACE "([^\n])\n([^\n])" "\\1 \\2" licence_page "${licence}")
        string(REPLACE "\n" "\r\n" licence_page "${licence_page}")
        set(licence_page_file ${ONDREL_PACKAGING_OUT}/LICENCE-page.txt)
        file(WRITE ${licence_page_file} "${licence_page}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
        set(setup ${ONDREL_PACKAGING_OUT}/OndrelShapes-${PROJECT_VERSION}-windows-x64-setup.exe)
        add_custom_command(OUTPUT ${setup}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${ONDREL_PACKAGING_OUT}
            COMMAND ${ONDREL_MAKENSIS} -V2 -WX -DVERSION=${PROJECT_VERSION}
                    "-DCOPYRIGHT=${ONDREL_COPYRIGHT}"
                    "-DPUBLISHER=${ONDREL_PUBLISHER}"
                    -DMODULE=$<TARGET_FILE:OndrelShapes> -DLICENCE=${licence_page_file}
                    -DOUTFILE=${setup} ${ONDREL_PACKAGING_DIR}/windows/OndrelShapes.nsi
            DEPENDS OndrelShapes ${ONDREL_PACKAGING_DIR}/windows/OndrelShapes.nsi
                    ${licence_page_file}
            COMMENT "Making the Windows installer with NSIS"
            VERBATIM)
        add_custom_target(windows_setup DEPENDS ${setup})
    endif()
    return()
endif()
if(APPLE OR NOT TARGET ondrel)
    return()
endif()

install(TARGETS ondrel RUNTIME DESTINATION ${ONDREL_INSTALL_BINDIR})
# The host opens the module and reads the records beside it; neither is run, so neither is
# executable.
install(TARGETS OndrelShapes LIBRARY DESTINATION ${ONDREL_INSTALL_MODULEDIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES $<TARGET_FILE_DIR:OndrelShapes>/OndrelShapes.pipl
    DESTINATION ${ONDREL_INSTALL_MODULEDIR})

# The release's date: the last commit's, so that the same sources give the same man page and
# changelog (SOURCE_DATE_EPOCH, when set, wins; outside a checkout, today).
execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(commit_time AND NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
    string(TIMESTAMP ONDREL_RELEASE_DAY "%Y-%m-%d" UTC)
    string(TIMESTAMP ONDREL_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)
    unset(ENV{SOURCE_DATE_EPOCH})
else()
    string(TIMESTAMP ONDREL_RELEASE_DAY "%Y-%m-%d" UTC)
    string(TIMESTAMP ONDREL_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()

# The man page and the completion's tables from the built command's --help. The module's
# default is named as the installed command finds it, not by the build folder's path.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(man ${ONDREL_PACKAGING_OUT}/ondrel.1)
set(completion ${ONDREL_PACKAGING_OUT}/ondrel)
add_custom_command(OUTPUT ${man}.gz ${completion}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            ${Python3_EXECUTABLE} ${ONDREL_PACKAGING_DIR}/help_pages.py $<TARGET_FILE:ondrel>
            --version ${PROJECT_VERSION} --date ${ONDREL_RELEASE_DAY} --man ${man}
            --completion-template ${ONDREL_PACKAGING_DIR}/bash-completion/ondrel.in
            --completion ${completion} --installed-module ${ONDREL_MODULE_FROM_INSTALLED_COMMAND}
    COMMAND gzip -9nkf ${man}
    DEPENDS ondrel ${ONDREL_PACKAGING_DIR}/help_pages.py
            ${ONDREL_PACKAGING_DIR}/bash-completion/ondrel.in
    COMMENT "Writing ondrel's man page and bash completion from its help"
    VERBATIM)
add_custom_target(ondrel_help_pages ALL DEPENDS ${man}.gz ${completion})
install(FILES ${man}.gz DESTINATION share/man/man1)
install(FILES ${completion} DESTINATION share/bash-completion/completions)

# The copyright file (machine-readable, the licence's text from LICENSE) and the changelog, which
# is the package's own (changelog.Debian): its version carries a Debian revision.
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " ONDREL_LICENCE_TEXT " ${licence}")
configure_file(${ONDREL_PACKAGING_DIR}/debian/copyright.in ${ONDREL_PACKAGING_OUT}/copyright @ONLY)
configure_file(${ONDREL_PACKAGING_DIR}/debian/changelog.in ${ONDREL_PACKAGING_OUT}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nkf ${ONDREL_PACKAGING_OUT}/changelog.Debian COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${ONDREL_PACKAGING_OUT}/copyright ${ONDREL_PACKAGING_OUT}/changelog.Debian.gz
    DESTINATION share/doc/ondrel)

# The Debian package, built for the release it is built on, whose libraries its Depends name (from
# the binaries, by dpkg-shlibdeps): ondrel_<version>-1~deb<release>_amd64.deb. The release in the
# Debian revision keeps the two releases' packages apart and orders them as apt upgrades: 1~deb12
# before 1~deb13.
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1~deb${ONDREL_DEBIAN_RELEASE})
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME ondrel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ONDREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "render the OndrelShapes effects without the host compositor")
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The ondrel command runs the four OndrelShapes effects (circle, line,"
    "rectangle and triangle) through an offline host that plays the compositing"
    "application's part. It lists the effects and their parameters, renders a"
    "frame or an animated sequence to PNG, TIFF or OpenEXR at 8, 16 or 32 bits"
    "per channel, sends a sequence to a Slurm cluster, and serves a page with the"
    "effects' controls and a live preview in a browser.")
include(CPack)
