// Readers for the number at the start of a text, with the C library's
// atof/atoi reading rules but none of their hazards: no dependence on the
// process's C locale, no overflow, no reading past the text.  Used by
// ole_variant and ole_date; not part of the values' public interface.
#pragma once

#include <cstdint>
#include <string_view>

// The decimal number at the start of text, as atof reads it: blanks, an
// optional sign, digits with an optional point and exponent, or "inf",
// "infinity", "nan" in any case; 0.0 when there is none.  A magnitude too
// large for a double gives infinity, one too small 0.0.  ('.' is always the
// decimal point; hexadecimal numbers are not read.)
double ole_leading_double(std::string_view text);

enum class ole_integer_reading { none, value, out_of_range };

// The number at the start of text truncated toward zero: blanks, an optional
// sign, digits with an optional fraction and exponent ("12abc" 12, "-2.7" -2,
// "1.5E3" 1500).  none (value 0) when no digit starts the text; out_of_range
// when the whole part lies outside [min, max].
ole_integer_reading ole_leading_integer(std::string_view text, int64_t min, int64_t max,
                                        int64_t& value);
// The same for an unsigned range [0, max].
ole_integer_reading ole_leading_unsigned(std::string_view text, uint64_t max, uint64_t& value);
