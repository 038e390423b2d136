#include "dbf_memo_file.h"

#include <cstring>

#include "dbf_exception.h"
#include "tk_logger.h"

namespace {

[[noreturn]] void corrupted() { throw dbf_exception("Memo file is corrupted"); }
[[noreturn]] void read_failed() { throw dbf_exception("Failed to read MEMO field"); }

// Reads from position up to (not including) the first stop byte or the end of
// the file, in chunks.
std::string read_until(dbf_file& file, uint64_t position, char stop) {
    std::string text;
    char chunk[4096];
    while (position < file.size()) {
        size_t want = size_t(std::min<uint64_t>(sizeof chunk, file.size() - position));
        size_t got = file.get_some(position, chunk, want);
        if (got == 0) read_failed();
        const void* hit = std::memchr(chunk, stop, got);
        if (hit != nullptr) {
            text.append(chunk, static_cast<const char*>(hit) - chunk);
            break;
        }
        text.append(chunk, got);
        position += got;
    }
    return text;
}

// Reads a memo of a length-prefixed layout (dBASE IV, FoxPro): the checks
// shared by both.  A length beyond the file or negative is a memo that cannot
// be read: its text is not there.
std::string read_sized(dbf_file& file, uint64_t position, int64_t length) {
    tk_log(1, "MEMO length=%d", int(length));
    if (length < 0 || uint64_t(length) > file.size() - (position + 8)) {
        tk_log(1, "MEMO has invalid size");
        read_failed();
    }
    if (length == 0) {
        tk_log(1, "Got empty MEMO");
        return {};
    }
    std::string text(size_t(length), '\0');
    try {
        file.get_at(position + 8, text.data(), text.size());
    } catch (const tk_exception&) {
        read_failed();
    }
    return text;
}

}  // namespace

uint32_t dbf_text_block_number(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    if (i < field.size() && field[i] == '+') ++i;
    uint64_t value = 0;
    size_t digits = 0;
    while (i < field.size() && field[i] >= '0' && field[i] <= '9' && value <= 0xFFFFFFFFu) {
        value = value * 10 + uint64_t(field[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || value > 0xFFFFFFFFu) {
        tk_log(1, "Invalid MEMO block!");
        return 0;
    }
    return uint32_t(value);
}

uint32_t dbf_memo_block(dbf_memo_type type, std::string_view field) {
    switch (type) {
        case dbf_memo_none:
            return 0;
        case dbf_memo_smt:
            if (field.size() < 10 || field.find_first_not_of(' ') == field.npos) {
                tk_log(1, "No MEMO block!");
                return 0;
            }
            return dbf_le32(reinterpret_cast<const unsigned char*>(field.data()) + 6);
        case dbf_memo_vfp:
        case dbf_memo_dct:
            // Visual FoxPro stores the block as a 4-byte integer in an M4
            // field, also in database containers; FoxPro 2 writes digits.
            if (field.size() == 4)
                return dbf_le32(reinterpret_cast<const unsigned char*>(field.data()));
            return dbf_text_block_number(field);
        default:
            return dbf_text_block_number(field);
    }
}

dbf_memo_file::dbf_memo_file(std::unique_ptr<dbf_file> file) : file_(std::move(file)) {
    tk_log(2, "dbf_memo_file::ctor");
}

dbf_memo_file::~dbf_memo_file() = default;

uint32_t dbf_memo_file::get_block_number(std::string_view field) {
    return dbf_text_block_number(field);
}

void dbf_memo_file::write_memo(uint32_t block, std::string_view text) {
    tk_log(1, "dbf_memo_file::write_memo(%d,%s)", int(block), std::string(text));
}

uint32_t dbf_memo_file::append_memo(std::string_view, bool) {
    throw dbf_exception("Memo fields of this table format cannot be written");
}

void dbf_memo_file::flush() {}

// ---- dBASE III ----

old_memo_file::old_memo_file(std::unique_ptr<dbf_file> file, create_tag)
    : dbf_memo_file(std::move(file)) {
    tk_log(2, "old_memo_file::ctor");
}

old_memo_file::old_memo_file(const std::string& path, bool writable)
    : dbf_memo_file(std::make_unique<dbf_file>(path, writable)) {
    tk_log(2, "old_memo_file::ctor");
    if (file_->size() < 4) read_failed();
    next_block_ = file_->get_u32(0);
    tk_log(1, "Next block=%d", int(next_block_));
    if (next_block_ == 0) read_failed();
}

std::unique_ptr<old_memo_file> old_memo_file::create(const std::string& path) {
    std::unique_ptr<old_memo_file> memo(new old_memo_file(dbf_file::create(path), create_tag{}));
    unsigned char header[17] = {};
    dbf_put_le32(header, 1);
    header[16] = 0x03;
    memo->file_->put_at(0, header, sizeof header);
    memo->next_block_ = 1;
    return memo;
}

old_memo_file::~old_memo_file() {
    try {
        flush();
    } catch (const std::exception& e) {
        tk_log(3, "ERROR: memos of %s were not written: %s", file_->path(), e.what());
    }
}

std::string old_memo_file::read_memo(uint32_t block) {
    tk_log(1, "old_memo_file::read_memo(%d)", int(block));
    flush();
    const uint64_t position = uint64_t(block) * block_size;
    tk_log(1, "Reading MEMO at position=%lld", (long long)position);
    if (position >= file_->size()) {
        tk_log(3, "Reading MEMO out of range");
        read_failed();
    }
    try {
        return read_until(*file_, position, 0x1A);
    } catch (const dbf_exception&) {
        throw;
    } catch (const tk_exception&) {
        read_failed();
    }
}

void old_memo_file::write_memo(uint32_t block, std::string_view text) {
    tk_log(1, "old_memo_file::write_memo(%d,%s)", int(block), std::string(text));
    if (text.empty()) return;
    flush();
    const uint64_t position = uint64_t(block) * block_size;
    const uint64_t blocks = (uint64_t(text.size()) + 2 + block_size - 1) / block_size;
    tk_log(1, "pos=%lld, memo_length=%d, n_blocks=%d", (long long)position, int(text.size()),
           int(blocks));
    if (uint64_t(block) + blocks > 0xFFFFFFFFu) throw dbf_exception("Memo file is full");
    std::string buffer;
    buffer.reserve(text.size() + 2);
    buffer.append(text);
    buffer.append("\x1A\x1A", 2);
    file_->put_at(position, buffer.data(), buffer.size());
    next_block_ = uint32_t(block + blocks);
    unsigned char word[4];
    dbf_put_le32(word, next_block_);
    file_->put_at(0, word, 4);
}

uint32_t old_memo_file::append_memo(std::string_view text, bool) {
    TK_ASSERT(!text.empty());
    const uint32_t block = next_block_;
    const uint64_t position = uint64_t(block) * block_size;
    const uint64_t blocks = (uint64_t(text.size()) + 2 + block_size - 1) / block_size;
    tk_log(1, "old_memo_file::write_memo(%d,%s)", int(block), std::string(text));
    tk_log(1, "pos=%lld, memo_length=%d, n_blocks=%d", (long long)position, int(text.size()),
           int(blocks));
    if (uint64_t(block) + blocks > 0xFFFFFFFFu) throw dbf_exception("Memo file is full");
    if (pending_.empty())
        pending_at_ = position;
    else
        pending_.resize(size_t(position - pending_at_), '\0');  // the rest of the last block
    pending_.append(text);
    pending_.append("\x1A\x1A", 2);
    next_block_ = uint32_t(block + blocks);
    header_dirty_ = true;
    if (pending_.size() >= batch_bytes) flush();
    return block;
}

void old_memo_file::flush() {
    if (!pending_.empty()) {
        file_->put_at(pending_at_, pending_.data(), pending_.size());
        pending_.clear();
    }
    if (header_dirty_) {
        unsigned char word[4];
        dbf_put_le32(word, next_block_);
        file_->put_at(0, word, 4);
        header_dirty_ = false;
    }
}

// ---- dBASE IV ----

dbt_memo_file::dbt_memo_file(const std::string& path)
    : dbf_memo_file(std::make_unique<dbf_file>(path, false)) {
    tk_log(2, "dbt_memo_file::ctor");
    if (file_->size() < 24) corrupted();
    block_size_ = file_->get_u32(20);
    if (block_size_ == 0) {
        tk_log(1, "DBT block size=%d", int(block_size_));
        corrupted();
    }
}

std::string dbt_memo_file::read_memo(uint32_t block) {
    tk_log(1, "dbt_memo_file::read_memo(%d)", int(block));
    const uint64_t position = uint64_t(block) * block_size_;
    tk_log(1, "Reading MEMO at position=%lld", (long long)position);
    if (position + 8 > file_->size()) {
        tk_log(1, "Reading MEMO out of range");
        read_failed();
    }
    const int64_t length = int64_t(file_->get_u32(position + 4)) - 8;
    return read_sized(*file_, position, length);
}

// ---- FoxPro ----

fpt_memo_file::fpt_memo_file(const std::string& path, dbf_memo_type memo_type, bool writable)
    : dbf_memo_file(std::make_unique<dbf_file>(path, writable)), memo_type_(memo_type) {
    tk_log(2, "fpt_memo_file::ctor");
    if (file_->size() < 8) corrupted();
    unsigned char head[8];
    file_->get_at(0, head, sizeof head);
    block_size_ = dbf_be16(head + 6);
    next_block_ = dbf_be32(head);
    if (block_size_ == 0) {
        tk_log(1, "FPT block size=%d", int(block_size_));
        corrupted();
    }
    // Appending starts at the next free block, which must lie past the
    // header: an earlier one would overwrite it (or memos).
    if (writable && (file_->size() < header_size ||
                     uint64_t(next_block_) * block_size_ < header_size))
        corrupted();
}

fpt_memo_file::fpt_memo_file(std::unique_ptr<dbf_file> file, create_tag)
    : dbf_memo_file(std::move(file)), memo_type_(dbf_memo_vfp) {
    tk_log(2, "fpt_memo_file::ctor");
}

std::unique_ptr<fpt_memo_file> fpt_memo_file::create(const std::string& path) {
    std::unique_ptr<fpt_memo_file> memo(new fpt_memo_file(dbf_file::create(path), create_tag{}));
    memo->block_size_ = default_block_size;
    memo->next_block_ = header_size / default_block_size;
    std::string header(header_size, '\0');
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    for (int i = 0; i < 4; ++i) h[i] = uint8_t(memo->next_block_ >> (24 - 8 * i));
    h[6] = uint8_t(default_block_size >> 8);
    h[7] = uint8_t(default_block_size);
    memo->file_->put_at(0, header.data(), header.size());
    return memo;
}

fpt_memo_file::~fpt_memo_file() {
    try {
        flush();
    } catch (const std::exception& e) {
        tk_log(3, "ERROR: memos of %s were not written: %s", file_->path(), e.what());
    }
}

bool fpt_memo_file::reads_as_decimal_reference(uint32_t block) {
    // The four bytes as a reader of decimal references sees them: NULs as
    // blanks, leading blanks and control codes skipped, then a sign or a
    // digit starts a number.
    unsigned char b[4];
    dbf_put_le32(b, block);
    size_t i = 0;
    while (i < 4 && (b[i] == 0 || b[i] <= 0x20)) ++i;
    if (i < 4 && (b[i] == '+' || b[i] == '-')) ++i;
    return i < 4 && b[i] >= '0' && b[i] <= '9';
}

uint32_t fpt_memo_file::append_memo(std::string_view text, bool binary) {
    TK_ASSERT(!text.empty() && file_->writable());
    // LibreOffice reads every memo reference as decimal digits, also the
    // 4-byte binary ones of Visual FoxPro tables, so it shows their memos as
    // empty; a block number whose bytes happen to read as digits would show
    // another memo instead.  Such block numbers are left unused (about one
    // block in twenty).
    uint32_t block = next_block_;
    while (reads_as_decimal_reference(block)) ++block;
    const uint64_t position = uint64_t(block) * block_size_;
    const uint64_t length = 8 + uint64_t(text.size());
    const uint64_t blocks = (length + block_size_ - 1) / block_size_;
    tk_log(1, "fpt_memo_file::append_memo(%d, %d bytes)", int(block), int(text.size()));
    if (text.size() > 0x7FFFFFFFu || uint64_t(block) + blocks > 0xFFFFFFFFu)
        throw dbf_exception("Memo file is full");
    if (pending_.empty())
        pending_at_ = position;
    else
        pending_.resize(size_t(position - pending_at_), '\0');  // the blocks left unused
    unsigned char head[8];
    const uint32_t type = binary ? block_binary : block_text;
    const uint32_t size = uint32_t(text.size());
    for (int i = 0; i < 4; ++i) {
        head[i] = uint8_t(type >> (24 - 8 * i));
        head[4 + i] = uint8_t(size >> (24 - 8 * i));
    }
    pending_.append(reinterpret_cast<const char*>(head), sizeof head);
    pending_.append(text);
    // Whole blocks: the next memo starts at a block boundary, and readers
    // that read a block at a time find the file long enough.
    pending_.resize(size_t(blocks * block_size_ + (position - pending_at_)), '\0');
    next_block_ = uint32_t(block + blocks);
    header_dirty_ = true;
    if (pending_.size() >= batch_bytes) flush();
    return block;
}

void fpt_memo_file::flush() {
    if (!pending_.empty()) {
        file_->put_at(pending_at_, pending_.data(), pending_.size());
        pending_.clear();
    }
    if (header_dirty_) {
        unsigned char word[4];
        for (int i = 0; i < 4; ++i) word[i] = uint8_t(next_block_ >> (24 - 8 * i));
        file_->put_at(0, word, 4);
        header_dirty_ = false;
    }
}

uint32_t fpt_memo_file::get_block_number(std::string_view field) {
    return dbf_memo_block(memo_type_, field);
}

std::string fpt_memo_file::read_memo(uint32_t block) {
    tk_log(1, "fpt_memo_file::read_memo(%d)", int(block));
    flush();
    const uint64_t position = uint64_t(block) * block_size_;
    tk_log(1, "Reading MEMO at position=%lld", (long long)position);
    if (position + 8 > file_->size()) {
        tk_log(1, "Reading MEMO out of range");
        read_failed();
    }
    unsigned char head[8];
    file_->get_at(position, head, sizeof head);
    const int64_t length = dbf_be32(head + 4);
    tk_log(1, "memo_len=%d", int(length));
    // The stored length is the memo's: pictures and binary memos hold zero
    // bytes, and the text of a memo may too.
    std::string text = read_sized(*file_, position, length);
    tk_log(1, "fpt_memo_file::read_memo - END");
    return text;
}

// ---- SMT ----

smt_memo_file::smt_memo_file(const std::string& path)
    : dbf_memo_file(std::make_unique<dbf_file>(path, false)) {
    tk_log(2, "smt_memo_file::ctor");
    if (file_->size() < 512) corrupted();
    block_size_ = file_->get_u32(4);
    if (block_size_ == 0) corrupted();
}

uint32_t smt_memo_file::get_block_number(std::string_view field) {
    return dbf_memo_block(dbf_memo_smt, field);
}

std::string smt_memo_file::read_memo(uint32_t block) {
    tk_log(1, "smt_memo_file::read_memo(%d)", int(block));
    const uint64_t position = uint64_t(block) * block_size_;
    tk_log(1, "Reading MEMO at position=%lld", (long long)position);
    if (position >= file_->size()) {
        tk_log(3, "Reading MEMO out of range");
        read_failed();
    }
    try {
        return read_until(*file_, position, '\0');
    } catch (const dbf_exception&) {
        throw;
    } catch (const tk_exception&) {
        read_failed();
    }
}

std::unique_ptr<dbf_memo_file> dbf_open_memo_file(dbf_memo_type type, const std::string& path,
                                                  bool writable) {
    tk_log(2, "dbf_recordset::init_memo_file");
    if (type == dbf_memo_none) return nullptr;
    if (!dbf_file::exists(path)) throw dbf_no_memo_exception();
    switch (type) {
        case dbf_memo_old: return std::make_unique<old_memo_file>(path, writable);
        case dbf_memo_dbt: return std::make_unique<dbt_memo_file>(path);
        case dbf_memo_fpt:
        case dbf_memo_vfp:
        case dbf_memo_dct: return std::make_unique<fpt_memo_file>(path, type, writable);
        case dbf_memo_smt: return std::make_unique<smt_memo_file>(path);
        default: return nullptr;
    }
}
