#include "sel/sel_text.h"

namespace tovrin {

namespace {

constexpr std::uint8_t TYPE_SYSTEM_EVENT = 0x02;
constexpr std::uint8_t TYPE_FIRST_WITHOUT_TIME = 0xE0;

constexpr std::uint32_t HOURS_PER_FOUR_YEARS = 35064;  // 1461 days
constexpr std::uint32_t HOURS_PER_LEAP_YEAR = 8784;
constexpr std::uint32_t HOURS_PER_COMMON_YEAR = 8760;

constexpr const char* WEEKDAY_NAMES[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MONTH_NAMES[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::uint32_t MONTH_DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

void append_char(char c, SelLine& line) {
    if (line.length < SEL_LINE_CAPACITY) {
        line.text[line.length++] = c;
    }
}

void append_text(const char* text, SelLine& line) {
    for (; *text != '\0'; ++text) {
        append_char(*text, line);
    }
}

// "%d": decimal, with a minus sign for a negative value.
void append_decimal(std::int64_t value, SelLine& line) {
    if (value < 0) {
        append_char('-', line);
        value = -value;
    }
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        append_char(digits[--count], line);
    }
}

// "%02d" for a value below 100.
void append_two_digits(std::uint32_t value, SelLine& line) {
    append_char(static_cast<char>('0' + value / 10), line);
    append_char(static_cast<char>('0' + value % 10), line);
}

// The spaces that follow a number so that every number up to 999 takes the same width: three for
// 9 or less, two for 10 to 99, one from 100 up.
void append_number_pad(std::int64_t value, SelLine& line) {
    append_text(value <= 9 ? "   " : value <= 99 ? "  " : " ", line);
}

}  // namespace

void write_hex_byte(unsigned value, SelLine& line) {
    constexpr const char* HEX_DIGITS = "0123456789ABCDEF";
    append_char(HEX_DIGITS[(value >> 4) & 0x0F], line);
    append_char(HEX_DIGITS[value & 0x0F], line);
}

void write_svc_code(const ReplyBuffer& reply, SelLine& line, bool show_sensor_number) {
    const std::uint8_t* record = &reply.bytes[SEL_RECORD_POSITION + reply_shift(reply)];
    const std::uint8_t sensor_number = show_sensor_number ? record[11] : 0;
    append_char('#', line);
    append_decimal(sensor_number, line);
    append_number_pad(sensor_number, line);
    append_text("svc", line);
    write_hex_byte(record[2], line);
}

void write_time_text(std::uint32_t t, SelLine& line) {
    const std::uint32_t second = t % 60;
    const std::uint32_t minute = (t / 60) % 60;
    const std::uint32_t hours = t / 3600;

    const std::uint32_t cycles = hours / HOURS_PER_FOUR_YEARS;
    std::uint32_t year = 1970 + 4 * cycles;
    std::uint32_t h = hours % HOURS_PER_FOUR_YEARS;
    std::uint32_t days = 1461 * cycles;
    for (;;) {
        const std::uint32_t year_hours =
            year % 4 == 0 ? HOURS_PER_LEAP_YEAR : HOURS_PER_COMMON_YEAR;
        if (h < year_hours) {
            break;
        }
        h -= year_hours;
        days += year_hours / 24;
        ++year;
    }

    const std::uint32_t hour = h % 24;
    const std::uint32_t day_of_year = h / 24;
    const std::uint32_t weekday = (days + day_of_year + 4) % 7;

    std::uint32_t d = day_of_year + 1;
    std::uint32_t month = 0;
    if (year % 4 == 0 && d == 60) {
        month = 1;  // 29 February
        d = 29;
    } else {
        if (year % 4 == 0 && d > 60) {
            --d;
        }
        while (d > MONTH_DAYS[month]) {
            d -= MONTH_DAYS[month];
            ++month;
        }
    }

    // "%s %s %02d %02d:%02d:%02d %4d"; the year always has four digits (1970-2106).
    append_text(WEEKDAY_NAMES[weekday], line);
    append_char(' ', line);
    append_text(MONTH_NAMES[month], line);
    append_char(' ', line);
    append_two_digits(d, line);
    append_char(' ', line);
    append_two_digits(hour, line);
    append_char(':', line);
    append_two_digits(minute, line);
    append_char(':', line);
    append_two_digits(second, line);
    append_char(' ', line);
    append_decimal(year, line);
}

void write_sel_line(const ReplyBuffer& reply, SelLine& line, std::int32_t record_number) {
    const std::uint8_t* record = &reply.bytes[SEL_RECORD_POSITION + reply_shift(reply)];
    const std::uint8_t type = record[2];
    line.length = 0;

    append_decimal(record_number, line);
    append_char('=', line);
    append_number_pad(record_number, line);
    if (type >= TYPE_FIRST_WITHOUT_TIME) {
        append_text("                        , ", line);
    } else {
        const std::uint32_t t = static_cast<std::uint32_t>(record[3]) |
                                static_cast<std::uint32_t>(record[4]) << 8 |
                                static_cast<std::uint32_t>(record[5]) << 16 |
                                static_cast<std::uint32_t>(record[6]) << 24;
        write_time_text(t, line);
        append_text(", ", line);
    }

    if (type == TYPE_SYSTEM_EVENT) {
        write_svc_code(reply, line, true);
        write_hex_byte(record[13] & 0x0F, line);
        write_hex_byte(record[12] & 0x7F, line);
        write_hex_byte(record[10], line);
        append_char((record[12] & 0x80) == 0 ? 'a' : 'd', line);
    } else if (type == 0xC0 || type == 0xC1) {
        write_svc_code(reply, line, false);
        write_hex_byte(record[10], line);
        append_text("     ", line);
    } else if (type == 0xE0 || type == 0xE1) {
        write_svc_code(reply, line, false);
        write_hex_byte(record[3], line);
        write_hex_byte(record[4], line);
        append_text("   ", line);
    }

    for (int i = 0; i < SEL_RECORD_SIZE; ++i) {
        append_char(' ', line);
        write_hex_byte(record[i], line);
    }
    append_text("\r\n", line);
}

}  // namespace tovrin
