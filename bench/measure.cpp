// Runs one or more commands, each with its standard output going to /dev/null
// (or to FILE, made empty before every run), RUNS times in turn (A B C A B C
// ...), so that a change in the machine's load touches them alike. For each
// command, one line: the median wall time and the median processor time
// (user and system, the command's own and that of the processes it waited
// for) of its runs in nanoseconds, and the largest peak resident set in KiB:
// "WALL_NS CPU_NS KIB". On a busy machine the processor time is the steadier
// figure; the median keeps one run slowed by another program's burst from
// moving it.
// Usage: measure RUNS [-o FILE] COMMAND [ARGS...] [-- COMMAND [ARGS...]]...
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

struct figures {
    std::vector<int64_t> wall;
    std::vector<int64_t> cpu;
    long peak_kib = 0;
};

int64_t median(std::vector<int64_t> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int64_t now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

int64_t ns(const timeval& t) {
    return int64_t{t.tv_sec} * 1000000000 + int64_t{t.tv_usec} * 1000;
}

bool run_once(char** argv, const char* output, figures* f) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY, 0);
    // Emptied here, before the clock starts: dropping what the last run wrote
    // is no part of this run's time.
    const int empty = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (empty >= 0) close(empty);
    pid_t pid = 0;
    const int64_t start = now_ns();
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        std::fprintf(stderr, "%s: %s\n", argv[0], std::strerror(failed));
        return false;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const int64_t wall = now_ns() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not end with status 0\n", argv[0]);
        return false;
    }
    const int64_t cpu = ns(usage.ru_utime) + ns(usage.ru_stime);
    f->wall.push_back(wall);
    f->cpu.push_back(cpu);
    if (usage.ru_maxrss > f->peak_kib) f->peak_kib = usage.ru_maxrss;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: measure RUNS [-o FILE] COMMAND [ARGS...] [-- COMMAND [ARGS...]]...\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    if (runs < 1) {
        std::fprintf(stderr, "measure: RUNS must be at least 1\n");
        return 2;
    }
    int first = 2;
    const char* output = "/dev/null";
    if (argc > 4 && std::strcmp(argv[2], "-o") == 0) {
        output = argv[3];
        first = 4;
    }
    std::vector<char**> commands{argv + first};
    for (int i = first; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            argv[i] = nullptr;
            commands.push_back(argv + i + 1);
        }
    }
    std::vector<figures> results(commands.size());
    for (int run = 0; run < runs; ++run) {
        for (size_t c = 0; c < commands.size(); ++c) {
            if (!run_once(commands[c], output, &results[c])) return 1;
        }
    }
    for (const figures& f : results) {
        std::printf("%lld %lld %ld\n", static_cast<long long>(median(f.wall)),
                    static_cast<long long>(median(f.cpu)), f.peak_kib);
    }
    return 0;
}
