# Writes OUTPUT: a C++ source holding the resource tool's manifest templates (tool/resources) as
# byte arrays, for the build that has no resources of its own. Run with cmake -P.
set(content "// Generated from tool/resources by cmake/TavpackManifests.cmake.\n#include <cstddef>\n\nnamespace tavrelo {\n")
foreach(pair "administrator;kAdministratorManifest" "invoker;kInvokerManifest")
    list(GET pair 0 kind)
    list(GET pair 1 symbol)
    file(READ ${SOURCE_DIR}/tool/resources/manifest_${kind}.xml hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND content "extern const unsigned char ${symbol}[] = {${bytes}};\n"
                          "extern const std::size_t ${symbol}Size = ${size};\n")
endforeach()
string(APPEND content "} // namespace tavrelo\n")
file(WRITE ${OUTPUT} "${content}")
