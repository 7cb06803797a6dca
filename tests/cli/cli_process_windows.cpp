#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "tests/cli/cli_process.h"
#include "tests/cli/shared_console.h"

namespace tovrin::testing {

const char TEXT_LINE_END[] = "\r\n";
// Windows has none; Wine shows the build machine's own on drive Z:.
const char FULL_DEVICE[] = "Z:\\dev\\full";

namespace {

HANDLE handle_of(std::intptr_t process) {
    return reinterpret_cast<HANDLE>(process);
}

// One argument as the C runtime's parser reads it back: in quotes when empty or spaced, the
// backslashes before a quote doubled.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

// The test's environment with `environment` applied, as CreateProcess takes it.
std::string environment_block(const std::map<std::string, std::string>& environment) {
    std::string block;
    char* const strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string variable = entry;
        // Names such as "=C:" (a drive's current folder) start with their '='.
        if (environment.count(variable.substr(0, variable.find('=', 1))) == 0) {
            block.append(variable).push_back('\0');
        }
    }
    FreeEnvironmentStringsA(strings);
    for (const auto& [name, value] : environment) {
        if (!value.empty()) {
            block.append(name + "=" + value).push_back('\0');
        }
    }
    block.push_back('\0');
    return block;
}

// The children's job: Windows ends them when the test process goes and the job's handle with it.
HANDLE children_job() {
    static const HANDLE job = [] {
        const HANDLE created = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return created;
    }();
    return job;
}

// A handle the child inherits: the file opened for reading or created empty for writing.
HANDLE inheritable_file(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The test's own handle stays open; the child inherits a copy.
HANDLE inheritable_copy(std::intptr_t handle) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    DuplicateHandle(GetCurrentProcess(), handle_of(handle), GetCurrentProcess(), &copy, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
    return copy;
}

}  // namespace

void share_console() {
    static const bool shared = [] {
        if (GetConsoleWindow() == nullptr) {
            FreeConsole();
            AllocConsole();
        }
        return SetConsoleCtrlHandler(nullptr, TRUE) != 0;
    }();
    (void)shared;
}

CliProcess::CliProcess(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& environment,
                       std::intptr_t terminal) {
    share_console();
    std::string command_line = quoted(TOVRIN_CLI_PATH);
    for (const std::string& arg : args) {
        command_line += " " + quoted(arg);
    }
    std::string variables = environment_block(environment);
    HANDLE standard[] = {
        terminal == -1 ? inheritable_file("NUL", false) : inheritable_copy(terminal),
        inheritable_file(files_.path("out").string(), true),
        inheritable_file(files_.path("err").string(), true)};

    // The child inherits these three and nothing else the test holds (the fake BMC's sockets).
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = standard[0];
    startup.StartupInfo.hStdOutput = standard[1];
    startup.StartupInfo.hStdError = standard[2];
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size);
    UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                              standard, sizeof standard, nullptr, nullptr);

    // Suspended until it is in the job; a process group of its own, for interrupt().
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT,
                       variables.data(), nullptr, &startup.StartupInfo, &started)) {
        AssignProcessToJobObject(children_job(), started.hProcess);
        ResumeThread(started.hThread);
        CloseHandle(started.hThread);
        process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << command_line << ": error " << GetLastError();
    }
    DeleteProcThreadAttributeList(startup.lpAttributeList);
    for (const HANDLE handle : standard) {
        CloseHandle(handle);
    }
}

CliProcess::~CliProcess() {
    if (process_ != -1) {
        TerminateProcess(handle_of(process_), 1);
        WaitForSingleObject(handle_of(process_), INFINITE);
        CloseHandle(handle_of(process_));
    }
}

pid_t CliProcess::pid() const {
    return static_cast<pid_t>(GetProcessId(handle_of(process_)));
}

void CliProcess::interrupt() {
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, GetProcessId(handle_of(process_)));
}

CliResult CliProcess::wait(std::chrono::seconds limit) {
    CliResult result;
    if (process_ != -1) {
        const HANDLE process = handle_of(process_);
        const auto limit_ms = std::chrono::duration_cast<std::chrono::milliseconds>(limit);
        DWORD code = 0;
        if (WaitForSingleObject(process, static_cast<DWORD>(limit_ms.count())) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process, &code)) {
            result.exit_status = static_cast<int>(code);
        } else {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
        }
        CloseHandle(process);
        process_ = -1;
    }
    result.out = read_file(files_.path("out"));
    result.err = read_file(files_.path("err"));
    return result;
}

}  // namespace tovrin::testing
