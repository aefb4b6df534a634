// peak_memory PROGRAM [ARGUMENT]...: runs the program, its standard output
// thrown away, and prints its peak resident memory in KiB and the processor
// seconds it took (user and system); exits as the program did. A process of its own, so that the peak is the program's:
// a process started by a large one counts that one's memory as its own.
#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0) {
            _exit(127);
        }
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return 2;
    }
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    std::printf("%ld %.6f\n", usage.ru_maxrss, seconds(usage.ru_utime) + seconds(usage.ru_stime));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
