#include <windows.h>

#include "support/run_program.h"
#include "support/windows_path.h"

namespace {

// One argument as the C runtime's command-line parser reads it back: quoted
// when it is empty or holds blanks or quotes, with the backslashes in front
// of a quote (or of the closing quote) doubled.
std::string quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

SECURITY_ATTRIBUTES inheritable() {
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    return sa;
}

// An empty temporary file, removed again by close_temp_file.
struct temp_file {
    std::string name;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

temp_file open_temp_file(DWORD access) {
    char dir[MAX_PATH];
    char name[MAX_PATH];
    temp_file file;
    if (!GetTempPathA(MAX_PATH, dir) || !GetTempFileNameA(dir, "zix", 0, name)) return file;
    file.name = name;
    SECURITY_ATTRIBUTES sa = inheritable();
    file.handle = CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    return file;
}

std::string read_all(HANDLE handle) {
    std::string data;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &got, nullptr) && got > 0) data.append(chunk, got);
    return data;
}

std::string read_and_close(temp_file& file) {
    std::string data;
    if (file.handle != INVALID_HANDLE_VALUE) {
        SetFilePointer(file.handle, 0, nullptr, FILE_BEGIN);
        data = read_all(file.handle);
        CloseHandle(file.handle);
    }
    if (!file.name.empty()) DeleteFileA(file.name.c_str());
    return data;
}

}  // namespace

std::string windows_path(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

// Extra environment entries are a Linux test's business (preloaded fakes);
// asking for them here is a mistake in the test, reported as a failed run.
run_result run_program(const std::string& program, const std::vector<std::string>& args,
                       output_kind kind, const std::vector<std::string>& extra_env,
                       const run_options&) {
    run_result result;
    if (!extra_env.empty()) {
        result.err = "run_program: extra environment entries are not supported on Windows";
        return result;
    }
    const std::string path = windows_path(program);
    std::string command = quote(path);
    for (const std::string& arg : args) command += " " + quote(arg);

    SECURITY_ATTRIBUTES sa = inheritable();
    HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                               OPEN_EXISTING, 0, nullptr);
    temp_file err = open_temp_file(GENERIC_READ | GENERIC_WRITE);
    temp_file out;
    HANDLE pipe_read = nullptr;
    HANDLE pipe_write = nullptr;
    if (kind == output_kind::pipe) {
        if (!CreatePipe(&pipe_read, &pipe_write, &sa, 0)) return result;
        SetHandleInformation(pipe_read, HANDLE_FLAG_INHERIT, 0);
    } else {
        out =
            open_temp_file(kind == output_kind::file ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ);
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = kind == output_kind::pipe ? pipe_write : out.handle;
    startup.hStdError = err.handle;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process) != 0;
    if (pipe_write) CloseHandle(pipe_write);
    CloseHandle(input);

    if (started) {
        if (kind == output_kind::pipe) result.out = read_all(pipe_read);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            result.exit_status = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (pipe_read) CloseHandle(pipe_read);
    if (kind != output_kind::pipe) result.out = read_and_close(out);
    result.err = read_and_close(err);
    return result;
}
