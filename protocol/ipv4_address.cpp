#include "protocol/datagram_channel.h"

namespace tovrin {

bool parse_ipv4_address(const char* text, std::uint32_t& address) {
    std::uint32_t value = 0;
    const char* p = text;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && *p++ != '.') {
            return false;
        }
        if (*p < '0' || *p > '9') {
            return false;
        }
        // A leading zero would read as octal to some parsers; refuse it rather than guess.
        if (*p == '0' && p[1] >= '0' && p[1] <= '9') {
            return false;
        }
        unsigned part = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            part = part * 10 + static_cast<unsigned>(*p++ - '0');
            ++digits;
        }
        if (part > 255) {
            return false;
        }
        value = (value << 8) | part;
    }
    if (*p != '\0' || value == 0 || value == 0xFFFFFFFFu) {
        return false;
    }
    address = value;
    return true;
}

}  // namespace tovrin
