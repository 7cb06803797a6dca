#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace tovrin::testing {

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
                       const std::map<std::string, std::string>& environment, int terminal_fd) {
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
    pid_ = ::fork();
    if (pid_ != 0) {
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
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void CliProcess::interrupt() {
    ::kill(pid_, SIGINT);
}

CliResult CliProcess::wait(std::chrono::seconds limit) {
    CliResult result;
    const auto give_up = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > give_up) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
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

CliResult run_cli(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& environment) {
    return CliProcess(args, environment).wait();
}

std::vector<std::string> bmc_args(const FakeBmc& bmc, const std::vector<std::string>& rest) {
    std::vector<std::string> args = {"-U",     "USERID", "-p", std::to_string(bmc.port()),
                                     "--pace", "0"};
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}

std::string password_sent(const FakeBmc& bmc) {
    for (const Request& request : bmc.requests()) {
        if (request.command == ACTIVATE_SESSION) {
            const std::string field(request.bytes.begin() + 13, request.bytes.begin() + 29);
            return field.substr(0, field.find('\0'));
        }
    }
    return {};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
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
