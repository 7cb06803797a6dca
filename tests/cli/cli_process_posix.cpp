#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tests/cli/cli_process.h"

namespace tovrin::testing {

const char TEXT_LINE_END[] = "\n";
const char FULL_DEVICE[] = "/dev/full";

namespace {

// In a child just forked: it dies with the test process. Checked after the request, since the
// test may have died before it was made.
void die_with_parent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(127);
    }
}

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& environment,
                       std::intptr_t terminal) {
    const int terminal_fd = static_cast<int>(terminal);
    // Everything the child needs is prepared before the fork: the test process has other threads,
    // so the child may only make async-signal-safe calls until it execs.
    const std::string out = files_.path("out").string();
    const std::string err = files_.path("err").string();
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (environment.count(variable.substr(0, variable.find('='))) == 0) {
            variables.push_back(variable);
        }
    }
    for (const auto& [name, value] : environment) {
        if (!value.empty()) {
            variables.push_back(name + "=" + value);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> argv = {const_cast<char*>(TOVRIN_CLI_PATH)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child != 0) {
        process_ = child;
        return;
    }
    die_with_parent(parent);
    if (terminal_fd >= 0) {
        ::setsid();
        ::ioctl(terminal_fd, TIOCSCTTY, 0);
        ::dup2(terminal_fd, STDIN_FILENO);
        ::dup2(terminal_fd, STDERR_FILENO);
    } else {
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
    }
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    if (terminal_fd < 0) {
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    }
    ::execve(TOVRIN_CLI_PATH, argv.data(), envp.data());
    ::_exit(127);
}

CliProcess::~CliProcess() {
    if (process_ > 0) {
        ::kill(pid(), SIGKILL);
        ::waitpid(pid(), nullptr, 0);
    }
}

pid_t CliProcess::pid() const {
    return static_cast<pid_t>(process_);
}

void CliProcess::interrupt() {
    ::kill(pid(), SIGINT);
}

CliResult CliProcess::wait(std::chrono::seconds limit) {
    CliResult result;
    const auto give_up = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid(), &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > give_up) {
            ::kill(pid(), SIGKILL);
            ::waitpid(pid(), &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    process_ = -1;
    if (status == -1) {
        result.end_signal = SIGKILL;
    } else if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.end_signal = WTERMSIG(status);
    }
    result.out = read_file(files_.path("out"));
    result.err = read_file(files_.path("err"));
    return result;
}

BusyLoops::BusyLoops(int count) {
    const pid_t parent = ::getpid();
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            die_with_parent(parent);
            volatile unsigned spins = 0;
            for (;;) {
                spins = spins + 1;
            }
        }
        if (pid > 0) {
            pids_.push_back(pid);
        }
    }
}

BusyLoops::~BusyLoops() {
    for (const pid_t pid : pids_) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace tovrin::testing
