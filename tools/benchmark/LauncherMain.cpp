// Runs one program and writes what it cost into a file: "EXITED STATUS PEAK_KIB". The benchmark
// starts programs through this small one because Linux gives a child the peak memory of the
// process it was forked from as the least of its own: ru_maxrss of a program started straight
// from the benchmark would include the benchmark's memory (its sample generator, the parsed
// reports), which is no part of the program measured.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: %s ERGEBNISDATEI PROGRAMM [ARGUMENTE …]\n", argv[0]);
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "fork: %s\n", std::strerror(errno));
        return 1;
    }
    if (child == 0) {
        execv(argv[2], argv + 2);
        std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "wait4: %s\n", std::strerror(errno));
            return 1;
        }
    }
    std::FILE* result = std::fopen(argv[1], "w");
    if (!result) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const bool exited = WIFEXITED(status);
    std::fprintf(result, "%d %d %ld\n", exited ? 1 : 0, exited ? WEXITSTATUS(status) : -1, usage.ru_maxrss);
    return std::fclose(result) == 0 ? 0 : 1;
}
