# Cross-compiling for the aarch64 board with Debian's cross toolchain
# (crossbuild-essential-arm64) and the arm64 development packages installed through
# multiarch (dpkg --add-architecture arm64): their libraries lie in /usr/lib/aarch64-linux-gnu,
# their headers in /usr/include. Programs built here run under qemu-aarch64-static (tests,
# test discovery).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ZENTRO_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ZENTRO_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ZENTRO_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ZENTRO_CROSS_TRIPLET})

# Target libraries and packages only from the cross root and the arm64 multiarch folders;
# build tools (moc, pkg-config) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZENTRO_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu
    /usr/lib/x86_64-linux-gnu/cmake)

# pkg-config answers for arm64.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${ZENTRO_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The emulated programs must use ONE C library: the loader and libc of the arm64 multiarch
# packages (libc6:arm64, pulled in by the development packages) when they are installed,
# else the cross toolchain's. The cross toolchain's loader with the multiarch libc (another
# build of the same version) hangs the first thread or fork a program makes.
find_program(ZENTRO_QEMU_AARCH64 qemu-aarch64-static)
if(ZENTRO_QEMU_AARCH64)
    if(EXISTS /lib/ld-linux-aarch64.so.1)
        set(ZENTRO_QEMU_ROOT /)
    else()
        set(ZENTRO_QEMU_ROOT /usr/${ZENTRO_CROSS_TRIPLET})
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENTRO_QEMU_AARCH64} -L ${ZENTRO_QEMU_ROOT})
endif()
