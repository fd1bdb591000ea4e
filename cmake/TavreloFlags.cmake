# Warnings are faults on every tree. Windows deliverables are small, static and stripped.
function(tavrelo_project_flags target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wno-missing-field-initializers)
    if(TAVRELO_FUZZ)
        target_compile_options(${target} PRIVATE -Wno-unused-private-field) # members only Windows uses
    endif()
    if(WIN32)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                     _WIN32_WINNT=0x0601)
    endif()
endfunction()

if(WIN32)
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-static -Wl,--gc-sections)
endif()

# A deliverable program: static, size-optimised and stripped on Windows, with our own small
# terminate handler and throw helpers in place of the library's heavy ones.
function(tavrelo_deliverable target)
    tavrelo_project_flags(${target})
    if(WIN32)
        target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/apps/common/terminate_handler_win.cpp
                                         ${CMAKE_SOURCE_DIR}/apps/common/library_throws_win.cpp)
        target_compile_options(${target} PRIVATE -Os)
        target_link_options(${target} PRIVATE -s -municode)
    endif()
endfunction()
