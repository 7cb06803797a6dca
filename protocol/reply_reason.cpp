#include "protocol/reply_reason.h"

#include <cstdio>

#include "protocol/ipmi_commands.h"

namespace tovrin {

namespace {

struct CommandName {
    std::uint8_t netfn;
    std::uint8_t command;
    const char* name;
};

constexpr CommandName COMMAND_NAMES[] = {
    {NETFN_APP_REQUEST, CMD_GET_SESSION_CHALLENGE, "Get Session Challenge"},
    {NETFN_APP_REQUEST, CMD_ACTIVATE_SESSION, "Activate Session"},
    {NETFN_APP_REQUEST, CMD_SET_PRIVILEGE_LEVEL, "Set Session Privilege Level"},
    {NETFN_APP_REQUEST, CMD_CLOSE_SESSION, "Close Session"},
    {NETFN_APP_REQUEST, CMD_GET_SESSION_INFO, "Get Session Info"},
    {NETFN_STORAGE_REQUEST, CMD_RESERVE_SEL, "Reserve SEL"},
    {NETFN_STORAGE_REQUEST, CMD_GET_SEL_ENTRY, "Get SEL Entry"},
    {NETFN_STORAGE_REQUEST, CMD_CLEAR_SEL, "Clear SEL"},
};

struct CodeMeaning {
    std::uint8_t command;  // 0: any command
    std::uint8_t code;
    const char* meaning;
};

// Command-specific codes (80h-BEh) come before the generic ones (C0h-FFh).
constexpr CodeMeaning CODE_MEANINGS[] = {
    {CMD_GET_SESSION_CHALLENGE, 0x81, "invalid user name"},
    {CMD_GET_SESSION_CHALLENGE, 0x82, "null user name not enabled"},
    {CMD_ACTIVATE_SESSION, 0x81, "no session slot available"},
    {CMD_ACTIVATE_SESSION, 0x82, "no session slot available for this user"},
    {CMD_ACTIVATE_SESSION, 0x83, "no session slot available for this user's privilege level"},
    {CMD_ACTIVATE_SESSION, 0x84, "session sequence number out of range"},
    {CMD_ACTIVATE_SESSION, 0x85, "invalid session ID"},
    {CMD_ACTIVATE_SESSION, 0x86, "requested privilege level exceeds the user's or channel's limit"},
    {CMD_SET_PRIVILEGE_LEVEL, 0x80, "privilege level not available for this user"},
    {CMD_SET_PRIVILEGE_LEVEL, 0x81, "privilege level exceeds the user's or channel's limit"},
    {CMD_SET_PRIVILEGE_LEVEL, 0x82, "cannot disable user level authentication"},
    {CMD_CLOSE_SESSION, 0x87, "invalid session ID"},
    {CMD_RESERVE_SEL, 0x81, "SEL erase in progress"},
    {CMD_GET_SEL_ENTRY, 0x81, "SEL erase in progress"},
    {0, 0xC0, "BMC busy"},
    {0, 0xC1, "command not supported"},
    {0, 0xC2, "command invalid for this LUN"},
    {0, 0xC3, "timed out while processing the command"},
    {0, 0xC4, "out of space"},
    {0, 0xC5, "reservation cancelled or invalid"},
    {0, 0xC6, "request data truncated"},
    {0, 0xC7, "request data length invalid"},
    {0, 0xC8, "request data field length limit exceeded"},
    {0, 0xC9, "parameter out of range"},
    {0, 0xCA, "cannot return the number of data bytes requested"},
    {0, 0xCB, "requested record not present"},
    {0, 0xCC, "invalid data field in request"},
    {0, 0xCD, "command illegal for this record type"},
    {0, 0xCE, "response could not be provided"},
    {0, 0xCF, "duplicated request"},
    {0, 0xD0, "SDR repository in update mode"},
    {0, 0xD1, "BMC in firmware update mode"},
    {0, 0xD2, "BMC initialization in progress"},
    {0, 0xD3, "destination unavailable"},
    {0, 0xD4, "insufficient privilege level"},
    {0, 0xD5, "not supported in the present state"},
    {0, 0xFF, "unspecified error"},
};

// Request netFn and command, from the frame's layout (with or without an authentication code).
void frame_command(const RequestFrame& frame, std::uint8_t& netfn, std::uint8_t& command) {
    const int shift = frame.bytes[4] == 0 ? 0 : 16;
    netfn = static_cast<std::uint8_t>(frame.bytes[15 + shift] >> 2);
    command = frame.bytes[19 + shift];
}

}  // namespace

const char* request_name(const RequestFrame& frame) {
    std::uint8_t netfn = 0;
    std::uint8_t command = 0;
    frame_command(frame, netfn, command);
    for (const CommandName& entry : COMMAND_NAMES) {
        if (entry.netfn == netfn && entry.command == command) {
            return entry.name;
        }
    }
    return "IPMI request";
}

const char* completion_code_meaning(std::uint8_t command, std::uint8_t code) {
    for (const CodeMeaning& entry : CODE_MEANINGS) {
        if (entry.code == code && (entry.command == command || entry.command == 0)) {
            return entry.meaning;
        }
    }
    return nullptr;
}

void describe_short_reply(const RequestFrame& frame, char (&text)[REPLY_REASON_SIZE]) {
    std::snprintf(text, sizeof text, "%s reply too short", request_name(frame));
}

void describe_refusal(const RequestFrame& frame, const ReplyBuffer& reply,
                      char (&text)[REPLY_REASON_SIZE]) {
    const char* name = request_name(frame);
    std::uint8_t netfn = 0;
    std::uint8_t command = 0;
    frame_command(frame, netfn, command);
    if (!reply_holds(reply, completion_code_position(reply))) {
        describe_short_reply(frame, text);
        return;
    }
    const std::uint8_t code = reply.bytes[completion_code_position(reply)];
    if (const char* meaning = completion_code_meaning(command, code)) {
        std::snprintf(text, sizeof text, "%s refused: %s (%02Xh)", name, meaning, code);
    } else {
        std::snprintf(text, sizeof text, "%s refused (%02Xh)", name, code);
    }
}

void describe_failed_reply(const RequestFrame& frame, const ReplyBuffer& reply,
                           char (&text)[REPLY_REASON_SIZE]) {
    if (check_reply(reply, REPLY_LENGTH_POSITION, CHECK_SUM)) {
        describe_refusal(frame, reply, text);
    } else {
        std::snprintf(text, sizeof text, "%s reply damaged: checksum does not match",
                      request_name(frame));
    }
}

}  // namespace tovrin
