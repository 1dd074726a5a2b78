// Source lines and the token file. The source file record and the line
// counters that the driver also touches live in paasmlex_source.cpp.
//
// Pass 1 reads each line from the source, scans it and writes every token
// it hands out to the token file. Later passes read the tokens back. So
// that a statement which asks for fewer or more tokens in a later pass than
// in pass 1 cannot shift every following line, pass 1 records the file
// offset at which each line's tokens start; a later pass moves there when
// it starts the line, and a read at or beyond the next line's start gives
// an end of statement without touching the file.
//
// Both files go through large stream buffers, and the token file's
// position is counted here rather than asked of the system: a line costs
// no system call unless its records are not where the stream stands.
#include "paasmlex.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmpool.h"
#include "paasmquodra.h"
#include "paasmsym.h"
#include "platform.h"

Token current_token;
char line_buffer[LINE_BUFFER_SIZE];
bool end_of_source = false;

namespace {

constexpr size_t RECORD_SIZE = 6;
constexpr int LINE_READ_SIZE = LINE_BUFFER_SIZE - 1;  // 664 characters and the zero byte

// Token-file offset of the first record of every line of pass 1, one
// entry per lex_next_line call (the call that found the end included).
std::vector<long> line_offsets;
long end_record_offset = -1;  // where pass 1 wrote the end record
bool end_record_written = false;

// Pass 1: the offset at which the next record is written.
long write_position = 0;

// Reading passes: where the next record is read (-1: not known, as at the
// start of a pass, which rewinds the file), and the offset at which the
// current line's records end (-1: no bound known).
long read_position = 0;
long read_limit = -1;
bool records_exhausted = false;  // the end of the source, with no end record

// The token file's stream buffer, given to the stream at the start of
// each pass: large enough that the system is asked rarely, small enough
// to stay in the cache while records are copied in and out.
// It is never freed: the library may still flush the stream into it at exit.
constexpr size_t STREAM_BUFFER_SIZE = size_t{1} << 16;
char* token_stream_buffer = nullptr;

// The source is read in blocks of this size and split into lines here.
constexpr size_t SOURCE_BLOCK_SIZE = size_t{1} << 16;
std::vector<char> source_block;
size_t source_next = 0;  // first unread byte of source_block
size_t source_end = 0;   // one past the last byte read into it
bool source_at_end = false;
bool source_failed = false;
size_t line_length = 0;  // of the text in line_buffer, newline included

// A forward gap up to this size is read over rather than sought.
constexpr long SKIP_BY_READING = 8192;

void lex_give_token_buffer() {
    if (token_file == nullptr) return;
    if (token_stream_buffer == nullptr) token_stream_buffer = new char[STREAM_BUFFER_SIZE];
    std::setvbuf(token_file, token_stream_buffer, _IOFBF, STREAM_BUFFER_SIZE);
}

// Sets up the streams when a pass starts its first line: the token file's
// buffer and position, and an empty source block (the driver has just
// rewound the source).
void lex_begin_pass_streams() {
    lex_give_token_buffer();
    source_next = source_end = 0;
    source_at_end = source_failed = false;
    if (pass_number <= 1) {
        long position = token_file != nullptr ? std::ftell(token_file) : -1;
        write_position = position >= 0 ? position : 0;
    } else {
        read_position = -1;
    }
}

void lex_set_end_of_source_token() {
    current_token.code = TOK_END_OF_SOURCE;
    current_token.value = {};
    current_token.value.bytes[0] = 0xFF;
    current_token.value.bytes[1] = 0xFF;
}

// Reads on until the block holds a whole line's worth of bytes or the
// file ends; the unread rest moves to the front first.
void lex_fill_source_block(FILE* file) {
    if (source_block.empty()) source_block.resize(SOURCE_BLOCK_SIZE);
    if (source_next != 0) {
        std::memmove(source_block.data(), source_block.data() + source_next, source_end - source_next);
        source_end -= source_next;
        source_next = 0;
    }
    while (source_end < static_cast<size_t>(LINE_READ_SIZE - 1) && !source_at_end) {
        size_t got = std::fread(source_block.data() + source_end, 1, source_block.size() - source_end, file);
        if (got == 0) {
            source_at_end = true;
            source_failed = std::ferror(file) != 0;
        }
        source_end += got;
    }
}

// Reads the source's next line into line_buffer; false at its end. A line
// is at most 664 characters: up to and including a newline, or the first
// 664 characters of a longer line, whose rest is read as the next line.
bool lex_read_source_line() {
    FILE* file = current_source->file;
    if (file == nullptr) return false;
    const size_t most = static_cast<size_t>(LINE_READ_SIZE - 1);
    if (source_end - source_next < most && !source_at_end) lex_fill_source_block(file);
    if (source_next == source_end) {
        if (source_failed) diag_fatal(6);
        line_buffer[0] = '\0';
        line_length = 0;
        return false;
    }
    const char* text = source_block.data() + source_next;
    size_t available = std::min(source_end - source_next, most);
    const void* newline = std::memchr(text, '\n', available);
    size_t taken = newline != nullptr ? static_cast<size_t>(static_cast<const char*>(newline) - text) + 1 : available;
    std::memcpy(line_buffer, text, taken);
    source_next += taken;
    // A zero byte ends the line's text; an empty text is a lone newline,
    // and a text cut off by the read (or at the end of the file) gets the
    // newline it lacks.
    const void* zero = std::memchr(line_buffer, '\0', taken);
    size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - line_buffer) : taken;
    if (length == 0 || line_buffer[length - 1] != '\n') line_buffer[length++] = '\n';
    line_buffer[length] = '\0';
    line_length = length;
    return true;
}

// Keeps a copy of the line in pass 2 for the passes that follow.
void lex_save_line() {
    // A source that grew since pass 1 has no place in the saved-line
    // table and no tokens in the token file.
    if (lines_read >= line_total) diag_fatal(6);
    if (saved_lines == nullptr) return;  // no writer's pass follows
    size_t length = line_length;
    char* copy = static_cast<char*>(pool_alloc(length + 1, POOL_PASS));
    std::memcpy(copy, line_buffer, length + 1);
    saved_lines[lines_read] = copy;
}

// Moves the reading position to `offset`: nothing to do when the stream
// stands there; a short way forward is read over within the buffer.
void lex_seek_token_file(long offset) {
    if (offset == read_position) return;
    if (token_file == nullptr) diag_fatal(4);
    if (read_position >= 0 && offset > read_position && offset - read_position <= SKIP_BY_READING) {
        for (; read_position < offset; ++read_position) {
            if (getc_unlocked(token_file) == EOF) diag_fatal(4);
        }
        return;
    }
    if (std::fseek(token_file, offset, SEEK_SET) != 0) diag_fatal(4);
    read_position = offset;
}

// Positions a reading pass on the records of the line just started.
void lex_position_line_records() {
    records_exhausted = false;
    if (end_of_source) {
        if (end_record_offset >= 0) {
            lex_seek_token_file(end_record_offset);
            read_limit = end_record_offset + static_cast<long>(RECORD_SIZE);
        } else {
            records_exhausted = true;  // nothing left: the end of the source
        }
        return;
    }
    size_t index = static_cast<size_t>(pass_line_count - 1);
    if (index >= line_offsets.size()) {
        read_limit = -1;
        return;
    }
    lex_seek_token_file(line_offsets[index]);
    if (index + 1 < line_offsets.size())
        read_limit = line_offsets[index + 1];
    else
        read_limit = end_record_offset >= 0 ? end_record_offset + static_cast<long>(RECORD_SIZE)
                                            : -1;
}

// The scanner's error numbers carry no arguments; a number whose message
// wants one could only come from a damaged record.
int lex_reportable_error(int32_t number) {
    if (number <= 0 || static_cast<size_t>(number) >= std::size(error_message_table) - 1 ||
        error_message_table[number] == nullptr ||
        std::strchr(error_message_table[number], '%') != nullptr)
        return 0;
    return number;
}

}  // namespace

// ---- Token file ---------------------------------------------------------------

namespace {

// Reads `size` bytes of a record; a short read is a damaged token file.
void lex_read_record_bytes(uint8_t* bytes, size_t size) {
    if (!platform_read_exact(token_file, bytes, size)) diag_fatal(4);
}

// Fills a record of `size` bytes (6, 8 or 10) from the current token.
void lex_fill_record(uint8_t* record, size_t size) {
    uint32_t code = static_cast<uint32_t>(current_token.code);
    record[0] = static_cast<uint8_t>(code & 0xFF);
    record[1] = static_cast<uint8_t>((code >> 8) & 0xFF);
    // Fixed sizes, so that each copy is a move or two.
    switch (size) {
    case 6: std::memcpy(record + 2, current_token.value.bytes, 4); break;
    case 8: std::memcpy(record + 2, current_token.value.bytes, 6); break;
    default: std::memcpy(record + 2, current_token.value.bytes, 8); break;
    }
}

// Makes the record at `record` the current token; `record` holds at least
// its first 6 bytes. Answers how many more bytes the record has.
size_t lex_take_record_head(const uint8_t* record) {
    int16_t code = static_cast<int16_t>(static_cast<uint16_t>(record[0] | (record[1] << 8)));
    current_token.code = code;
    current_token.value = {};
    std::memcpy(current_token.value.bytes, record + 2, 4);
    return code == TOK_MNEMONIC ? 2 : code == TOK_FLOAT ? 4 : 0;
}

}  // namespace

void lex_write_token() {
    size_t size = current_token.code == TOK_MNEMONIC ? 8 : current_token.code == TOK_FLOAT ? 10 : RECORD_SIZE;
    if (token_file == nullptr) diag_fatal(5);
    // Straight into the stream's buffer when there is room.
    if (unsigned char* room = platform_stream_room(token_file, size)) {
        lex_fill_record(room, size);
        platform_stream_advance_write(token_file, size);
    } else {
        uint8_t record[10];
        lex_fill_record(record, size);
        if (!platform_write_all(token_file, record, size)) diag_fatal(5);
    }
    write_position += static_cast<long>(size);
}

void lex_read_token() {
    if (records_exhausted || (read_limit >= 0 && read_position >= read_limit)) {
        // Past the records of this line: pass 1 never asked for more.
        if (end_of_source) {
            lex_set_end_of_source_token();
        } else {
            current_token.code = TOK_END_OF_STATEMENT;
            current_token.value = {};
        }
        return;
    }
    if (token_file == nullptr) diag_fatal(4);
    size_t extra;
    if (const unsigned char* buffered = platform_stream_peek(token_file, RECORD_SIZE)) {
        extra = lex_take_record_head(buffered);
        platform_stream_advance_read(token_file, RECORD_SIZE);
    } else {
        uint8_t record[RECORD_SIZE];
        lex_read_record_bytes(record, RECORD_SIZE);
        extra = lex_take_record_head(record);
    }
    if (extra != 0) {
        uint8_t rest[4];
        lex_read_record_bytes(rest, extra);
        std::memcpy(current_token.value.bytes + 4, rest, extra);
    }
    if (read_position >= 0) read_position += static_cast<long>(RECORD_SIZE + extra);
}

void lex_reset() {
    line_offsets.clear();
    end_record_offset = -1;
    end_record_written = false;
    write_position = 0;
    read_position = 0;
    read_limit = -1;
    records_exhausted = false;
    source_next = source_end = 0;
    source_at_end = source_failed = false;
    line_length = 0;
    end_of_source = false;
}

// ---- Tokens and lines -----------------------------------------------------------

void lex_next_token() {
    if (pass_number <= 1) {
        if (end_of_source) {
            // The end record is written once; asking again changes nothing.
            lex_set_end_of_source_token();
            if (end_record_written) return;
            end_record_offset = token_file != nullptr ? write_position : -1;
            lex_write_token();
            end_record_written = true;
            return;
        }
        current_token.code =
            (report_flags & REPORT_END_SEEN) != 0 ? lex_skip_line() : lex_scan_token();
        lex_write_token();
    } else {
        lex_read_token();
    }
    if (current_token.code == TOK_ERROR) {
        diag_error(lex_reportable_error(current_token.value.integer));
        current_token.value.integer = -1;
    }
}

void lex_next_line() {
    scan_flags = 0;
    ++pass_line_count;
    if (pass_line_count == 1) lex_begin_pass_streams();
    pool_release(POOL_SCRATCH);
    end_of_source = false;

    if (pass_number >= 3) {
        if (!lex_fetch_saved_line(pass_line_count - 1))
            end_of_source = true;
        else
            ++current_source->line;
    } else {
        current_source->marks[2] = ' ';
        if (!lex_read_source_line()) {
            end_of_source = true;
        } else {
            if (pass_number == 2) lex_save_line();
            ++current_source->line;
            ++lines_read;
        }
    }

    scan_pointer = line_buffer;
    field_state = FIELD_LABEL;
    if (pass_number <= 1)
        line_offsets.push_back(token_file != nullptr ? write_position : -1);
    else
        lex_position_line_records();
    lex_next_token();
}

int32_t lex_skip_saved_lines(int32_t n) {
    if (n <= 0 || pass_number < 3 || pass_line_count < 1 || saved_lines == nullptr) return 0;
    // The next line read would be saved line pass_line_count.
    const int32_t left = line_total > pass_line_count ? line_total - pass_line_count : 0;
    const int32_t passed = n < left ? n : left;
    pass_line_count += passed;
    current_source->line += passed;
    return passed;
}

bool lex_fetch_saved_line(int32_t index) {
    if (index < 0 || index >= line_total || saved_lines == nullptr || saved_lines[index] == nullptr)
        return false;
    const char* text = saved_lines[index];
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(LINE_BUFFER_SIZE - 1)) length = LINE_BUFFER_SIZE - 1;
    std::memcpy(line_buffer, text, length);
    line_buffer[length] = '\0';
    return true;
}

// ---- Token references -------------------------------------------------------------

const char* lex_token_text() { return intern_text_at(current_token.value.ref); }

Symbol* lex_token_symbol() { return sym_symbol_at(current_token.value.ref); }

const MnemonicEntry* lex_token_mnemonic() {
    uint32_t row = current_token.value.ref;
    if (target_mnemonics == nullptr || row >= static_cast<uint32_t>(target_mnemonic_count))
        return nullptr;
    return &target_mnemonics[row];
}

uint16_t lex_token_suffix() {
    return static_cast<uint16_t>(current_token.value.bytes[4] | (current_token.value.bytes[5] << 8));
}

void lex_set_token_suffix(uint16_t suffix) {
    current_token.value.bytes[4] = static_cast<uint8_t>(suffix & 0xFF);
    current_token.value.bytes[5] = static_cast<uint8_t>(suffix >> 8);
}

const DirectiveEntry* lex_token_directive() {
    uint32_t row = current_token.value.ref;
    if (directive_table == nullptr || row >= static_cast<uint32_t>(directive_count)) return nullptr;
    return &directive_table[row];
}

const RegisterEntry* lex_token_register() {
    uint32_t row = current_token.value.ref;
    if (target_registers == nullptr || row >= static_cast<uint32_t>(target_register_count))
        return nullptr;
    return &target_registers[row];
}

const ConditionEntry* lex_token_condition() {
    uint32_t row = current_token.value.ref;
    if (target_conditions == nullptr || row >= static_cast<uint32_t>(target_condition_count))
        return nullptr;
    return &target_conditions[row];
}

size_t lex_fit_line_for_note(const char* text, size_t length, size_t note_length) {
    if (length + note_length <= LINE_WHOLE_MOST) return length;
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) --length;
    return length;
}
