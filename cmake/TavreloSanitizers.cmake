# The host-asan tree: every host program, the launcher and the tests alike, built with
# AddressSanitizer and UndefinedBehaviorSanitizer; the first finding ends the program. Included
# before any target is defined, so that every program carries the sanitizers' options.
option(TAVRELO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# Seconds a host test case may take: the sanitized programs run slower, their JVMs most.
set(TAVRELO_HOST_TEST_TIMEOUT 120)
if(TAVRELO_SANITIZE)
    if(WIN32)
        message(FATAL_ERROR "TAVRELO_SANITIZE builds the host tree only")
    endif()
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    set(TAVRELO_HOST_TEST_TIMEOUT 300)
    add_library(tavrelo_sanitizer_options OBJECT ${CMAKE_SOURCE_DIR}/tests/sanitizers/default_options.c)
    target_compile_options(tavrelo_sanitizer_options PRIVATE -Wall -Wextra -Werror)
    link_libraries(tavrelo_sanitizer_options)
endif()
