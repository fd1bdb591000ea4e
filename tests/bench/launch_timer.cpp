// Runs one program and reports its wall time and peak memory on one line:
//   <wall milliseconds> <peak resident KiB> <exit status>
// Used by scripts/bench-launch.sh. Standard output and error of the program are discarded.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: launch_timer program [arguments...]\n");
        return 2;
    }
    timespec start{}, end{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = ::fork();
    if (child == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::execvp(argv[1], argv + 1);
        ::_exit(127);
    }
    if (child < 0) return 2;
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) return 2;
    ::clock_gettime(CLOCK_MONOTONIC, &end);
    const double wall = static_cast<double>(end.tv_sec - start.tv_sec) * 1000.0 +
                        static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e6;
    std::printf("%.1f %ld %d\n", wall, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128);
    return 0;
}
