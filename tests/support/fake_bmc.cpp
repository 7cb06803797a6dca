#include "tests/support/fake_bmc.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "protocol/datagram_channel.h"

namespace tovrin::testing {

namespace {

constexpr std::uint8_t NETFN_APP = 0x06;
constexpr std::uint8_t NETFN_STORAGE = 0x0A;

constexpr std::uint8_t AUTH_NONE = 0x00;
constexpr std::uint8_t AUTH_STRAIGHT_PASSWORD = 0x04;
constexpr std::uint8_t BMC_ADDRESS = 0x20;
constexpr std::uint8_t ADMINISTRATOR = 0x04;

constexpr std::uint8_t CC_OK = 0x00;
constexpr std::uint8_t CC_INVALID_COMMAND = 0xC1;
constexpr std::uint8_t CC_RESERVATION_CANCELLED = 0xC5;
constexpr std::uint8_t CC_BAD_DATA_LENGTH = 0xC7;
constexpr std::uint8_t CC_CANNOT_RETURN_BYTES = 0xCA;
constexpr std::uint8_t CC_NOT_PRESENT = 0xCB;
constexpr std::uint8_t CC_INVALID_FIELD = 0xCC;
constexpr std::uint8_t CC_INVALID_SESSION_ID = 0x87;  // Close Session

constexpr std::size_t SESSION_ID_POSITION = 9;
constexpr std::size_t AUTH_CODE_POSITION = 13;
constexpr std::size_t RECORD_SIZE = 16;

constexpr std::uint8_t ERASE_INITIATE = 0xAA;
constexpr std::uint8_t ERASE_STATUS = 0x00;
constexpr std::uint8_t ERASE_IN_PROGRESS = 0x00;
constexpr std::uint8_t ERASE_COMPLETED = 0x01;

// Kept apart from the product's checksum so that a fault there cannot cancel out here.
std::uint8_t twos_complement_sum(const std::uint8_t* first, const std::uint8_t* last) {
    std::uint8_t sum = 0;
    for (; first != last; ++first) {
        sum = static_cast<std::uint8_t>(sum + *first);
    }
    return static_cast<std::uint8_t>(-sum);
}

// Position of the message length byte: the authentication code sits before it when byte 4 says so.
std::size_t length_position(const std::vector<std::uint8_t>& datagram) {
    return datagram.size() > 4 && datagram[4] != AUTH_NONE ? 29 : 13;
}

std::uint32_t little_endian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

void put_little_endian(std::vector<std::uint8_t>& out, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::string hex_byte(std::uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02Xh", value);
    return text;
}

// What makes a frame unreadable for a controller; empty when it is well-formed.
std::string frame_problem(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < AUTH_CODE_POSITION + 1) {
        return "datagram of " + std::to_string(bytes.size()) + " bytes";
    }
    if (bytes[0] != 0x06 || bytes[1] != 0x00 || bytes[2] != 0xFF || bytes[3] != 0x07) {
        return "RMCP header is not 06h 00h FFh 07h";
    }
    if (bytes[4] != AUTH_NONE && bytes[4] != AUTH_STRAIGHT_PASSWORD) {
        return "authentication type " + hex_byte(bytes[4]);
    }
    const std::size_t base = length_position(bytes);
    if (bytes.size() <= base) {
        return "datagram of " + std::to_string(bytes.size()) + " bytes";
    }
    const std::size_t length = bytes[base];
    if (bytes.size() != base + 1 + length) {
        return "message length " + std::to_string(length) + " in a datagram of " +
               std::to_string(bytes.size()) + " bytes";
    }
    if (length < 7) {
        return "message of " + std::to_string(length) + " bytes";
    }
    if (bytes[base + 1] != BMC_ADDRESS) {
        return "rsSA " + hex_byte(bytes[base + 1]);
    }
    const std::uint8_t* message = bytes.data() + base + 1;
    if (twos_complement_sum(message, message + 3) != 0) {
        return "header checksum";
    }
    if (twos_complement_sum(message + 3, message + length) != 0) {
        return "trailing checksum";
    }
    return {};
}

Request parse_request(std::vector<std::uint8_t> bytes) {
    Request request;
    request.problem = frame_problem(bytes);
    if (bytes.size() >= 9) {
        request.sequence = little_endian(&bytes[5], 4);
    }
    const std::size_t base = length_position(bytes);
    if (bytes.size() > base + 6) {
        request.netfn = bytes[base + 2] >> 2;
        request.command = bytes[base + 6];
    }
    if (request.problem.empty()) {
        request.data.assign(bytes.begin() + base + 7, bytes.end() - 1);
    }
    request.bytes = std::move(bytes);
    return request;
}

// `request` is a well-formed frame; the reply takes its layout, session ID and addresses.
std::vector<std::uint8_t> encode_reply(const std::vector<std::uint8_t>& request,
                                       std::uint8_t command, std::uint8_t completion_code,
                                       const std::vector<std::uint8_t>& data,
                                       std::uint32_t sequence) {
    const std::size_t base = length_position(request);
    std::vector<std::uint8_t> out{0x06, 0x00, 0xFF, 0x07, request[4]};
    put_little_endian(out, sequence, 4);
    out.insert(out.end(), request.begin() + SESSION_ID_POSITION, request.begin() + base);
    out.push_back(static_cast<std::uint8_t>(8 + data.size()));
    const std::size_t message = out.size();
    const std::uint8_t rq_lun = request[base + 5] & 0x03;
    const std::uint8_t rs_lun = request[base + 2] & 0x03;
    out.push_back(request[base + 4]);  // the requester's own address
    out.push_back(static_cast<std::uint8_t>(((request[base + 2] >> 2) + 1) << 2 | rq_lun));
    out.push_back(twos_complement_sum(&out[message], &out[message] + 2));
    out.push_back(BMC_ADDRESS);
    out.push_back(static_cast<std::uint8_t>((request[base + 5] & 0xFC) | rs_lun));
    out.push_back(command);
    out.push_back(completion_code);
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(twos_complement_sum(&out[message + 3], out.data() + out.size()));
    return out;
}

std::uint32_t loopback_address(const char* text) {
    std::uint32_t address = 0;
    if (!parse_ipv4_address(text, address) || !is_loopback(address)) {
        throw std::invalid_argument(std::string("fake BMC address ") + text +
                                    " is not in 127.0.0.0/8");
    }
    return address;
}

}  // namespace

std::vector<SelEntry> sel_chain(const std::vector<std::array<std::uint8_t, 16>>& records) {
    std::vector<SelEntry> entries;
    for (std::size_t i = 0; i < records.size(); ++i) {
        SelEntry entry{static_cast<std::uint16_t>(i + 1),
                       static_cast<std::uint16_t>(i + 1 == records.size() ? 0xFFFF : i + 2),
                       records[i]};
        entry.record[0] = static_cast<std::uint8_t>(entry.record_id);
        entry.record[1] = static_cast<std::uint8_t>(entry.record_id >> 8);
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::uint8_t> reply_datagram(const std::vector<std::uint8_t>& request,
                                         std::uint8_t completion_code,
                                         const std::vector<std::uint8_t>& data) {
    const std::size_t base = length_position(request);
    if (request.size() <= base + 6) {
        return {};
    }
    return encode_reply(request, request[base + 6], completion_code, data, 0);
}

struct FakeBmc::Outgoing {
    std::chrono::steady_clock::time_point due;
    std::vector<std::uint8_t> bytes;
    bool from_other_port = false;
    int copies = 1;
    Endpoint to;
};

struct FakeBmc::Answer {
    std::uint8_t completion_code = CC_OK;
    std::vector<std::uint8_t> data;
    std::uint32_t sequence = 0;  // the controller's outbound session sequence number
};

FakeBmc::FakeBmc() : FakeBmc("127.0.0.1", 0) {}

FakeBmc::FakeBmc(const char* loopback_address_text, std::uint16_t port)
    : socket_(loopback_address(loopback_address_text), port),
      other_socket_(socket_.local().address) {
    thread_ = std::thread([this] { serve(); });
}

FakeBmc::~FakeBmc() {
    stopping_ = true;
    socket_.wake();
    thread_.join();
}

void FakeBmc::script(std::uint8_t command, Reply reply) {
    std::lock_guard lock(mutex_);
    scripts_[command].push_back(std::move(reply));
}

void FakeBmc::set_granted_sequence(std::uint32_t sequence) {
    std::lock_guard lock(mutex_);
    granted_sequence_ = sequence;
}

void FakeBmc::set_sel(std::vector<SelEntry> entries) {
    std::lock_guard lock(mutex_);
    sel_ = std::move(entries);
}

void FakeBmc::set_erase_in_progress_polls(int count) {
    std::lock_guard lock(mutex_);
    in_progress_polls_ = count;
}

bool FakeBmc::send_unsolicited(const std::vector<std::uint8_t>& bytes, bool from_other_port) {
    std::optional<Endpoint> client;
    {
        std::lock_guard lock(mutex_);
        client = client_;
    }
    if (client) {
        send_datagram(bytes, from_other_port, *client);
    }
    return client.has_value();
}

std::vector<Request> FakeBmc::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<SelEntry> FakeBmc::sel() const {
    std::lock_guard lock(mutex_);
    return sel_;
}

bool FakeBmc::wait_for_requests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

void FakeBmc::send_datagram(const std::vector<std::uint8_t>& bytes, bool from_other_port,
                            const Endpoint& to) const {
    // A lost datagram is what the test asked for or will see as a missing reply.
    (from_other_port ? other_socket_ : socket_).send_to(bytes, to);
}

void FakeBmc::serve() {
    std::vector<Outgoing> pending;  // ordered by due time; equal times keep their order
    for (;;) {
        std::chrono::milliseconds limit(-1);
        if (!pending.empty()) {
            limit = std::max(std::chrono::milliseconds(0),
                             std::chrono::ceil<std::chrono::milliseconds>(
                                 pending.front().due - std::chrono::steady_clock::now()));
        }
        std::optional<Datagram> datagram = socket_.receive(limit);
        if (stopping_) {
            return;
        }
        if (datagram) {
            if (auto outgoing = respond(std::move(*datagram))) {
                const auto at = std::upper_bound(
                    pending.begin(), pending.end(), outgoing->due,
                    [](auto due, const Outgoing& other) { return due < other.due; });
                pending.insert(at, std::move(*outgoing));
            }
        }
        const auto now = std::chrono::steady_clock::now();
        while (!pending.empty() && pending.front().due <= now) {
            const Outgoing& out = pending.front();
            for (int i = 0; i < out.copies; ++i) {
                send_datagram(out.bytes, out.from_other_port, out.to);
            }
            pending.erase(pending.begin());
        }
    }
}

std::optional<FakeBmc::Outgoing> FakeBmc::respond(Datagram datagram) {
    const Endpoint from = datagram.from;
    Request request = parse_request(std::move(datagram.bytes));
    std::lock_guard lock(mutex_);
    client_ = from;
    std::optional<Answer> answer;
    if (request.problem.empty()) {
        answer = carry_out(request);
    }
    requests_.push_back(request);
    arrived_.notify_all();
    if (!answer) {
        return std::nullopt;
    }
    Reply reply;
    if (auto queued = scripts_.find(request.command);
        queued != scripts_.end() && !queued->second.empty()) {
        reply = std::move(queued->second.front());
        queued->second.pop_front();
    }
    if (reply.silent) {
        return std::nullopt;
    }
    const std::uint8_t code = reply.completion_code.value_or(answer->completion_code);
    if (reply.completion_code && code != CC_OK) {
        answer->data.clear();
    }
    std::vector<std::uint8_t> out =
        encode_reply(request.bytes, reply.command.value_or(request.command), code,
                     reply.data.value_or(answer->data), answer->sequence);
    remember_handed_out(request, out);
    if (reply.bad_header_checksum) {
        ++out[length_position(out) + 3];
    }
    if (reply.bad_checksum) {
        ++out.back();
    }
    if (reply.truncate_to && *reply.truncate_to < out.size()) {
        out.resize(*reply.truncate_to);
    }
    return Outgoing{std::chrono::steady_clock::now() + reply.delay, std::move(out),
                    reply.from_other_port, reply.copies, from};
}

void FakeBmc::remember_handed_out(const Request& request, const std::vector<std::uint8_t>& reply) {
    if (request.netfn != NETFN_APP) {
        return;
    }
    const std::size_t data = length_position(reply) + 8;
    if (request.command == GET_SESSION_CHALLENGE && reply.size() > data + 20) {
        std::copy_n(reply.begin() + data, 4, temporary_session_id_.begin());
        std::copy_n(reply.begin() + data + 4, 16, challenge_.begin());
    }
    if (request.command == ACTIVATE_SESSION && reply.size() > data + 5) {
        std::copy_n(reply.begin() + data + 1, 4, session_id_.begin());
    }
}

std::optional<FakeBmc::Answer> FakeBmc::carry_out(Request& request) {
    const std::vector<std::uint8_t>& bytes = request.bytes;
    const std::vector<std::uint8_t>& data = request.data;
    const bool challenge = request.netfn == NETFN_APP && request.command == GET_SESSION_CHALLENGE;
    const bool activate = request.netfn == NETFN_APP && request.command == ACTIVATE_SESSION;
    const auto carries = [&](const std::array<std::uint8_t, 4>& id) {
        return std::equal(id.begin(), id.end(), bytes.begin() + SESSION_ID_POSITION);
    };
    const auto auth_code = [&] {
        std::array<std::uint8_t, 16> code{};
        std::copy_n(bytes.begin() + AUTH_CODE_POSITION, code.size(), code.begin());
        return code;
    };

    // Session checks: a controller drops what it cannot place in a session.
    if (challenge) {
        if (bytes[4] != AUTH_NONE || !carries({}) || request.sequence != 0) {
            request.problem = "Get Session Challenge not sent outside a session";
        }
    } else if (bytes[4] != AUTH_STRAIGHT_PASSWORD) {
        request.problem = "no authentication code";
    } else if (activate) {
        if (!carries(temporary_session_id_)) {
            request.problem = "Activate Session without the temporary session ID";
        } else if (request.sequence != 0) {
            request.problem = "Activate Session with a non-zero sequence number";
        }
    } else if (!session_active_ || !carries(session_id_)) {
        request.problem = "not in the active session";
    } else if (auth_code() != session_auth_code_) {
        request.problem = "authentication code differs from the one the session was opened with";
    }
    if (!request.problem.empty()) {
        return std::nullopt;
    }

    Answer answer;
    if (!challenge && !activate) {
        answer.sequence = outbound_sequence_++;
    }
    const auto reject = [&](std::uint8_t code, std::string why) {
        request.problem = std::move(why);
        answer.completion_code = code;
        return answer;
    };
    const auto expect_length = [&](std::size_t length) {
        return data.size() == length ? std::string{}
                                     : "request data of " + std::to_string(data.size()) +
                                           " bytes, not " + std::to_string(length);
    };

    switch (request.netfn << 8 | request.command) {
        case NETFN_APP << 8 | GET_SESSION_CHALLENGE:
            if (auto wrong = expect_length(17); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            answer.data.assign(TEMPORARY_SESSION_ID.begin(), TEMPORARY_SESSION_ID.end());
            answer.data.insert(answer.data.end(), CHALLENGE.begin(), CHALLENGE.end());
            return answer;
        case NETFN_APP << 8 | ACTIVATE_SESSION:
            if (auto wrong = expect_length(22); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            if (!std::equal(challenge_.begin(), challenge_.end(), data.begin() + 2)) {
                request.problem = "Activate Session without the challenge string";
                return std::nullopt;
            }
            session_active_ = true;
            session_auth_code_ = auth_code();
            outbound_sequence_ = little_endian(&data[18], 4);
            answer.data = {AUTH_STRAIGHT_PASSWORD};
            answer.data.insert(answer.data.end(), SESSION_ID.begin(), SESSION_ID.end());
            put_little_endian(answer.data, granted_sequence_, 4);
            answer.data.push_back(ADMINISTRATOR);
            return answer;
        case NETFN_APP << 8 | SET_PRIVILEGE_LEVEL:
            if (auto wrong = expect_length(1); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            if (data[0] == 0 || data[0] > ADMINISTRATOR) {
                return reject(CC_INVALID_FIELD, "privilege level " + hex_byte(data[0]));
            }
            answer.data = {data[0]};
            return answer;
        case NETFN_APP << 8 | GET_SESSION_INFO:
            if (auto wrong = expect_length(1); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            // Handle, slots, sessions active, user ID, privilege, channel.
            answer.data = {0x01, 0x04, 0x01, 0x02, ADMINISTRATOR, 0x01};
            return answer;
        case NETFN_APP << 8 | CLOSE_SESSION:
            if (auto wrong = expect_length(4); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            if (!std::equal(session_id_.begin(), session_id_.end(), data.begin())) {
                return reject(CC_INVALID_SESSION_ID, "Close Session for another session");
            }
            session_active_ = false;  // whatever comes after it is outside any session
            return answer;
        case NETFN_STORAGE << 8 | RESERVE_SEL:
            if (auto wrong = expect_length(0); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            last_reservation_ = static_cast<std::uint16_t>(last_reservation_ + 1);
            if (last_reservation_ == 0) {
                last_reservation_ = 1;  // 0000h never names a reservation
            }
            put_little_endian(answer.data, last_reservation_, 2);
            return answer;
        case NETFN_STORAGE << 8 | GET_SEL_ENTRY: {
            if (auto wrong = expect_length(6); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            const std::uint16_t wanted = static_cast<std::uint16_t>(little_endian(&data[2], 2));
            const auto entry = wanted == 0
                                   ? sel_.begin()
                                   : std::find_if(sel_.begin(), sel_.end(), [&](const SelEntry& e) {
                                         return e.record_id == wanted;
                                     });
            if (entry == sel_.end()) {
                answer.completion_code = CC_NOT_PRESENT;
                return answer;
            }
            const std::size_t offset = data[4];
            const std::size_t count =
                data[5] == 0xFF ? RECORD_SIZE - std::min(offset, RECORD_SIZE) : data[5];
            if (offset >= RECORD_SIZE || offset + count > RECORD_SIZE) {
                answer.completion_code = CC_CANNOT_RETURN_BYTES;
                return answer;
            }
            put_little_endian(answer.data, entry->next_record_id, 2);
            answer.data.insert(answer.data.end(), entry->record.begin() + offset,
                               entry->record.begin() + offset + count);
            return answer;
        }
        case NETFN_STORAGE << 8 | CLEAR_SEL: {
            if (auto wrong = expect_length(6); !wrong.empty()) {
                return reject(CC_BAD_DATA_LENGTH, wrong);
            }
            if (data[2] != 'C' || data[3] != 'L' || data[4] != 'R') {
                return reject(CC_INVALID_FIELD, "Clear SEL without the letters CLR");
            }
            if (data[5] != ERASE_INITIATE && data[5] != ERASE_STATUS) {
                return reject(CC_INVALID_FIELD, "Clear SEL action " + hex_byte(data[5]));
            }
            if (last_reservation_ == 0 || little_endian(&data[0], 2) != last_reservation_) {
                answer.completion_code = CC_RESERVATION_CANCELLED;
                return answer;
            }
            if (data[5] == ERASE_INITIATE && !erasing_) {
                erasing_ = true;
                in_progress_left_ = in_progress_polls_;
            }
            if (erasing_ && in_progress_left_ > 0) {
                --in_progress_left_;
                answer.data = {ERASE_IN_PROGRESS};
                return answer;
            }
            if (erasing_) {
                erasing_ = false;
                sel_.clear();
            }
            answer.data = {ERASE_COMPLETED};
            return answer;
        }
        default:
            answer.completion_code = CC_INVALID_COMMAND;
            return answer;
    }
}

}  // namespace tovrin::testing
