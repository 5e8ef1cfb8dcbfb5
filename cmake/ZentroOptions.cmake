# Build options shared by every folder: warnings, sanitizers, fuzzing.
option(ZENTRO_WERROR "Treat compiler warnings as errors" OFF)
option(ZENTRO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZENTRO_TSAN "Build with ThreadSanitizer" OFF)
option(ZENTRO_FUZZ "Build the fuzz targets with libFuzzer (needs clang)" OFF)

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
