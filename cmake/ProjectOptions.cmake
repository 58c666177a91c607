# Warnings as errors for our own targets, and the sanitizer build as a switch.
add_library(kesto_warnings INTERFACE)
target_compile_options(kesto_warnings INTERFACE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
                                                -Wold-style-cast -Wcast-align -Wformat=2)

if(KESTO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
