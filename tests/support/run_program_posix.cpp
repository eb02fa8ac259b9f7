#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/emulator.h"
#include "support/run_program.h"
#include "support/test_files.h"

run_result run_program(const std::string& program, const std::vector<std::string>& args,
                       output_kind kind, const std::vector<std::string>& extra_env,
                       const run_options& options) {
    run_result result;
    program_command command = emulated_command(program, args, extra_env);
    const exec_arrays exec(command.argv, environment_with(inherited_environment(), command.env));

    const bool piped = kind == output_kind::pipe || kind == output_kind::pipe_closed_early ||
                       kind == output_kind::nonblocking_pipe;
    const int err_fd = temp_file();
    int out_fd = -1;
    int pipe_fds[2] = {-1, -1};
    if (kind == output_kind::file || kind == output_kind::unwritable) {
        out_fd = temp_file(kind == output_kind::unwritable);
    } else if (piped && pipe(pipe_fds) != 0) {
        return result;
    }
    if (kind == output_kind::nonblocking_pipe) {
        // The flag belongs to the open file description, which the program
        // shares, as it would share one that another process left so. The
        // pipe is made as small as the system allows, so that even the
        // character table fills it.
        fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
        fcntl(pipe_fds[1], F_SETFL, fcntl(pipe_fds[1], F_GETFL) | O_NONBLOCK);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    switch (kind) {
        case output_kind::file:
        case output_kind::unwritable:
            posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
            break;
        case output_kind::dev_full:
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
            break;
        case output_kind::closed:
            posix_spawn_file_actions_addclose(&actions, 1);
            break;
        default:
            posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
            break;
    }
    posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    if (pipe_fds[0] >= 0) posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);

    // SIGPIPE starts at its default action unless the caller asks for it to be
    // ignored; an ignored signal stays ignored across exec, so the ignoring is
    // done here, around the spawn.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    if (!options.ignore_sigpipe) sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    if (options.ignore_sigpipe) sigaction(SIGPIPE, &ignore, &before);

    // A memory limit is inherited the same way: set on this process for the
    // moment of the spawn.
    const rlimit data_before = limit_memory(options.memory_limit_mb);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, exec.argv[0], &actions, &attributes, exec.argv.data(), exec.envp.data());
    if (options.ignore_sigpipe) sigaction(SIGPIPE, &before, nullptr);
    setrlimit(RLIMIT_DATA, &data_before);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (pipe_fds[1] >= 0) close(pipe_fds[1]);

    if (spawned == 0) {
        if (kind == output_kind::pipe) result.out = read_all(pipe_fds[0]);
        if (kind == output_kind::nonblocking_pipe) result.out = read_slowly(pipe_fds[0]);
        if (kind == output_kind::pipe_closed_early) {
            result.out = read_all(pipe_fds[0], options.pipe_read_limit);
            close(pipe_fds[0]);
            pipe_fds[0] = -1;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
    }
    if (out_fd >= 0) {
        lseek(out_fd, 0, SEEK_SET);
        result.out = read_all(out_fd);
        close(out_fd);
    } else if (pipe_fds[0] >= 0) {
        close(pipe_fds[0]);
    }
    lseek(err_fd, 0, SEEK_SET);
    result.err = without_emulator_notice(read_all(err_fd));
    close(err_fd);
    return result;
}
