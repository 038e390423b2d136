#include "dbf_record.h"

#include "dbf_codec.h"
#include "dbf_memo_file.h"
#include "tk_logger.h"
#include "tk_string.h"

dbf_field::dbf_field(std::u16string name, std::string_view bytes,
                     const dbf_field_descriptor7& fd, int code_page, bool level7)
    : udb_field(std::move(name), int32_t(bytes.size()),
                dbf_get_variant(bytes, fd, code_page, level7)) {
    tk_log(1, "dbf_field::ctor");
}

dbf_field::dbf_field(std::u16string name, int32_t size, const ole_variant& value)
    : udb_field(std::move(name), size, value) {
    tk_log(1, "dbf_field::ctor");
}

dbf_record::dbf_record(std::string_view bytes, const dbf_table_layout& layout,
                       const std::vector<std::u16string>& names, const dbf_memo_access& memo,
                       int code_page, dbf_record_place place)
    : memo_(memo),
      code_page_(code_page),
      place_(std::move(place)),
      code_page_mark_(layout.header.codepage_mark) {
    tk_log(2, "dbf_record::ctor");
    if (tk_log_detail::wants(1)) {
        std::string head(bytes.substr(0, 20));
        head.resize(20, ' ');
        tk_log(1, "data=%s", head);
    }
    deleted_ = !bytes.empty() && bytes[0] == '*';
    tk_log(1, "Got deleted flag: %d", int(deleted_));
    const bool level7 = dbf_is_level7(layout.header.version);
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        const auto& fd = layout.fields[i];
        const char type = dbf_fd_type(fd);
        const uint16_t vartype = dbf_get_vartype_2(fd);
        tk_log(1, "field #%d: type=%08X, size=%d", int(i), unsigned(vartype),
               int(layout.widths[i]));
        const size_t offset = 1 + size_t(layout.offsets[i]);
        if (offset + layout.widths[i] > bytes.size()) break;  // cannot happen for a checked layout
        std::string_view field = bytes.substr(offset, layout.widths[i]);
        if (is_null(bytes, layout, i)) {
            // Visual FoxPro's null flag: whatever the field's bytes say.
            emplace_back<dbf_field>(names[i], 0, ole_variant());
        } else if (type == 'M' || type == 'G' || type == 'P' ||
                   (type == 'B' && vartype == VT_BLOB)) {
            push_back(get_memo_field(names[i], field, !dbf_is_binary_memo(fd)));
        } else {
            // A field of width 0 holds nothing; the fields after it still
            // have their bytes.
            emplace_back<dbf_field>(names[i], field, fd, code_page, level7);
        }
    }
}

bool dbf_record::is_null(std::string_view bytes, const dbf_table_layout& layout, size_t field) {
    if (layout.null_flags_width == 0 || field >= layout.null_bits.size()) return false;
    const int bit = layout.null_bits[field];
    const size_t at = 1 + size_t(layout.null_flags_offset) + size_t(bit / 8);
    return bit >= 0 && at < bytes.size() && (uint8_t(bytes[at]) >> (bit % 8) & 1) != 0;
}

std::unique_ptr<udb_field> dbf_record::get_memo_field(const std::u16string& name,
                                                      std::string_view field_bytes,
                                                      bool is_text) {
    tk_log(1, "dbf_record::get_memo_field");
    if (memo_.file == nullptr) {
        tk_log(1, "No MEMO file!");
        // A field that refers to a memo loses it: say so.  Tables that
        // announce no memo format are taken to hold decimal references.
        const dbf_memo_type type = memo_.type == dbf_memo_none ? dbf_memo_old : memo_.type;
        if (dbf_memo_block(type, field_bytes) != 0)
            report_lost_memo(name, memo_.unreadable.empty() ? std::string("no memo file")
                                                            : memo_.unreadable);
        return std::make_unique<dbf_field>(name, 0, ole_variant());
    }
    const uint32_t block = memo_.file->get_block_number(field_bytes);
    tk_log(1, "Got memo block number: %d", int(block));
    if (block == 0) return std::make_unique<dbf_field>(name, 0, ole_variant());
    std::string text;
    try {
        text = memo_.file->read_memo(block);
    } catch (const dbf_exception& e) {
        report_lost_memo(name, "block " + std::to_string(block) + ": " + e.message());
        return std::make_unique<dbf_field>(name, 0, ole_variant());
    }
    if (!is_text) {
        // Binary memos keep their bytes: one byte per character.
        std::u16string raw(text.begin(), text.end());
        for (size_t i = 0; i < text.size(); ++i) raw[i] = char16_t(uint8_t(text[i]));
        return std::make_unique<dbf_field>(name, int32_t(text.size()),
                                           ole_variant::from_wstring(raw, VT_BSTR));
    }
    std::u16string wide = dbf_decode_text(text, code_page_);
    tk_wlog(1, u"Got MEMO: %s", wide);
    return std::make_unique<dbf_field>(name, int32_t(text.size()), ole_variant(wide));
}

void dbf_record::report_lost_memo(const std::u16string& name, const std::string& why) {
    reports_.emplace_back("Memo of field " + tk_ucs2_to_ansi(name) + " of table " +
                          tk_ucs2_to_ansi(place_.table) + ", record #" +
                          std::to_string(place_.number) + " cannot be read (" + why +
                          "): read as empty");
}
