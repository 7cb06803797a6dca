// The IPMI network functions and commands this tool sends, named once for the frame builders and
// for the texts that describe their replies.
#pragma once

#include <cstdint>

namespace tovrin {

constexpr std::uint8_t NETFN_APP_REQUEST = 0x06;
constexpr std::uint8_t NETFN_STORAGE_REQUEST = 0x0A;

constexpr std::uint8_t CMD_GET_SESSION_CHALLENGE = 0x39;  // App
constexpr std::uint8_t CMD_ACTIVATE_SESSION = 0x3A;       // App
constexpr std::uint8_t CMD_SET_PRIVILEGE_LEVEL = 0x3B;    // App
constexpr std::uint8_t CMD_CLOSE_SESSION = 0x3C;          // App
constexpr std::uint8_t CMD_GET_SESSION_INFO = 0x3D;       // App
constexpr std::uint8_t CMD_RESERVE_SEL = 0x42;            // Storage
constexpr std::uint8_t CMD_GET_SEL_ENTRY = 0x43;          // Storage
constexpr std::uint8_t CMD_CLEAR_SEL = 0x47;              // Storage

}  // namespace tovrin
