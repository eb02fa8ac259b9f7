#include "support/emulator.h"

#include <sys/resource.h>

#include <sstream>

#include "support/sanitized.h"

extern char** environ;

namespace {

// ZIX_EMULATOR: the build's emulator command, words separated by '|'; empty
// when the programs run natively.
std::vector<std::string> emulator_words() {
    std::vector<std::string> words;
    std::istringstream in(ZIX_EMULATOR);
    for (std::string word; std::getline(in, word, '|');) {
        if (!word.empty()) words.push_back(word);
    }
    return words;
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

program_command emulated_command(const std::string& program, const std::vector<std::string>& args,
                                 const std::vector<std::string>& env) {
    program_command command;
    command.argv = emulator_words();
    const bool emulated = !command.argv.empty();
    for (const std::string& entry : env) {
        if (emulated && starts_with(entry, "LD_PRELOAD=")) {
            command.argv.insert(command.argv.end(), {"-E", entry});
        } else {
            command.env.push_back(entry);
        }
    }
    command.argv.push_back(program);
    command.argv.insert(command.argv.end(), args.begin(), args.end());
    return command;
}

exec_arrays::exec_arrays(std::vector<std::string> command, std::vector<std::string> environment)
    : words(std::move(command)), env(std::move(environment)) {
    for (std::string& word : words) argv.push_back(word.data());
    for (std::string& entry : env) envp.push_back(entry.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
}

rlimit limit_memory(long mb) {
    rlimit before{};
    getrlimit(RLIMIT_DATA, &before);
    if (mb > 0) {
        rlimit limited = before;
        limited.rlim_cur = static_cast<rlim_t>(mb) << 20;
        setrlimit(RLIMIT_DATA, &limited);
    }
    return before;
}

std::vector<std::string> inherited_environment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    return env;
}

std::vector<std::string> environment_with(std::vector<std::string> env,
                                          const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return starts_with(e, name); });
        env.push_back(entry);
    }
    return env;
}

bool under_emulator() {
    return !emulator_words().empty();
}

std::string without_emulator_notice(const std::string& err) {
    if (!under_emulator()) return err;
    const std::string notice = "qemu: uncaught target signal ";
    const size_t at = err.find(notice);
    if (at == std::string::npos || (at != 0 && err[at - 1] != '\n')) return err;
    const size_t end = err.find('\n', at);
    return err.substr(0, at) + (end == std::string::npos ? "" : err.substr(end + 1));
}

double run_slowness() {
    if (under_emulator()) return 10.0;
    return ZIX_SANITIZED ? 4.0 : 1.0;
}
