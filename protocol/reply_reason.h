// Why a reply was not accepted, in words a technician can act on: the request's IPMI name, the
// completion code in hex with its meaning where IPMI gives one, or a damaged reply.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/lan_frame.h"

namespace tovrin {

constexpr std::size_t REPLY_REASON_SIZE = 128;

// The IPMI name of the request in the frame ("Activate Session"); "IPMI request" for one we never
// send.
const char* request_name(const RequestFrame& frame);

// The meaning of a completion code for this command, or null where IPMI gives none.
const char* completion_code_meaning(std::uint8_t command, std::uint8_t code);

// For a reply that ends before the bytes the request's answer must hold:
// "Activate Session reply too short".
void describe_short_reply(const RequestFrame& frame, char (&text)[REPLY_REASON_SIZE]);

// For a reply whose completion code is not 00h (or that ends before it):
// "Activate Session refused: no session slot available (81h)".
void describe_refusal(const RequestFrame& frame, const ReplyBuffer& reply,
                      char (&text)[REPLY_REASON_SIZE]);

// For a reply that failed check_reply in CHECK_FULL mode: the refusal, or
// "Get SEL Entry reply damaged: checksum does not match".
void describe_failed_reply(const RequestFrame& frame, const ReplyBuffer& reply,
                           char (&text)[REPLY_REASON_SIZE]);

}  // namespace tovrin
