#include "sel/sel_dump.h"

#include <bitset>

#include "sel/dump_file.h"
#include "sel/sel_text.h"

namespace tovrin {

namespace {

enum class DumpOutcome { SAVED, EMPTY, REFUSED, WRITE_FAILED, INCOMPLETE, SESSION_LOST };

constexpr std::uint8_t RECORD_NOT_PRESENT = 0xCB;  // what the first request finds in an empty log

constexpr int NEXT_RECORD_ID_OFFSET = 1;  // right after the completion code

int next_record_id_position(const ReplyBuffer& reply) {
    return completion_code_position(reply) + NEXT_RECORD_ID_OFFSET;
}

// Follows the chain of next-record IDs from the first record, writing one line per record.
DumpOutcome copy_records(Session& session, DumpFile& file) {
    const std::uint32_t pace_ms = session.control->settings.pace_ms;
    std::bitset<65536> asked;  // record IDs this dump has requested, to stop a chain that loops
    std::uint8_t id_low = 0;
    std::uint8_t id_high = 0;
    asked.set(0);
    std::int32_t record_count = 0;
    int refusals = 0;
    SelLine line;
    for (;;) {
        const std::size_t length =
            build_get_sel_entry(session.frame, next_sequence(session), id_low, id_high);
        if (!exchange(session, length) || !check_answer(session, CHECK_SUM)) {
            return DumpOutcome::SESSION_LOST;
        }
        if (!check_reply(session.reply, REPLY_LENGTH_POSITION, CHECK_CODE)) {
            // Only "not present" says the log is empty; any other refusal of the first request
            // (too little privilege, say) leaves the log unread, and the status line says why.
            if (record_count == 0) {
                if (session.reply.bytes[completion_code_position(session.reply)] ==
                    RECORD_NOT_PRESENT) {
                    return DumpOutcome::EMPTY;
                }
                check_answer(session, CHECK_CODE);
                return DumpOutcome::REFUSED;
            }
            pause_ms(pace_ms);
            if (++refusals > SEL_RECORD_RETRIES) {
                return DumpOutcome::INCOMPLETE;
            }
            continue;
        }
        // A reply too short for its record would leave bytes of an earlier reply in the line.
        const int record_end =
            SEL_RECORD_POSITION + reply_shift(session.reply) + SEL_RECORD_SIZE - 1;
        if (!reply_holds(session.reply, record_end)) {
            reply_too_short(session);
            return DumpOutcome::SESSION_LOST;
        }
        refusals = 0;
        ++record_count;
        write_sel_line(session.reply, line, record_count);
        if (!append_line(file, line.text, line.length)) {
            return DumpOutcome::WRITE_FAILED;
        }
        session.control->records_written.store(static_cast<std::uint32_t>(record_count));
        pause_ms(pace_ms);
        if (sel_last_record(session.reply)) {
            return DumpOutcome::SAVED;
        }
        id_low = next_record_id(session.reply, 0);
        id_high = next_record_id(session.reply, 1);
        const unsigned id = id_low | (id_high << 8);
        if (asked.test(id) || record_count >= SEL_MAX_RECORDS) {
            return DumpOutcome::INCOMPLETE;
        }
        asked.set(id);
    }
}

}  // namespace

bool sel_last_record(const ReplyBuffer& reply) {
    return next_record_id(reply, 0) == 0xFF && next_record_id(reply, 1) == 0xFF;
}

std::uint8_t next_record_id(const ReplyBuffer& reply, int i) {
    return reply.bytes[next_record_id_position(reply) + i];
}

bool dump_sel(Session& session) {
    session.control->records_written.store(0);
    set_status(session, "Opening file ...");
    DumpFile file;
    if (!open_dump_file(file, session.control->dump_path)) {
        set_status(session, "Error, Unable to open file");
        notify(session, UM_SEL_FAILED);
        return true;
    }
    set_status(session, "Requesting SEL data");
    DumpOutcome outcome = copy_records(session, file);
    // The file is closed before anything is reported, so every line written is on disk by the time
    // the front end hears how the dump ended, even when the session is lost.
    if (!close_dump_file(file) && outcome != DumpOutcome::SESSION_LOST) {
        outcome = DumpOutcome::WRITE_FAILED;
    }
    switch (outcome) {
        case DumpOutcome::SAVED:
            notify(session, UM_SEL_SAVED);
            return true;
        case DumpOutcome::EMPTY:
            notify(session, UM_SEL_EMPTY);
            pause_ms(session.control->settings.pace_ms);
            return true;
        case DumpOutcome::REFUSED:
            notify(session, UM_SEL_FAILED);
            return true;
        case DumpOutcome::WRITE_FAILED:
            set_status(session, "Error, Unable to write file");
            notify(session, UM_SEL_FAILED);
            return true;
        case DumpOutcome::INCOMPLETE:
            set_status(session, "Error, SEL read incomplete");
            notify(session, UM_SEL_FAILED);
            return true;
        case DumpOutcome::SESSION_LOST:
            break;
    }
    return false;
}

}  // namespace tovrin
