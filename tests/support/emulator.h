#pragma once
// The programs of a build may need an emulator to run: the i386 program under
// qemu-i386 on a kernel that cannot execute i386 programs. Every test that
// starts a program of the build itself builds its command here, so that the
// whole suite runs the same way natively and emulated.

#include <string>
#include <vector>

struct rlimit;  // <sys/resource.h>

struct program_command {
    std::vector<std::string> argv;  // the emulator's words first, when there is one
    std::vector<std::string> env;   // what the environment gets besides the inherited entries
};

// The command that runs program with args, and env ("NAME=value") for it.
// A preloaded library (LD_PRELOAD) is for the program alone: under the
// emulator it is handed to the emulated program (qemu's -E), never to the
// emulator, which is a program of another architecture.
program_command emulated_command(const std::string& program, const std::vector<std::string>& args,
                                 const std::vector<std::string>& env);

// Words and an environment as execve and posix_spawn take them: argv and
// envp point into words and env, and end in nullptr.
struct exec_arrays {
    exec_arrays(std::vector<std::string> command, std::vector<std::string> environment);
    exec_arrays(const exec_arrays&) = delete;
    exec_arrays& operator=(const exec_arrays&) = delete;
    std::vector<std::string> words, env;
    std::vector<char*> argv, envp;
};

// Sets this process's data limit (RLIMIT_DATA) to mb megabytes when mb > 0,
// for a program started from it to inherit: the soft limit only, so that the
// limit given back, the one before, can be put back.
rlimit limit_memory(long mb);

// The test's own environment, entry by entry.
std::vector<std::string> inherited_environment();

// env with each of entries ("NAME=value") put in, in place of an entry of the
// same name: a preloaded library or a fake clock given to a test must not be
// lost to one that the machine's environment already sets.
std::vector<std::string> environment_with(std::vector<std::string> env,
                                          const std::vector<std::string>& entries);

// True when this build's programs run under an emulator.
bool under_emulator();

// The emulator reports a program that died by a signal with one line of its
// own on standard error ("qemu: uncaught target signal N (...) - ..."). That
// line is dropped, under the emulator only, so standard error can be compared
// with what the program itself wrote.
std::string without_emulator_notice(const std::string& err);

// How many times longer a timed step may take in this build: under the
// emulator, or with a sanitizer's runtime checking the program. Only upper
// bounds stretch by this factor; a lower bound on a wait that the program
// itself keeps (its 250 ms answer wait) stays as it is.
double run_slowness();
