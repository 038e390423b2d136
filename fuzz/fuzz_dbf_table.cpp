// dbf_table: a DBF table and its memo companion as a destination folder may
// hold them.
//
// Input: the table file, optionally followed by kMemoSeparator and a memo file.
// The memo bytes are written under every companion name ("t.dbt", "t.fpt",
// "t.dct", "t.smt"), so the layout the header's version byte selects always
// finds its file; without a separator there is no companion.
//
// The table is opened for reading and every record is read (each field
// printed), then it is opened for appending, a blank record and a copy of its
// first record are appended, and it is opened again.  What must hold:
//   - opening fails only with a tk_exception (dbf_exception for a broken
//     file), a record only with a tk_exception, and never with an internal
//     assertion (tk_mail_assertion): the file cannot break the code's own
//     assumptions;
//   - the records and fields that were accepted lie inside the file and the
//     record: header length + count x record length <= file size, the field
//     widths add up to no more than the record length;
//   - no value is longer than the bytes it can come from (the record, or the
//     memo file): a longer one was sized by a length read from the file;
//   - the appended records are counted when the table is opened again.
#include <memory>
#include <optional>
#include <string>

#include "dbf_recordset.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "tk_codepage.h"
#include "tk_exception.h"
#include "udb_record.h"

namespace kestrel_fuzz {

namespace {

const char* const kCompanions[] = {"t.dbt", "t.fpt", "t.dct", "t.smt"};

struct read_result {
    uint32_t record_count = 0;
    std::unique_ptr<udb_record> first;  // a copy of record 0, when it was readable
};

void check_layout(const dbf_recordset& rs, size_t file_size, std::string_view input) {
    const dbf_table_layout& layout = rs.layout();
    const dbf_header& h = layout.header;
    fuzz_check(uint64_t(h.header_length) + uint64_t(h.record_length) * h.record_count <= file_size,
               "an opened table claims records past the end of its file", input);
    fuzz_check(layout.offsets.size() == layout.fields.size() &&
                   layout.widths.size() == layout.fields.size(),
               "the layout lists a different number of offsets, widths and fields", input);
    // The fields follow one another; a Visual FoxPro table's null flags
    // are kept aside, so the field after them starts behind them.
    uint64_t end = 0;
    bool flags_seen = layout.null_flags_width == 0;
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        // (A field of width 0 may stand before or behind the flags.)
        if (!flags_seen && end == layout.null_flags_offset && layout.offsets[i] != end) {
            end += layout.null_flags_width;
            flags_seen = true;
        }
        fuzz_check(layout.offsets[i] == end, "a field does not start where the last one ended",
                   input);
        end += layout.widths[i];
    }
    if (!flags_seen && end == layout.null_flags_offset) end += layout.null_flags_width;
    fuzz_check(1 + end <= h.record_length, "the fields reach past the record length", input);
    fuzz_check(rs.schema().size() == layout.fields.size(),
               "the schema and the descriptors disagree in number", input);
}

// Every readable record, each field printed.  Throws what opening throws.
read_result read_table(const std::string& path, size_t file_size, size_t memo_size,
                       std::string_view input) {
    read_result result;
    dbf_recordset rs(path, u"t", dbf_recordset::mode_read, 0);
    check_layout(rs, file_size, input);
    result.record_count = rs.record_count();
    const size_t longest = std::max<size_t>(rs.layout().header.record_length, memo_size);
    for (rs.move_first(); !rs.is_eof(); rs.next()) {
        udb_record* record = nullptr;
        try {
            record = rs.get_item();
        } catch (const tk_mail_assertion& e) {
            fuzz_fail(std::string("reading a record broke an internal assumption: ") + e.what(),
                      input);
        } catch (const tk_exception&) {
            continue;  // a record may be unreadable (a broken memo, a text of no code page)
        }
        fuzz_check(record != nullptr, "get_item gave no record before the end", input);
        fuzz_check(record->size() <= rs.layout().fields.size(),
                   "a record has more fields than the table", input);
        for (const udb_field& field : *record) {
            const std::u16string text = field.to_wstring();
            (void)field.to_string();
            fuzz_check(field.get_bstr().size() <= longest && field.get_safe_array_size() >= 0 &&
                           size_t(field.get_safe_array_size()) <= longest,
                       "a value is longer than the bytes it was read from", input);
        }
        if (!result.first) {
            result.first = std::make_unique<udb_record>();
            for (const udb_field& field : *record) result.first->emplace_back(field);
        }
    }
    return result;
}

// Appends a blank record and the copy of the first one; the new count, or
// nothing when the table does not take records (a memo layout that cannot be
// written, a write the file system refuses).
std::optional<uint32_t> append_to_table(const std::string& path, const udb_record* first) {
    dbf_recordset rs(path, u"t", dbf_recordset::mode_append, 0);
    udb_record blank;
    try {
        rs.append_record(blank);
        if (first != nullptr) rs.append_record(*first);
    } catch (const tk_mail_assertion&) {
        throw;
    } catch (const tk_exception&) {
        // A value too wide for its field still counts; a memo that cannot be
        // written does not.  The count below says which.
    }
    try {
        rs.flush();
    } catch (const tk_mail_assertion&) {
        throw;
    } catch (const tk_exception&) {
        return std::nullopt;
    }
    return rs.record_count();
}

}  // namespace

int dbf_table(const uint8_t* data, size_t size) {
    static const bool once = [] {
        tk_set_ansi_code_page(1252);
        return true;
    }();
    (void)once;
    const std::string_view input = as_text(data, size);
    const size_t cut = input.find(kMemoSeparator);
    const std::string_view table = input.substr(0, cut);
    const std::string_view memo =
        cut == input.npos ? std::string_view() : input.substr(cut + sizeof kMemoSeparator - 1);

    clear_sandbox();
    write_sandbox_file("t.dbf", table);
    if (cut != input.npos)
        for (const char* name : kCompanions) write_sandbox_file(name, memo);
    const std::string path = sandbox_file("t.dbf");

    read_result before;
    try {
        before = read_table(path, table.size(), memo.size(), input);
    } catch (const tk_mail_assertion& e) {
        fuzz_fail(std::string("opening the table broke an internal assumption: ") + e.what(),
                  input);
    } catch (const tk_exception&) {
        return 0;  // refused: the reader's error
    } catch (const std::exception& e) {
        fuzz_fail(std::string("reading the table raised ") + e.what(), input);
    }

    std::optional<uint32_t> appended;
    try {
        appended = append_to_table(path, before.first.get());
    } catch (const tk_mail_assertion& e) {
        fuzz_fail(std::string("appending broke an internal assumption: ") + e.what(), input);
    } catch (const tk_exception&) {
        return 0;  // a table that reads may still refuse to open for writing
    } catch (const std::exception& e) {
        fuzz_fail(std::string("appending to the table raised ") + e.what(), input);
    }
    if (!appended || *appended >= 0x80000000u) return 0;
    try {
        dbf_recordset again(path, u"t", dbf_recordset::mode_read, 0);
        fuzz_check(again.record_count() == *appended,
                   "the appended records are not counted when the table is opened again", input);
    } catch (const tk_exception& e) {
        fuzz_fail(std::string("a table refuses to open after records were appended: ") + e.what(),
                  input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
