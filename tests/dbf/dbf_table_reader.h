// A table of tests/data/dbf opened for reading in a folder of its own, and
// the values of its records by record and field name.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dbf_record.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "tk_string.h"

namespace dbf_test {

struct table_reader {
    temp_folder dir;
    std::unique_ptr<dbf_recordset> table;

    // Copies the file and its memo companions into a fresh folder, opens it
    // with the ANSI code page 1252.
    explicit table_reader(const std::string& file, std::vector<std::string> companions = {},
                          uint8_t mark = 0) {
        tk_set_ansi_code_page(1252);
        for (const auto& c : companions) dir.copy_in(c);
        table = std::make_unique<dbf_recordset>(dir.copy_in(file), u"t",
                                                dbf_recordset::mode_read, mark);
    }
    // Record i (deleted ones included).
    dbf_record& at(uint32_t i) {
        table->move_first();
        for (uint32_t k = 0; k < i; ++k) table->next();
        return static_cast<dbf_record&>(*table->get_item());
    }
    const ole_variant& value(uint32_t i, const std::u16string& name) {
        const udb_field* f = at(i).find(name);
        EXPECT_NE(f, nullptr) << tk_ucs2_to_utf8(name);
        static const ole_variant none;
        return f ? f->value() : none;
    }
    std::string text(uint32_t i, const std::u16string& name) {
        return tk_ucs2_to_utf8(value(i, name).get_bstr());
    }
    std::vector<std::string> field_names() {
        std::vector<std::string> names;
        for (const t_ftd& f : table->schema()) names.push_back(tk_ucs2_to_utf8(f.name));
        return names;
    }
};

inline std::string date_text(const ole_variant& v) {
    ole_systemtime st = v.get_date();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", st.year, st.month,
                  st.day, st.hour, st.minute, st.second);
    return v.vt() == VT_DATE ? buffer : "empty";
}

}  // namespace dbf_test
