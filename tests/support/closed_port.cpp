#include "tests/support/closed_port.h"

#include "tests/support/loopback_socket.h"

namespace tovrin::testing {

std::uint16_t closed_loopback_port() {
    return LoopbackSocket().port();
}

}  // namespace tovrin::testing
