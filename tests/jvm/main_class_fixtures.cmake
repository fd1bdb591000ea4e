# Archives of the main-class tests, packed from one compilation:
#   manifest.jar  manifest.Chosen, named by its manifest's Main-Class
#   plain.jar     com.x.Demo, a manifest without Main-Class
#   other.jar     other.Demo and other.Main
set(main_class_dir ${CMAKE_CURRENT_BINARY_DIR}/java/mainclass)
set(main_class_classes ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/main_class_archives.classes)
file(GLOB_RECURSE main_class_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/java/mainclass/*.java)
set(main_class_jars ${main_class_dir}/manifest.jar ${main_class_dir}/plain.jar ${main_class_dir}/other.jar)
add_custom_command(
    OUTPUT ${main_class_jars}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${main_class_classes}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${main_class_classes} ${main_class_dir}
    COMMAND ${TAVRELO_JAVAC} --release 8 -nowarn -encoding UTF-8 -d ${main_class_classes} ${main_class_sources}
    COMMAND ${TAVRELO_JAR} cfe ${main_class_dir}/manifest.jar manifest.Chosen -C ${main_class_classes} manifest
    COMMAND ${TAVRELO_JAR} cf ${main_class_dir}/plain.jar -C ${main_class_classes} com
    COMMAND ${TAVRELO_JAR} cf ${main_class_dir}/other.jar -C ${main_class_classes} other
    DEPENDS ${main_class_sources}
    COMMENT "Java archives of the main-class tests"
    VERBATIM)
add_custom_target(main_class_archives ALL DEPENDS ${main_class_jars})
add_dependencies(jvm_tests main_class_archives)
target_compile_definitions(jvm_tests PRIVATE TAVRELO_MAIN_CLASS_ARCHIVES="${main_class_dir}")
