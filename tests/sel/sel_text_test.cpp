// The SEL dump file's lines, byte for byte including the CR LF.
#include "sel/sel_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace tovrin {
namespace {

using Record = std::array<std::uint8_t, 16>;

constexpr std::uint8_t FILLER = 0xEE;  // every reply byte outside the record and byte 4

// "01 00 02 1D ..." -> the 16 record bytes.
Record record_from_hex(const char* text) {
    Record record{};
    char* end = nullptr;
    for (std::uint8_t& byte : record) {
        byte = static_cast<std::uint8_t>(std::strtoul(text, &end, 16));
        text = end;
    }
    return record;
}

// A Get SEL Entry reply with the record at 23+k..38+k; byte 4 is 04h (straight password) for
// k = 16 and 00h for k = 0, every other byte is FILLER.
ReplyBuffer make_reply(const Record& record, int k = 16) {
    ReplyBuffer reply;
    reply.bytes.fill(FILLER);
    reply.bytes[4] = k == 0 ? 0x00 : 0x04;
    for (std::size_t i = 0; i < record.size(); ++i) {
        reply.bytes[23 + k + i] = record[i];
    }
    reply.length = 39 + static_cast<std::size_t>(k);
    return reply;
}

std::string text_of(const SelLine& line) {
    return std::string(line.text, line.length);
}

std::string sel_line(const ReplyBuffer& reply, std::int32_t record_number) {
    SelLine line;
    write_sel_line(reply, line, record_number);
    return text_of(line);
}

// Six example lines, one for each shape of line.
TEST(SelLine, ExampleLines) {
    struct Row {
        std::int32_t record_number;
        const char* record;
        const char* expected;
    };
    const Row rows[] = {
        {3, "01 00 02 1D 2C 3B 4A 20 00 04 07 0C 6F 02 FF FF",
         "3=   Fri Jun 19 06:11:41 2009, #12  svc02026F07a"
         " 01 00 02 1D 2C 3B 4A 20 00 04 07 0C 6F 02 FF FF\r\n"},
        {10, "5A 01 02 1D 2C 3B 4A 20 00 04 01 30 81 07 52 4E",
         "10=  Fri Jun 19 06:11:41 2009, #48  svc02070101d"
         " 5A 01 02 1D 2C 3B 4A 20 00 04 01 30 81 07 52 4E\r\n"},
        {100, "2C 03 C1 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55",
         "100= Fri Jun 19 06:11:41 2009, #0   svcC13E     "
         " 2C 03 C1 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55\r\n"},
        {1, "40 00 E0 0B A5 01 02 03 04 05 06 07 08 09 0A 0B",
         "1=                           , #0   svcE00BA5   "
         " 40 00 E0 0B A5 01 02 03 04 05 06 07 08 09 0A 0B\r\n"},
        {2, "41 00 C5 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55",
         "2=   Fri Jun 19 06:11:41 2009,  41 00 C5 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55\r\n"},
        {4, "42 00 F0 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55",
         "4=                           ,  42 00 F0 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(sel_line(make_reply(record_from_hex(row.record)), row.record_number),
                  row.expected);
    }
}

// Time texts across the calendar rule's edges, directly and as the time stamp column of
// a record of type 01h (R[3] the least significant byte).
TEST(SelLine, TimeTexts) {
    struct Row {
        std::uint32_t t;
        const char* expected;
    };
    const Row rows[] = {
        {0x00000000, "Thu Jan 01 00:00:00 1970"},
        {0x05A4EBFF, "Sun Dec 31 23:59:59 1972"},  // last second of a leap year
        {0x05A4EC00, "Mon Jan 01 00:00:00 1973"},
        {0x06050403, "Wed Mar 14 21:20:03 1973"},
        {0x38BB0C00, "Tue Feb 29 00:00:00 2000"},
        {0x38BC5D80, "Wed Mar 01 00:00:00 2000"},
        {0x4A3B2C1D, "Fri Jun 19 06:11:41 2009"},
        {0x7FFFFFFF, "Tue Jan 19 03:14:07 2038"},
        {0x80000000, "Tue Jan 19 03:14:08 2038"},  // unsigned: never before 1970
        {0xF4D41F7F, "Sun Feb 28 23:59:59 2100"},
        {0xF4D41F80, "Mon Feb 29 00:00:00 2100"},  // 2100 is a leap year here
        {0xF4D57100, "Tue Mar 01 00:00:00 2100"},
        {0xF668DBFF, "Sat Dec 31 23:59:59 2100"},  // day 366 of 2100
        {0xF668DC00, "Sun Jan 01 00:00:00 2101"},
        {0xFFFFFFFF, "Sun Feb 06 06:28:15 2106"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        SelLine line;
        write_time_text(row.t, line);
        EXPECT_EQ(text_of(line), row.expected);

        Record record = record_from_hex("01 00 01 00 00 00 00 20 00 04 07 0C 6F 02 FF FF");
        for (int i = 0; i < 4; ++i) {
            record[3 + i] = static_cast<std::uint8_t>(row.t >> (8 * i));
        }
        EXPECT_EQ(sel_line(make_reply(record), 1).substr(5, 26), std::string(row.expected) + ", ");
    }
}

TEST(SelLine, RecordNumberWidths) {
    struct Row {
        std::int32_t record_number;
        const char* field;
    };
    const Row rows[] = {
        {1, "1=   "},   {9, "9=   "},   {10, "10=  "},    {99, "99=  "},
        {100, "100= "}, {999, "999= "}, {1000, "1000= "}, {2147483647, "2147483647= "},
    };
    const Record record = record_from_hex("42 00 F0 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55");
    const std::string rest =
        "                        ,  42 00 F0 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55\r\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.field);
        EXPECT_EQ(sel_line(make_reply(record), row.record_number), row.field + rest);
    }
}

// The svc label with the sensor number R[11], from write_svc_code and in a whole line.
TEST(SelLine, SensorNumberWidths) {
    struct Row {
        std::uint8_t sensor_number;
        const char* label;
    };
    const Row rows[] = {
        {0, "#0   svc"},  {9, "#9   svc"},   {10, "#10  svc"},
        {99, "#99  svc"}, {100, "#100 svc"}, {255, "#255 svc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Record record = record_from_hex("01 00 02 1D 2C 3B 4A 20 00 04 07 00 6F 02 FF FF");
        record[11] = row.sensor_number;
        const ReplyBuffer reply = make_reply(record);

        SelLine with_number;
        write_svc_code(reply, with_number, true);
        EXPECT_EQ(text_of(with_number), std::string(row.label) + "02");

        SelLine without_number;
        write_svc_code(reply, without_number, false);
        EXPECT_EQ(text_of(without_number), "#0   svc02");

        const std::string line = sel_line(reply, 3);
        EXPECT_EQ(line.substr(31, 17), std::string(row.label) + "02026F07a");
        EXPECT_EQ(line.size(), 96u + 2u);
    }
}

// Which record types get a time stamp and an svc column. Record:
// 41 00 TT 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55, record number 7.
TEST(SelLine, RecordTypes) {
    constexpr const char* TIME = "Fri Jun 19 06:11:41 2009, ";
    constexpr const char* BLANK = "                        , ";
    struct Row {
        std::uint8_t type;
        const char* type_hex;
        const char* time_column;
        const char* svc_column;
    };
    const Row rows[] = {
        {0x00, "00", TIME, ""},
        {0x01, "01", TIME, ""},
        {0x02, "02", TIME, "#17  svc0203223Ea"},
        {0x03, "03", TIME, ""},
        {0xBF, "BF", TIME, ""},
        {0xC0, "C0", TIME, "#0   svcC03E     "},
        {0xC1, "C1", TIME, "#0   svcC13E     "},
        {0xC2, "C2", TIME, ""},
        {0xDF, "DF", TIME, ""},
        {0xE0, "E0", BLANK, "#0   svcE01D2C   "},
        {0xE1, "E1", BLANK, "#0   svcE11D2C   "},
        {0xE2, "E2", BLANK, ""},
        {0xFF, "FF", BLANK, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type_hex);
        Record record = record_from_hex("41 00 00 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55");
        record[2] = row.type;
        const std::string expected = std::string("7=   ") + row.time_column + row.svc_column +
                                     " 41 00 " + row.type_hex +
                                     " 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55\r\n";
        EXPECT_EQ(sel_line(make_reply(record), 7), expected);
    }
}

TEST(SelLine, HexBytes) {
    struct Row {
        unsigned value;
        const char* expected;
    };
    const Row rows[] = {
        {0x00, "00"}, {0x01, "01"}, {0x0A, "0A"},  {0x0F, "0F"},  {0x10, "10"},
        {0xA5, "A5"}, {0xFF, "FF"}, {0x100, "00"}, {0x1AB, "AB"}, {0xFFFFFFFF, "FF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        SelLine line;
        write_hex_byte(row.value, line);
        EXPECT_EQ(text_of(line), row.expected);
    }
}

// Every hexadecimal position of a line with a leading zero, the svc column's too.
TEST(SelLine, LeadingZerosInEveryPosition) {
    const Record record = record_from_hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    EXPECT_EQ(sel_line(make_reply(record), 5),
              "5=   Wed Mar 14 21:20:03 1973, #11  svc020D0C0Aa"
              " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n");
}

// The svc column shows R[13] AND 0Fh, R[12] AND 7Fh and bit 7 of R[12] as a or d; the raw bytes
// keep the whole values.
TEST(SelLine, EventMasks) {
    struct Row {
        std::uint8_t r12;
        std::uint8_t r13;
        const char* raw12_13;
        const char* svc_tail;
    };
    const Row rows[] = {
        {0x6F, 0x02, "6F 02", "026F01a"}, {0xEF, 0xA2, "EF A2", "026F01d"},
        {0x80, 0xF0, "80 F0", "000001d"}, {0x7F, 0x0F, "7F 0F", "0F7F01a"},
        {0x00, 0x00, "00 00", "000001a"}, {0xFF, 0xFF, "FF FF", "0F7F01d"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.raw12_13);
        Record record = record_from_hex("5A 01 02 1D 2C 3B 4A 20 00 04 01 30 00 00 52 4E");
        record[12] = row.r12;
        record[13] = row.r13;
        const std::string expected = std::string("10=  Fri Jun 19 06:11:41 2009, #48  svc02") +
                                     row.svc_tail + " 5A 01 02 1D 2C 3B 4A 20 00 04 01 30 " +
                                     row.raw12_13 + " 52 4E\r\n";
        EXPECT_EQ(sel_line(make_reply(record), 10), expected);
    }
}

// The record stands at 23..38 when reply byte 4 is 00h and at 39..54 for any other value; the
// reply's length is not consulted. Built by hand rather than with make_reply.
TEST(SelLine, RecordPositionFollowsReplyByteFour) {
    struct Row {
        std::uint8_t auth_type;
        std::size_t record_position;
        std::size_t length;
    };
    const Row rows[] = {
        {0x00, 23, 39}, {0x04, 39, 55}, {0x02, 39, 55},
        {0xFF, 39, 55}, {0x00, 23, 0},  {0x04, 39, 0},
    };
    const Record record = record_from_hex("01 00 02 1D 2C 3B 4A 20 00 04 07 0C 6F 02 FF FF");
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "byte 4 " << int{row.auth_type} << ", length " << row.length);
        ReplyBuffer reply;
        reply.bytes.fill(FILLER);
        reply.bytes[4] = row.auth_type;
        for (std::size_t i = 0; i < record.size(); ++i) {
            reply.bytes[row.record_position + i] = record[i];
        }
        reply.length = row.length;
        EXPECT_EQ(sel_line(reply, 3),
                  "3=   Fri Jun 19 06:11:41 2009, #12  svc02026F07a"
                  " 01 00 02 1D 2C 3B 4A 20 00 04 07 0C 6F 02 FF FF\r\n");
    }
}

// write_sel_line replaces what the line held; the other three operations append to it.
TEST(SelLine, WholeLineReplacesThePartsAppend) {
    const ReplyBuffer reply =
        make_reply(record_from_hex("42 00 F0 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55"));
    SelLine line;
    write_time_text(0, line);
    write_hex_byte(0x5A, line);
    write_svc_code(reply, line, false);
    EXPECT_EQ(text_of(line), "Thu Jan 01 00:00:00 19705A#0   svcF0");

    write_sel_line(reply, line, 4);
    EXPECT_EQ(
        text_of(line),
        "4=                           ,  42 00 F0 1D 2C 3B 4A 57 01 00 3E 11 22 33 44 55\r\n");
}

// Every record type with extreme bytes and record numbers gives a line of the specified width,
// printable ASCII ending in CR LF, within the buffer.
TEST(SelLine, EveryRecordTypeFitsTheBuffer) {
    const std::int32_t record_numbers[] = {1, 999, 1000, std::numeric_limits<std::int32_t>::max()};
    for (unsigned type = 0; type <= 0xFF; ++type) {
        for (const std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            Record record;
            record.fill(fill);
            record[2] = static_cast<std::uint8_t>(type);
            const bool svc =
                type == 0x02 || type == 0xC0 || type == 0xC1 || type == 0xE0 || type == 0xE1;
            for (const std::int32_t number : record_numbers) {
                SCOPED_TRACE(testing::Message() << "type " << type << ", number " << number);
                const std::size_t number_width =
                    std::max<std::size_t>(5, std::to_string(number).size() + 2);
                const std::string line = sel_line(make_reply(record), number);
                ASSERT_LE(line.size(), SEL_LINE_CAPACITY);
                EXPECT_EQ(line.size(), number_width + 26 + (svc ? 17 : 0) + 48 + 2);
                EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
                for (std::size_t i = 0; i + 2 < line.size(); ++i) {
                    EXPECT_TRUE(line[i] >= 0x20 && line[i] <= 0x7E) << "position " << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tovrin
