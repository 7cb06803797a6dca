#include "tests/support/worker_harness.h"

#include <cstring>

namespace tovrin::testing {

WorkerRig::WorkerRig() {
    control.dialog = &link;
    std::strcpy(control.logon.address_text, "127.0.0.1");
    std::strcpy(control.logon.user_name, "USERID");
    std::strcpy(control.logon.password, "CH4NGEME");
    control.settings.port = bmc.port();
    control.settings.tick_ms = 1;
    control.settings.pace_ms = 0;
}

WorkerRig::~WorkerRig() {
    finish();
    const std::vector<std::uint32_t> codes = link.notifications();
    int endings = 0;
    for (std::uint32_t code : codes) {
        endings += code == UM_LOGON_ABORTED || code == UM_DISCONNECTED;
    }
    EXPECT_EQ(endings, 1) << "a worker ends with exactly one of the two";
    if (!codes.empty()) {
        EXPECT_TRUE(codes.back() == UM_LOGON_ABORTED || codes.back() == UM_DISCONNECTED);
    }
    for (const Request& request : bmc.requests()) {
        EXPECT_EQ(request.problem, "") << "command " << int(request.command);
    }
}

void WorkerRig::start() {
    worker_ = std::thread(session_worker, &control);
}

bool WorkerRig::connect() {
    start();
    return link.wait_for(UM_CONNECTED);
}

void WorkerRig::run() {
    session_worker(&control);
}

void WorkerRig::finish() {
    control.abort_requested = 1;
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::vector<std::uint8_t> WorkerRig::commands() const {
    std::vector<std::uint8_t> out;
    for (const Request& request : bmc.requests()) {
        out.push_back(request.command);
    }
    return out;
}

std::vector<std::uint32_t> WorkerRig::sequences() const {
    std::vector<std::uint32_t> out;
    for (const Request& request : bmc.requests()) {
        out.push_back(request.sequence);
    }
    return out;
}

}  // namespace tovrin::testing
