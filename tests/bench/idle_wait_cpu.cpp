// How much of a core the session worker spends while it waits for a controller that never answers
// the first logon request. The wait should sleep in the kernel, not spin; this prints the figure
// and leaves the judging to the reader, so a loaded machine cannot make it fail.
#include <pthread.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <thread>

#include "tests/support/worker_harness.h"

namespace tovrin::testing {
namespace {

constexpr auto WAIT = std::chrono::seconds(2);
constexpr double TARGET_PERCENT = 2.0;

// Negative when the thread's clock cannot be read.
double thread_cpu_seconds(std::thread& thread) {
    clockid_t clock{};
    timespec used{};
    if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 ||
        clock_gettime(clock, &used) != 0) {
        return -1;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

double seconds_of(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// User and system time of every thread in the process, the fake BMC's included.
double process_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

int measure() {
    WorkerRig rig;
    rig.bmc.script(GET_SESSION_CHALLENGE, Reply{.silent = true});
    // Our own thread rather than the rig's, for the native handle its CPU clock needs.
    std::thread worker([&rig] { rig.run(); });

    // Once the challenge request is in, the worker has nothing left to do but wait.
    const bool waiting = rig.bmc.wait_for_requests(1);
    const double worker_before = thread_cpu_seconds(worker);
    const double process_before = process_cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    if (waiting) {
        std::this_thread::sleep_for(WAIT);
    }
    const double worker_after = thread_cpu_seconds(worker);
    const double process_after = process_cpu_seconds();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rig.control.abort_requested = 1;
    worker.join();

    if (!waiting) {
        std::fprintf(stderr, "idle_wait_cpu: the worker never sent Get Session Challenge\n");
        return 1;
    }
    if (worker_before < 0 || worker_after < 0) {
        std::fprintf(stderr, "idle_wait_cpu: cannot read the worker thread's CPU clock\n");
        return 1;
    }
    const double worker_cpu = worker_after - worker_before;
    const double process_cpu = process_after - process_before;
    std::printf(
        "worker CPU while waiting %.2f s for a silent BMC: %.4f s (%.2f %% of one core); "
        "target < %.0f %%\n",
        elapsed, worker_cpu, 100 * worker_cpu / elapsed, TARGET_PERCENT);
    std::printf(
        "whole process CPU over the same wait (getrusage, fake BMC included): %.4f s "
        "(%.2f %% of one core)\n",
        process_cpu, 100 * process_cpu / elapsed);
    return 0;
}

}  // namespace
}  // namespace tovrin::testing

int main() {
    return tovrin::testing::measure();
}
