// A UDP port on 127.0.0.1 that nothing listens on, for tests of an unreachable controller.
#pragma once

#include <cstdint>

namespace tovrin::testing {

// A port that was free a moment ago and is closed again.
std::uint16_t closed_loopback_port();

}  // namespace tovrin::testing
