#include "dbf_recordset.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "dbf_codec.h"
#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_memo_file.h"
#include "dbf_record.h"
#include "tk_codepage.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_string.h"

namespace {

std::string upper_ascii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

}  // namespace

dbf_recordset::dbf_recordset(const std::string& path, std::u16string name, int open_mode,
                             uint8_t codepage_mark)
    : udb_recordset(std::move(name), false),
      path_(path),
      open_mode_(open_mode),
      user_codepage_mark_(codepage_mark) {
    tk_log(2, "dbf_recordset::ctor(%s, cp=%d)", path, int(codepage_mark));
    file_ = std::make_unique<dbf_file>(path, open_mode != mode_read);
    if (open_mode != mode_read && open_mode != mode_append) {
        tk_log(1, "a_mode=%d, returning...", open_mode);
        return;
    }
    layout_ = dbf_read_layout(*file_);
    header_read_ = true;
    // Field names are in the table's code page, as its texts are.
    const int names_code_page = get_codepage();
    for (const auto& fd : layout_.fields) {
        tk_log(2, "dbf_recordset::fd7_post_process");
        t_ftd& ftd = schema_.add(dbf_ftd_from_descriptor(fd, names_code_page));
        names_.push_back(ftd.name);
    }
    memo_type_ = dbf_get_memo_type(layout_.header);
    tk_log(1, "%s", dbf_memo_type_text(memo_type_));
    try {
        init_memo_file();
    } catch (const dbf_no_memo_exception& e) {
        tk_log(3, "%s", e.message());
        memo_unreadable_ = e.message();
    } catch (const dbf_exception& e) {
        // A memo file that cannot be read costs the memo values, not the
        // table: each lost memo is reported with its record.
        tk_log(3, "ERROR: %s: %s", path, e.message());
        memo_unreadable_ = e.message();
        memo_broken_ = true;
    }
    set_counter(layout_.header.record_count);
    tk_log(1, "Table has %d records, code page %d", int(layout_.header.record_count),
           get_codepage());
    if (open_mode == mode_read) init_indexes();
    tk_log(2, "dbf_recordset::ctor - at the END");
}

dbf_recordset::~dbf_recordset() {
    try {
        flush();
    } catch (const std::exception& e) {
        tk_log(3, "ERROR: records of %s were not written: %s", path_, e.what());
    }
}

std::string dbf_recordset::companion_path(const char* extension) const {
    std::string base = path_;
    const size_t slash = base.find_last_of("/\\");
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.resize(dot);
    std::string lower = base + "." + extension;
    if (dbf_file::exists(lower)) return lower;
    std::string upper = base + "." + upper_ascii(extension);
    if (dbf_file::exists(upper)) return upper;
    // Files copied from case-insensitive systems may carry any mix of cases
    // ("Emp.Dbt"): list the folder and compare names without regard to case.
    // The folder is listed in full, never matched through a pattern, so a
    // name holding '*' or '?' cannot pick another table's companion.
    const size_t cut = base.find_last_of("/\\");
    const std::string folder = cut == std::string::npos ? std::string() : base.substr(0, cut + 1);
    const std::u16string wanted =
        tk_path_from_system(std::string_view(lower).substr(folder.size()));
    std::vector<std::u16string> entries;
    tk_find_files(tk_path_from_system(folder) + u"*", entries, false);
    for (const std::u16string& entry : entries) {
        std::string system_name;
        if (tk_equal_nocase(entry, wanted) && tk_path_to_system(entry, system_name))
            return folder + system_name;
    }
    return lower;
}

void dbf_recordset::init_memo_file() {
    if (memo_type_ == dbf_memo_none) return;
    memo_ = dbf_open_memo_file(memo_type_, companion_path(dbf_memo_extension(memo_type_)),
                               open_mode_ == mode_append && is_writable_memo_type());
}

void dbf_recordset::init_indexes() {
    tk_log(2, "dbf_recordset::init_indexes(%s)", path_);
    std::string idx = companion_path("idx");
    if (dbf_file::exists(idx)) {
        tk_log(2, "dbf_recordset::process_idx(%s)", idx);
        return;
    }
    tk_log(1, "Failed to find .idx, try to locate .cdx");
    std::string cdx = companion_path("cdx");
    if (dbf_file::exists(cdx)) {
        tk_log(2, "dbf_recordset::process_cdx(%s)", cdx);
        return;
    }
    tk_log(1, "Failed to find .cdx, aborting");
}

int dbf_recordset::get_codepage() const {
    tk_log(2, "dbf_recordset::get_codepage");
    uint8_t mark = layout_.header.codepage_mark;
    if (user_codepage_mark_ != 0) {
        tk_log(1, "Setting user-defined codepage: %d", int(user_codepage_mark_));
        mark = user_codepage_mark_;
    } else {
        tk_log(1, "DBF file has codepage: %d", int(mark));
        // Level 7 tables name their code page in the language driver and
        // often leave the mark 0.
        if (mark == 0) {
            const int code_page = dbf_codepage_for_language_driver(layout_.language_driver);
            if (code_page != 0 && tk_is_code_page_supported(code_page)) return code_page;
        }
    }
    return dbf_codepage_for_mark(mark);
}

bool dbf_recordset::is_writable_memo_type() const {
    return memo_type_ == dbf_memo_old || memo_type_ == dbf_memo_vfp;
}

dbf_memo_file* dbf_recordset::memo_writer() {
    if (!is_writable_memo_type())
        throw dbf_exception("Memo fields of this table format cannot be written");
    // A memo file that could not be read is not replaced by an empty one: its
    // memos would be lost.
    if (memo_broken_) throw dbf_exception(memo_unreadable_);
    if (memo_ == nullptr) {
        if (memo_type_ == dbf_memo_old)
            memo_ = old_memo_file::create(companion_path("dbt"));
        else
            memo_ = fpt_memo_file::create(companion_path("fpt"));
    }
    return memo_.get();
}

void dbf_recordset::append_record(const udb_record& record) {
    tk_log(2, "dbf_recordset::append_record");
    TK_ASSERT(header_read_ && open_mode_ != mode_read);
    // The record is coded in place at the end of the batch and counts only
    // once every field is coded: a failure leaves the batch as it was.
    const size_t start = pending_size_;
    if (start + layout_.header.record_length + 1 > pending_room_) {
        // A batch is written once it reaches batch_bytes, so it never holds
        // more than batch_bytes plus one record.
        // One byte more for the end-of-file byte written behind the batch.
        const size_t room = std::max(batch_bytes + layout_.header.record_length,
                                     start + layout_.header.record_length) +
                            1;
        auto grown = std::make_unique_for_overwrite<unsigned char[]>(room);
        if (start != 0) std::memcpy(grown.get(), pending_.get(), start);
        pending_ = std::move(grown);
        pending_room_ = room;
    }
    unsigned char* out = pending_.get() + start;
    out[0] = ' ';
    const size_t n = std::min(record.size(), layout_.fields.size());
    std::string overflowed;
    for (size_t i = 0; i < layout_.fields.size(); ++i) {
        unsigned char* at = out + 1 + layout_.offsets[i];
        const uint32_t width = layout_.widths[i];
        if (i >= n) {
            std::memset(at, ' ', width);
            continue;
        }
        const udb_field& field = record[i];
        if (tk_log_detail::wants(1))
            tk_log(1, "Processing field #%d (size=%d): %s", int(i), int(width),
                   field.to_string());
        const char type = dbf_fd_type(layout_.fields[i]);
        dbf_memo_file* memo = nullptr;
        if ((type == 'M' || type == 'G') && !field.is_empty()) memo = memo_writer();
        if (dbf_put_value(at, layout_.fields[i], width, field, memo) ==
            dbf_put_result::number_too_wide) {
            if (!overflowed.empty()) overflowed += ", ";
            overflowed += tk_ucs2_to_ansi(names_[i]);
        }
    }
    // The padding of a record longer than its fields (foreign tables).
    const size_t used = layout_.fields.empty()
                            ? 1
                            : 1 + size_t(layout_.offsets.back()) + layout_.widths.back();
    if (used < layout_.header.record_length)
        std::memset(out + used, ' ', layout_.header.record_length - used);
    if (layout_.null_flags_width != 0) {
        // A NULL value (and a missing one) sets its field's bit; a text is
        // NULL only when it is the empty value, not an empty text.
        unsigned char* flags = out + 1 + layout_.null_flags_offset;
        std::memset(flags, 0, layout_.null_flags_width);
        for (size_t i = 0; i < layout_.fields.size(); ++i) {
            const int bit = layout_.null_bits[i];
            if (bit >= 0 && (i >= n || record[i].is_empty()))
                flags[bit / 8] = uint8_t(flags[bit / 8] | (1u << (bit % 8)));
        }
    }
    pending_size_ = start + layout_.header.record_length;
    ++pending_count_;
    const uint32_t number = record_count();
    if (pending_size_ >= batch_bytes) flush();
    if (!overflowed.empty()) {
        throw dbf_exception("Value does not fit into field " + overflowed + " of table " +
                            tk_ucs2_to_ansi(name_) + ", record #" + std::to_string(number) +
                            ": written as asterisks");
    }
}

void dbf_recordset::flush() {
    // The memos of the collected records go first: a record on disk never
    // refers to a memo that is not.
    if (memo_ != nullptr) memo_->flush();
    if (pending_count_ == 0) return;
    const uint64_t at = uint64_t(layout_.header.header_length) +
                        uint64_t(layout_.header.record_count) * layout_.header.record_length;
    // A process killed at any moment must leave a table that every reader
    // reads the same.  Readers that trust the header's count read the counted
    // records; readers that walk records to the end of the file stop at the
    // first 0x1A.  So the batch goes in behind the end byte that closes the
    // counted records, and the table grows by two single writes afterwards:
    // the batch's first deletion flag over that end byte, then the count.
    static const unsigned char end_byte = 0x1A;
    if (!end_marked_) {
        file_->put_at(at, &end_byte, 1);
        end_marked_ = true;
    }
    pending_[pending_size_] = end_byte;
    try {
        file_->put_at(at + 1, pending_.get() + 1, pending_size_);
    } catch (const tk_exception&) {
        // A short write (a full disk) leaves part of the batch after the
        // counted records: cut it off, so that the file holds exactly the
        // records its header counts and their end byte.  The batch stays
        // for a later flush.
        try {
            file_->set_size(at + 1);
        } catch (const tk_exception& e) {
            tk_log(3, "ERROR: %s could not be cut back to its records: %s", path_, e.what());
        }
        throw;
    }
    file_->put_at(at, pending_.get(), 1);
    const uint32_t count = layout_.header.record_count + pending_count_;
    unsigned char word[4];
    dbf_put_le32(word, count);
    file_->put_at(4, word, 4);
    layout_.header.record_count = count;
    set_counter(count);
    pending_size_ = 0;
    pending_count_ = 0;
}

udb_record* dbf_recordset::get_item() {
    tk_log(2, "dbf_recordset::get_item");
    if (!header_read_ || cursor_ >= record_count()) return nullptr;
    flush();
    const size_t length = layout_.header.record_length;
    std::string bytes(length, '\0');
    tk_log(1, "Reading at %lld",
           (long long)(uint64_t(layout_.header.header_length) + uint64_t(cursor_) * length));
    file_->get_at(uint64_t(layout_.header.header_length) + uint64_t(cursor_) * length,
                  bytes.data(), length);
    current_.reset();
    memo_access_.type = memo_type_;
    memo_access_.file = memo_.get();
    memo_access_.unreadable = memo_unreadable_;
    current_ = std::make_unique<dbf_record>(bytes, layout_, names_, memo_access_, get_codepage(),
                                            dbf_record_place{name_, cursor_ + 1});
    for (const dbf_exception& e : current_->reports()) tk_log(3, "ERROR: %s", e.message());
    return current_.get();
}

bool dbf_recordset::is_eof() { return !header_read_ || cursor_ >= record_count(); }

void dbf_recordset::next() { ++cursor_; }

void dbf_recordset::prev() {
    if (cursor_ != 0) --cursor_;
}

void dbf_recordset::move_first() { cursor_ = 0; }
