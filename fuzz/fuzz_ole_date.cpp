// ole_date: date and time texts as DBF date fields, Oracle values and the
// other readers hand them over, and calendar records of any content.
//
// Input: the text.  Its first 16 bytes, when it has them, are also a calendar
// record (eight little-endian 16-bit words: year, month, day of week, day,
// hour, minute, second, milliseconds).
//
// What must hold:
//   - parsing any text, narrow or wide (two bytes per unit), never raises; it
//     gives a valid value or one of kind 0, and prints a non-empty text
//     exactly when the value is valid;
//   - a valid value's printed text reads back and prints the same;
//   - a record of any content prints a text without raising, as a date and
//     as a VT_DATE value, and when it is a valid calendar day and clock time
//     its printed text reads back the same;
//   - process_milliseconds takes any text.
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "ole_date.h"
#include "ole_variant.h"
#include "tk_codepage.h"

namespace kestrel_fuzz {

namespace {

void check_printed(const ole_date& d, std::string_view input) {
    const std::string printed = d.to_string(true);
    (void)d.to_string(false);
    (void)d.to_wstring(true);
    if (d.is_valid()) {
        const ole_date again{std::string_view(printed)};
        fuzz_check(again.to_string(true) == printed, "a printed date reads back as another date",
                   input);
    }
}

// A text gives a valid value or one of kind 0, and only the valid one prints.
void check_parsed(const ole_date& d, std::string_view input) {
    fuzz_check(d.is_valid() || d.kind() == ole_date::kind_invalid,
               "a text that does not read left a kind", input);
    fuzz_check(d.is_valid() == !d.to_string(true).empty(),
               "a date read from text is valid but prints nothing, or invalid but prints a text",
               input);
    check_printed(d, input);
}

}  // namespace

int ole_date_text(const uint8_t* data, size_t size) {
    static const bool once = [] {
        tk_set_ansi_code_page(1252);
        return true;
    }();
    (void)once;
    const std::string_view input = as_text(data, size);
    try {
        check_parsed(ole_date{input}, input);

        std::u16string wide;
        for (size_t i = 0; i + 1 < input.size(); i += 2)
            wide.push_back(char16_t(uint8_t(input[i]) | (uint8_t(input[i + 1]) << 8)));
        check_parsed(ole_date{std::u16string_view(wide)}, input);

        const std::string text(input);  // NUL-terminated
        ole_date parsed{input};
        parsed.process_milliseconds(text.c_str());
        (void)parsed.is_valid();
        (void)parsed.to_string(true);

        if (input.size() >= 16) {
            uint16_t w[8];
            for (int i = 0; i < 8; ++i)
                w[i] = uint16_t(uint8_t(input[2 * i]) | (uint8_t(input[2 * i + 1]) << 8));
            ole_systemtime record;
            record.year = w[0];
            record.month = w[1];
            record.day_of_week = w[2];
            record.day = w[3];
            record.hour = w[4];
            record.minute = w[5];
            record.second = w[6];
            record.milliseconds = w[7];
            const ole_date from_record(record);
            fuzz_check(!from_record.to_string(true).empty(), "a record prints nothing", input);
            // is_valid() lets through what only a text's reading can mend (a
            // day above 31 with a small year) and ignores the milliseconds;
            // a record of a real calendar day and time must come back.
            const bool calendar = (record.year == 0 && record.month == 0 && record.day == 0) ||
                                  (record.day <= 31 && record.year != 0);
            const bool clock = record.hour <= 23 && record.minute <= 59 && record.second <= 59 &&
                               record.milliseconds <= 999;
            if (calendar && clock) check_printed(from_record, input);
            const ole_variant value(record);
            (void)value.to_string();
            (void)value.get_date_number();
        }
    } catch (const std::exception& e) {
        fuzz_fail(std::string("a date raised ") + e.what(), input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
