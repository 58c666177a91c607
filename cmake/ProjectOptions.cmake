# Warnings as errors for our own targets, and the sanitizer build as a switch.
add_library(kesto_warnings INTERFACE)
target_compile_options(kesto_warnings INTERFACE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
                                                -Wold-style-cast -Wcast-align -Wformat=2
                                                -Wmissing-declarations)
# GCC 12 at -O3 reports "literal" + std::string as an overlapping memcpy (GCC bug 105329);
# the warning stays visible but does not fail a Release build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    target_compile_options(kesto_warnings INTERFACE -Wno-error=restrict)
endif()

if(KESTO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(KESTO_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# The fuzz build instruments everything for libFuzzer; the targets add the fuzzer main.
if(KESTO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "KESTO_FUZZ needs clang (CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The test command's builds compile each target's sources in a few batches (CMake's unity
# build): the Qt and test framework headers are then parsed once a batch, not once a file.
# clang-tidy reads a separate, file-by-file configuration. In a batch, a class of one
# file's anonymous namespace is not "the main file's", which GCC would report as
# subobject linkage; each batch is still one translation unit of its own.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(kesto_warnings INTERFACE -Wno-subobject-linkage)
endif()
