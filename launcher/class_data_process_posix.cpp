#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>

#include "launcher/class_data_archive.h"

extern char** environ;

namespace tavrelo {

namespace {

// Starts `arguments` (the program first) with the standard streams on the null device; the
// child's process id, or -1.
pid_t spawn(const std::vector<std::string>& arguments, char** environment, bool ownSession) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    pid_t child = -1;
    if (posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDWR, 0) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, 0, 1) == 0 && posix_spawn_file_actions_adddup2(&actions, 0, 2) == 0 &&
        posix_spawnattr_setflags(&attributes, ownSession ? POSIX_SPAWN_SETSID : 0) == 0 &&
        posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environment) != 0)
        child = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

} // namespace

bool startArchiveWriter(TextView launcher, TextView request) noexcept {
    try {
        const std::string name = toUtf8(kClassDataRequestVariable);
        const std::string setting = name + "=" + toUtf8(request);
        std::vector<char*> environment;
        for (char** each = environ; each && *each; ++each)
            if (std::strncmp(*each, setting.c_str(), name.size() + 1) != 0) environment.push_back(*each);
        environment.push_back(const_cast<char*>(setting.c_str()));
        environment.push_back(nullptr);
        // Its own session: the terminal's hang-up does not end it with the launcher's.
        return spawn({toUtf8(launcher)}, environment.data(), true) > 0;
    } catch (...) {
        return false;
    }
}

int runAndWait(TextView program, const std::vector<Text>& arguments) noexcept {
    try {
        std::vector<std::string> all{toUtf8(program)};
        for (const Text& argument : arguments) all.push_back(toUtf8(argument));
        const pid_t child = spawn(all, environ, false);
        if (child <= 0) return -1;
        int status = 0;
        while (::waitpid(child, &status, 0) < 0)
            if (errno != EINTR) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } catch (...) {
        return -1;
    }
}

void lowerPriority() noexcept { (void)::setpriority(PRIO_PROCESS, 0, 10); }

} // namespace tavrelo
