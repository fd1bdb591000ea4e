#include <spawn.h>

#include <string>

#include "launcher/java_runtime.h"
#include "platform/text.h"

extern char** environ;

namespace tavrelo {

namespace {

bool spawnDetached(const std::string& program, const char* zero, const std::string& argument) {
    std::string first(zero ? zero : program);
    std::string second(argument);
    char* arguments[] = {first.data(), second.data(), nullptr};
    pid_t child = 0;
    return ::posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ) == 0;
}

} // namespace

bool startBrowser(TextView browser, TextView page) { return spawnDetached(toUtf8(browser), "iexplore", toUtf8(page)); }

bool openWebPage(TextView page) { return spawnDetached("xdg-open", nullptr, toUtf8(page)); }

} // namespace tavrelo
