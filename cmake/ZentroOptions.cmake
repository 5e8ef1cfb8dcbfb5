# Build options shared by every folder: warnings, sanitizers, fuzzing.
option(ZENTRO_WERROR "Treat compiler warnings as errors" OFF)
option(ZENTRO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZENTRO_TSAN "Build with ThreadSanitizer" OFF)
option(ZENTRO_FUZZ "Build the fuzz targets with libFuzzer (needs clang)" OFF)
option(ZENTRO_BUILD_SERVER "Build the board server (needs Qt 5 for the target)" ON)

add_compile_options(-Wall -Wextra)
if(ZENTRO_WERROR)
    add_compile_options(-Werror)
endif()

if(ZENTRO_SANITIZE)
    set(ZENTRO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${ZENTRO_SANITIZER_FLAGS})
    add_link_options(${ZENTRO_SANITIZER_FLAGS})
endif()

if(ZENTRO_TSAN)
    if(ZENTRO_SANITIZE)
        message(FATAL_ERROR "ZENTRO_TSAN and ZENTRO_SANITIZE cannot be combined")
    endif()
    add_compile_options(-fsanitize=thread)
    add_link_options(-fsanitize=thread)
endif()

if(ZENTRO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "ZENTRO_FUZZ needs clang: configure with CC=clang-14 CXX=clang++-14")
    endif()
    # Instrument everything for coverage; only the fuzz targets link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Installed layout, shared by every folder's install rules. Plug-ins live in a folder of
# their own below the library directory, sample data below the data directory; programs
# find both relative to their own location, so an installed tree can be moved.
include(GNUInstallDirs)
set(ZENTRO_INSTALL_PLUGINDIR "${CMAKE_INSTALL_LIBDIR}/zentro2/plugins")
set(ZENTRO_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/zentro")
# Install components, one per package: runtime (libzentro2), dev (headers, pkg-config,
# CMake package), board (server, board plug-in, tools, service unit), desktop (network
# plug-in, command-line client).

# Compiled-in source paths (debug information, __FILE__ in log lines) are relative to the
# source tree, so installed binaries name neither the source nor the build folder. The build
# folder's mapping is given last so that it wins when the build folder lies inside the source.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/="
    "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
