// The parts of the channel that every platform's socket file shares.
#include "protocol/datagram_channel.h"

namespace tovrin {

int next_wait_slice_ms(ReplyDeadline deadline) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
        return -1;
    }
    if (deadline - now < std::chrono::milliseconds(AWAIT_SLICE_MS)) {
        return static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
    }
    return AWAIT_SLICE_MS;
}

}  // namespace tovrin
