#pragma once
// Runs a program the way a shell would, with its standard output going to a
// file or a pipe (or to a file opened for reading only, where every write
// fails), and collects what it wrote and how it ended.

#include <string>
#include <vector>

enum class output_kind { file, pipe, unwritable };

struct run_result {
    int exit_status = -1;  // -1 when the program did not exit normally
    int term_signal = 0;   // the signal that ended it, or 0
    std::string out;       // standard output
    std::string err;       // standard error
};

// extra_env entries ("NAME=value") are added to the test's own environment.
run_result run_program(const std::string& program, const std::vector<std::string>& args,
                       output_kind kind, const std::vector<std::string>& extra_env = {});
