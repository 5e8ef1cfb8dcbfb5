# What `cmake --install` lays out, component by component (one Debian package each):
#   runtime  libzentro2 with its SONAME link; sample sensor data, presets and the family list
#            below ZENTRO_INSTALL_DATADIR, which is laid out as a library home
#   dev      public headers in include/zentro, the link-time name, zentro2.pc, the CMake package
#   board    qrb_server, libcsitransport, v4l_capture, qrb_eeprom, the home's Plugins link and
#            the service unit
#   desktop  libqrbtransport and the zentro client (their folders install them)
# Every path is relative to the prefix, so an installed tree still works after it is moved.
include(CMakePackageConfigHelpers)

set(ZENTRO_INSTALL_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}/zentro")
set(ZENTRO_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/zentro2")
set(ZENTRO_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
set(ZENTRO_INSTALL_UNITDIR "lib/systemd/system")

# zentro_relative_path(<out> <from> <to>): the path from the prefix-relative folder @from to
# @to, for RUNPATHs and links that must not name the prefix.
function(zentro_relative_path out from to)
    file(RELATIVE_PATH path "/prefix/${from}" "/prefix/${to}")
    string(REGEX REPLACE "/$" "" path "${path}")
    if(path STREQUAL "")
        set(path ".")
    endif()
    set(${out} "${path}" PARENT_SCOPE)
endfunction()

# zentro_install_rpath(<target> <folder>): the target, installed in @folder, finds libzentro2
# relative to itself.
function(zentro_install_rpath target folder)
    if(TARGET ${target})
        zentro_relative_path(toLibrary "${folder}" "${CMAKE_INSTALL_LIBDIR}")
        set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${toLibrary}")
    endif()
endfunction()

# ---- runtime and dev: the library ----
install(TARGETS zentro2 EXPORT zentro2Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
file(GLOB ZENTRO_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/zentro/include/*.h)
install(FILES ${ZENTRO_PUBLIC_HEADERS} DESTINATION ${ZENTRO_INSTALL_INCLUDEDIR} COMPONENT dev)

# The library home: sensor_data, apps_data and bin/familyList.txt, as in the source tree.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sensor_data ${PROJECT_SOURCE_DIR}/apps_data
    DESTINATION ${ZENTRO_INSTALL_DATADIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/bin/familyList.txt
    DESTINATION ${ZENTRO_INSTALL_DATADIR}/bin COMPONENT runtime)

zentro_relative_path(ZENTRO_PC_TO_PREFIX "${ZENTRO_INSTALL_PKGCONFIGDIR}" "")
configure_file(${PROJECT_SOURCE_DIR}/packaging/zentro2.pc.in
    ${PROJECT_BINARY_DIR}/packaging/zentro2.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zentro2.pc
    DESTINATION ${ZENTRO_INSTALL_PKGCONFIGDIR} COMPONENT dev)

install(EXPORT zentro2Targets NAMESPACE zentro2:: DESTINATION ${ZENTRO_INSTALL_CMAKEDIR}
    COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/zentro2Config.cmake.in
    ${PROJECT_BINARY_DIR}/packaging/zentro2Config.cmake
    INSTALL_DESTINATION ${ZENTRO_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/zentro2ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zentro2Config.cmake
    ${PROJECT_BINARY_DIR}/packaging/zentro2ConfigVersion.cmake
    DESTINATION ${ZENTRO_INSTALL_CMAKEDIR} COMPONENT dev)

# ---- board: server, board plug-in, tools, the home's Plugins link and the service ----
if(TARGET csitransport)
    install(TARGETS csitransport LIBRARY DESTINATION ${ZENTRO_INSTALL_PLUGINDIR} COMPONENT board)
endif()
foreach(program qrb_server v4l_capture qrb_eeprom)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT board)
    endif()
endforeach()
zentro_install_rpath(qrb_server ${CMAKE_INSTALL_BINDIR})

# The server opens <home>/Plugins/libcsitransport.so: the installed home links its Plugins to
# the plug-in folder, relatively, so the link survives a moved tree.
zentro_relative_path(ZENTRO_HOME_TO_PLUGINS "${ZENTRO_INSTALL_DATADIR}" "${ZENTRO_INSTALL_PLUGINDIR}")
file(CREATE_LINK ${ZENTRO_HOME_TO_PLUGINS} ${PROJECT_BINARY_DIR}/packaging/Plugins SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/packaging/Plugins DESTINATION ${ZENTRO_INSTALL_DATADIR}
    COMPONENT board)

# The unit names the programs by absolute path, so it is written at install time with the
# prefix given then (cmake --install --prefix, or the packages' /usr).
install(CODE "
    set(ZENTRO_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(ZENTRO_HOME \"\${CMAKE_INSTALL_PREFIX}/${ZENTRO_INSTALL_DATADIR}\")
    set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZENTRO_INSTALL_UNITDIR}/qrb_server.service\")
    message(STATUS \"Installing: \${unit}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/qrb_server.service.in\" \"\${unit}\" @ONLY)
" COMPONENT board)

# ---- desktop: the targets come with their own install rules; they find the library too ----
zentro_install_rpath(zentro_cli ${CMAKE_INSTALL_BINDIR})
zentro_install_rpath(qrbtransport ${ZENTRO_INSTALL_PLUGINDIR})

# What the packages hold, to build without the tests (scripts/package).
add_custom_target(zentro_packaged)
foreach(target zentro2 csitransport qrb_server v4l_capture qrb_eeprom qrbtransport zentro_cli)
    if(TARGET ${target})
        add_dependencies(zentro_packaged ${target})
    endif()
endforeach()

include(${PROJECT_SOURCE_DIR}/packaging/ZentroPackages.cmake)

if(BUILD_TESTING)
    add_subdirectory(${PROJECT_SOURCE_DIR}/packaging/tests ${PROJECT_BINARY_DIR}/packaging/tests)
endif()
