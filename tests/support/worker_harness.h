// A session worker logged on to a fake BMC over loopback, with a recording link. The worker runs on
// a thread of the test's own (or on the test's thread, for a worker that ends by itself); when the
// rig goes, it asks the worker to end, joins it, and checks that its last notification was exactly
// one of UM_LOGON_ABORTED and UM_DISCONNECTED and that the fake saw no malformed request.
#pragma once

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/fake_bmc.h"
#include "tests/support/recording_link.h"
#include "worker/session_worker.h"

namespace tovrin::testing {

class WorkerRig {
  public:
    WorkerRig();
    ~WorkerRig();

    void start();    // the worker on its own thread
    bool connect();  // start, then wait for UM_CONNECTED
    void run();      // the worker on this thread, until it ends by itself
    void finish();   // abort, then join

    std::vector<std::uint8_t> commands() const;
    std::vector<std::uint32_t> sequences() const;

    FakeBmc bmc;
    RecordingLink link;
    WorkerControl control;

  private:
    std::thread worker_;
};

}  // namespace tovrin::testing
