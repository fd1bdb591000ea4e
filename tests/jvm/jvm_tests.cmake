# JVM tests (host only): the bridge against the real JVM in process, and the real Linux launcher
# started end to end beside Java fixtures.
file(GLOB java_fixture_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/java/*.java
     ${CMAKE_SOURCE_DIR}/tests/java/fixture/*.java)
set(java_fixtures_jar ${CMAKE_CURRENT_BINARY_DIR}/java/fixtures.jar)
tavrelo_java_archive(java_fixtures ${java_fixtures_jar} SOURCES ${java_fixture_sources})

add_library(not_a_jvm SHARED ${CMAKE_SOURCE_DIR}/tests/jvm/fixtures/not_a_jvm.c)

tavrelo_test_program(jvm_tests tests/jvm)
target_compile_definitions(jvm_tests PRIVATE
    TAVRELO_LAUNCHER="$<TARGET_FILE:Tavrelo_console>"
    TAVRELO_FIXTURE_JAR="${java_fixtures_jar}"
    TAVRELO_NOT_A_JVM="$<TARGET_FILE:not_a_jvm>"
    TAVRELO_JDK_HOME="${TAVRELO_JDK_HOME}")
add_dependencies(jvm_tests java_fixtures Tavrelo_console not_a_jvm)

# The timer of scripts/bench-launch.sh.
add_executable(launch_timer ${CMAKE_SOURCE_DIR}/tests/bench/launch_timer.cpp)
tavrelo_project_flags(launch_timer)
# The liveness-test cost of scripts/bench-idle.sh.
add_executable(liveness_cost ${CMAKE_SOURCE_DIR}/tests/bench/liveness_cost_posix.cpp)
target_link_libraries(liveness_cost PRIVATE tavrelo_core ${CMAKE_DL_LIBS})
tavrelo_project_flags(liveness_cost)
include(${CMAKE_CURRENT_LIST_DIR}/main_class_fixtures.cmake)
