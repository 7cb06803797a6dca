// The SEL dump file's line format: one line per SEL record, composed into a fixed
// buffer that the caller writes to the dump file (in binary mode) and whose write it checks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/lan_frame.h"

namespace tovrin {

// The longest line (record number INT32_MAX, svc column, CR LF) is 105 characters.
constexpr std::size_t SEL_LINE_CAPACITY = 128;

// Appends never write past the capacity; characters that would not fit are dropped.
struct SelLine {
    char text[SEL_LINE_CAPACITY];
    std::size_t length = 0;
};

// The 16 record bytes R[0..15] stand at reply bytes 23+k to 38+k, k = reply_shift(reply).
constexpr int SEL_RECORD_POSITION = 23;
constexpr int SEL_RECORD_SIZE = 16;

// Appends two upper-case hex digits of the low 8 bits of value (leading zero below 10h).
void write_hex_byte(unsigned value, SelLine& line);

// Appends the svc column's label and hex(R[2]); with show_sensor_number the label carries R[11]
// ("#12  svc"), without it the label is "#0   svc".
void write_svc_code(const ReplyBuffer& reply, SelLine& line, bool show_sensor_number);

// Appends the 24-character time text of t, e.g. "Fri Jun 19 06:11:41 2009". t is UTC seconds
// since 1970 over the whole unsigned 32-bit range, and every year divisible by four is a leap
// year, 2100 included (from 1 March 2100 the date is one day behind the Gregorian one).
void write_time_text(std::uint32_t t, SelLine& line);

// Replaces line's content with the whole line for the record in the Get SEL Entry reply, ending
// in "\r\n". record_number is 1 or more. The reply's length is not consulted.
void write_sel_line(const ReplyBuffer& reply, SelLine& line, std::int32_t record_number);

}  // namespace tovrin
