// A scripted IPMI v1.5 BMC on a real UDP socket at 127.0.0.1 (an ephemeral port, so fakes run side
// by side) or at a chosen loopback address and port. It answers the logon, keep-alive and SEL
// requests the way a controller does, keeps the session, the SEL and its reservation, and lets a
// test bend single answers: wrong, late, doubled, cut short, from another port or never.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_socket.h"

namespace tovrin::testing {

// The commands the fake answers, by the command byte that scripts are keyed on.
constexpr std::uint8_t GET_SESSION_CHALLENGE = 0x39;
constexpr std::uint8_t ACTIVATE_SESSION = 0x3A;
constexpr std::uint8_t SET_PRIVILEGE_LEVEL = 0x3B;
constexpr std::uint8_t CLOSE_SESSION = 0x3C;
constexpr std::uint8_t GET_SESSION_INFO = 0x3D;
constexpr std::uint8_t RESERVE_SEL = 0x42;
constexpr std::uint8_t GET_SEL_ENTRY = 0x43;
constexpr std::uint8_t CLEAR_SEL = 0x47;

struct SelEntry {
    std::uint16_t record_id = 0;
    std::uint16_t next_record_id = 0xFFFF;  // FFFFh: no record follows
    std::array<std::uint8_t, 16> record{};
};

// Record IDs 1..n, each naming the next and the last naming FFFFh; bytes 0-1 of each record are
// overwritten with its ID, as a controller stores them.
std::vector<SelEntry> sel_chain(const std::vector<std::array<std::uint8_t, 16>>& records);

// How to answer one request. A default Reply gives the controller's normal answer; the request is
// carried out (reservation taken, erase advanced) whatever the Reply changes on the wire.
struct Reply {
    // A non-zero code drops the response data unless `data` is set too.
    std::optional<std::uint8_t> completion_code{};
    std::optional<std::vector<std::uint8_t>> data{};  // response data after the completion code
    bool silent = false;                              // no answer at all
    bool bad_checksum = false;                        // trailing checksum off by one
    bool bad_header_checksum = false;                 // header checksum off by one
    int copies = 1;                                   // the same datagram this many times
    std::chrono::milliseconds delay{0};  // sent late; other requests are served meanwhile
    bool from_other_port = false;        // sent from a second socket at its address, another port
    std::optional<std::uint8_t> command{};     // a well-formed answer to another command
    std::optional<std::size_t> truncate_to{};  // the datagram cut to this many bytes
};

// One datagram the fake received.
struct Request {
    std::vector<std::uint8_t> bytes;
    std::uint8_t netfn = 0;
    std::uint8_t command = 0;
    std::uint32_t sequence = 0;      // session sequence number, bytes 5-8
    std::vector<std::uint8_t> data;  // request data, between the command and the checksum
    // Why a correct console would not have sent this request; empty when nothing is wrong. A frame
    // that is malformed or does not belong to the session is not answered, as a controller drops
    // what it cannot authenticate; bad request data is answered with C7h or CCh.
    std::string problem;
};

// The correct answer datagram (no fault) to `request` with this completion code and data, in the
// layout of the request's authentication type; empty when the request holds no command byte.
std::vector<std::uint8_t> reply_datagram(const std::vector<std::uint8_t>& request,
                                         std::uint8_t completion_code,
                                         const std::vector<std::uint8_t>& data);

class FakeBmc {
  public:
    // What the logon replies hand out unless a script changes their data; distinct bytes, so that a
    // byte-order slip shows. The fake then expects what its replies really carried.
    static constexpr std::array<std::uint8_t, 4> TEMPORARY_SESSION_ID{0x1A, 0x2B, 0x3C, 0x4D};
    static constexpr std::array<std::uint8_t, 4> SESSION_ID{0xA1, 0xB2, 0xC3, 0xD4};
    static constexpr std::array<std::uint8_t, 16> CHALLENGE{0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5,
                                                            0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB,
                                                            0xCC, 0xCD, 0xCE, 0xCF};

    // Bound and serving on return; throws std::system_error when it cannot bind.
    FakeBmc();
    // At `loopback_address` (dotted, in 127.0.0.0/8; std::invalid_argument for any other) and
    // `port`; port 0 takes one of the system's choosing.
    FakeBmc(const char* loopback_address, std::uint16_t port);
    ~FakeBmc();
    FakeBmc(const FakeBmc&) = delete;
    FakeBmc& operator=(const FakeBmc&) = delete;

    std::uint16_t port() const { return socket_.port(); }

    // Queued per command byte: the next answered requests with that command take them in order.
    void script(std::uint8_t command, Reply reply);
    // The initial inbound sequence number that Activate Session grants (default 0).
    void set_granted_sequence(std::uint32_t sequence);
    void set_sel(std::vector<SelEntry> entries);
    // How many erase replies say "in progress" before one says "completed" and the log is emptied;
    // the initiating reply counts (default 0: it already says completed).
    void set_erase_in_progress_polls(int count);

    // Sends `bytes` to wherever the last request came from; false when none has come yet.
    bool send_unsolicited(const std::vector<std::uint8_t>& bytes, bool from_other_port = false);

    std::vector<Request> requests() const;
    std::vector<SelEntry> sel() const;
    // True once `count` requests have arrived; false after `limit`.
    bool wait_for_requests(std::size_t count,
                           std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

  private:
    struct Outgoing;
    struct Answer;

    void serve();
    std::optional<Outgoing> respond(Datagram datagram);
    std::optional<Answer> carry_out(Request& request);
    void remember_handed_out(const Request& request, const std::vector<std::uint8_t>& reply);
    void send_datagram(const std::vector<std::uint8_t>& bytes, bool from_other_port,
                       const Endpoint& to) const;

    LoopbackSocket socket_;
    LoopbackSocket other_socket_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Request> requests_;
    std::map<std::uint8_t, std::deque<Reply>> scripts_;
    std::vector<SelEntry> sel_;
    std::uint32_t granted_sequence_ = 0;
    int in_progress_polls_ = 0;
    int in_progress_left_ = 0;
    bool erasing_ = false;
    std::uint16_t last_reservation_ = 0;  // 0: nothing reserved yet
    std::array<std::uint8_t, 4> temporary_session_id_ = TEMPORARY_SESSION_ID;
    std::array<std::uint8_t, 16> challenge_ = CHALLENGE;
    std::array<std::uint8_t, 4> session_id_ = SESSION_ID;
    bool session_active_ = false;
    std::array<std::uint8_t, 16> session_auth_code_{};
    std::uint32_t outbound_sequence_ = 0;
    std::optional<Endpoint> client_;  // where the last request came from

    std::thread thread_;
};

}  // namespace tovrin::testing
