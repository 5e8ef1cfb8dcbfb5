# Debian packages, one per install component: libzentro2, libzentro2-dev, zentro-board and
# zentro-desktop. Built by scripts/package (cpack in a Release build installed to /usr).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentro)
set(CPACK_PACKAGE_VENDOR "zentro developers")
set(CPACK_PACKAGE_CONTACT "zentro developers <zentro-dev@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Camera-sensor evaluation stack")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies on Debian's libraries come from the binaries themselves; libzentro2, which no
# Debian package provides, is found in the build's library folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})

set(ZENTRO_PACKAGE_COMPONENTS runtime dev board)
if(TARGET qrbtransport OR TARGET zentro_cli)
    list(APPEND ZENTRO_PACKAGE_COMPONENTS desktop)
endif()
set(CPACK_COMPONENTS_ALL ${ZENTRO_PACKAGE_COMPONENTS})

# Every package but the library's own needs exactly this build's library.
set(ZENTRO_RUNTIME_DEPENDENCY "libzentro2 (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzentro2)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "camera-sensor library\n The zentro library opens camera sensors through transports, reads sensor-data\n files, accesses registers and bitfields by name, runs presets and grabs frames.\n Includes sample sensor-data files and presets.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libzentro2-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${ZENTRO_RUNTIME_DEPENDENCY}, libc6-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "camera-sensor library (development files)\n C headers, pkg-config file and CMake package (find_package(zentro2)) for\n programs and plug-ins built on the zentro library.")

set(CPACK_DEBIAN_BOARD_PACKAGE_NAME zentro-board)
set(CPACK_DEBIAN_BOARD_PACKAGE_SECTION video)
set(CPACK_DEBIAN_BOARD_PACKAGE_DEPENDS "${ZENTRO_RUNTIME_DEPENDENCY}")
set(CPACK_COMPONENT_BOARD_DESCRIPTION
    "camera board software: server, board plug-in and tools\n qrb_server serves the board's cameras to the host computer (systemd unit\n qrb_server.service), libcsitransport drives the capture device, v4l_capture\n captures raw frames and qrb_eeprom programs the board's serial number.")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME zentro-desktop)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION video)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "${ZENTRO_RUNTIME_DEPENDENCY}")
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "camera board client: command-line client and network transport\n The zentro command and the plug-in that reaches a board's cameras over the\n network through its server.")

include(CPack)
