# The JDK of the build machine: its jni.h for every tree (the launcher never links a JVM, it
# loads one at run time) and javac/jar for the Java fixtures and the demo. JAVA_HOME wins when
# it is set; otherwise the distribution's default runtime.
set(TAVRELO_JDK_HINTS)
if(DEFINED ENV{JAVA_HOME})
    list(APPEND TAVRELO_JDK_HINTS $ENV{JAVA_HOME})
endif()
list(APPEND TAVRELO_JDK_HINTS /usr/lib/jvm/default-java)

find_path(TAVRELO_JNI_INCLUDE jni.h PATHS ${TAVRELO_JDK_HINTS} PATH_SUFFIXES include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TAVRELO_JNI_INCLUDE)
    message(FATAL_ERROR "jni.h not found: install a JDK (scripts/setup.sh does) or set JAVA_HOME")
endif()
get_filename_component(TAVRELO_JDK_HOME ${TAVRELO_JNI_INCLUDE} DIRECTORY)
find_program(TAVRELO_JAVAC javac PATHS ${TAVRELO_JDK_HOME}/bin NO_DEFAULT_PATH)
find_program(TAVRELO_JAR jar PATHS ${TAVRELO_JDK_HOME}/bin NO_DEFAULT_PATH)

# jni.h with the machine-dependent part of the platform the target runs on: the host JDK's own,
# or our Win32 one for the Windows trees.
function(tavrelo_use_jni target)
    if(WIN32)
        set(machine ${CMAKE_SOURCE_DIR}/bridge/jni/win)
    else()
        set(machine ${TAVRELO_JNI_INCLUDE}/linux)
    endif()
    target_include_directories(${target} SYSTEM PUBLIC ${machine} ${TAVRELO_JNI_INCLUDE})
endfunction()

# Compiles Java sources to release 8 bytecode (it runs on every runtime) and packs them into
# `jar_file`. Extra arguments after SOURCES are the sources; MAIN_CLASS sets the manifest entry.
function(tavrelo_java_archive target jar_file)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "MAIN_CLASS" "SOURCES")
    set(classes ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${target}.classes)
    get_filename_component(jar_directory ${jar_file} DIRECTORY)
    set(entry)
    if(ARG_MAIN_CLASS)
        set(entry e)
    endif()
    add_custom_command(
        OUTPUT ${jar_file}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${classes}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${classes} ${jar_directory}
        COMMAND ${TAVRELO_JAVAC} --release 8 -nowarn -encoding UTF-8 -d ${classes} ${ARG_SOURCES}
        COMMAND ${TAVRELO_JAR} cf${entry} ${jar_file} ${ARG_MAIN_CLASS} -C ${classes} .
        DEPENDS ${ARG_SOURCES}
        COMMENT "Java archive ${target}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${jar_file})
endfunction()
