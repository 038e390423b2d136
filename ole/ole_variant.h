// ole_variant: the tagged value that carries one field value from the Oracle
// reader to the DBF writer (and back from DBF files).
//
// The tag is a VARTYPE code (ole_types.h).  VT_EMPTY is the system's SQL NULL
// and VT_NULL is treated like it everywhere.  Where each value lives:
//   VT_I1, VT_I2, VT_I4, VT_UI1, VT_UI2, VT_UI4, VT_INT, VT_UINT  integers
//   VT_BOOL           a 16-bit word: VARIANT_TRUE (-1) or VARIANT_FALSE (0)
//   VT_R4, VT_R8      float, double
//   VT_CY, VT_DECIMAL ole_cy, ole_decimal
//   VT_I8, VT_UI8     64-bit side stores
//   VT_DATE           the calendar record (and its automation date number)
//   VT_BSTR           an owned wide (UTF-16) string
//   VT_BINARY (8209)  an owned one-dimensional byte array, lower bound 0
//                     (VT_SAFEARRAY (27) is held and released the same way)
//
// Value semantics: a copy is a deep copy, a move is cheap and leaves the
// source VT_EMPTY.  Narrow strings are in the process's ANSI code page
// (tk_codepage.h).  Requests the design does not allow (to_long of a string,
// get_bytes of a number, ...) throw tk_mail_assertion; texts that do not
// parse as the requested type give the empty value, except that a tag that
// cannot be built from text at all throws ole_type_exception.  Every
// operation traces itself through tk_log.
//
// Not shared between threads while being changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ole_types.h"
#include "tk_exception.h"

// A text cannot be converted to the requested value type at all.  Message
// "The operating type is not supported yet", level 1.
class ole_type_exception : public tk_exception {
  public:
    ole_type_exception();
};

class ole_variant {
  public:
    // VT_EMPTY.
    ole_variant() noexcept;
    // VT_DATE holding the record; its automation date number is kept too
    // when the record has one (a time alone has none, and stays VT_DATE).
    ole_variant(const ole_systemtime& date);  // NOLINT: implicit by design
    ole_variant(const ole_cy& cy);            // NOLINT
    ole_variant(const ole_decimal& decimal);  // NOLINT

    ole_variant(bool value);            // NOLINT VT_BOOL, -1 or 0
    ole_variant(char value);            // NOLINT VT_I1
    ole_variant(signed char value);     // NOLINT VT_I1
    ole_variant(unsigned char value);   // NOLINT VT_UI1
    ole_variant(short value);           // NOLINT VT_I2
    ole_variant(unsigned short value);  // NOLINT VT_UI2
    ole_variant(int value);             // NOLINT VT_I4
    ole_variant(unsigned int value);    // NOLINT VT_UI4
    ole_variant(int64_t value);         // NOLINT VT_I8
    ole_variant(uint64_t value);        // NOLINT VT_UI8
    // The other 64-bit integer spelling of the platform (long long or long).
    template <class T>
    requires(std::is_integral_v<T> && sizeof(T) == 8 && !std::is_same_v<T, int64_t> &&
             !std::is_same_v<T, uint64_t>) ole_variant(T value)  // NOLINT
        : ole_variant(
              static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(value)) {}
    ole_variant(float value);   // NOLINT VT_R4
    ole_variant(double value);  // NOLINT VT_R8

    // VT_BSTR through attach_string (narrow text in the ANSI code page).
    ole_variant(std::string_view text);    // NOLINT
    ole_variant(const std::string& text);  // NOLINT
    ole_variant(const char* text);         // NOLINT; null is the empty string
    // VT_BSTR through attach_wstring.
    ole_variant(std::u16string_view text);    // NOLINT
    ole_variant(const std::u16string& text);  // NOLINT
    ole_variant(const char16_t* text);        // NOLINT; null is the empty string
    // VT_BINARY through attach_binary.  REQUIRES: bytes not null.
    ole_variant(size_t size, const uint8_t* bytes);
    explicit ole_variant(const std::vector<uint8_t>& bytes);

    // A VT_BOOL holding exactly the given word, as foreign data may carry
    // (1 instead of VARIANT_TRUE); such a value is not true (see to_bool).
    static ole_variant from_variant_bool(int16_t word);

    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    virtual ~ole_variant();

    VARTYPE vt() const noexcept { return vt_; }
    // VT_EMPTY or VT_NULL.
    bool is_empty() const noexcept { return vt_ == VT_EMPTY || vt_ == VT_NULL; }
    // Back to VT_EMPTY, releasing what the value owns.
    void clear() noexcept;

    // Makes the value a VT_BSTR holding text converted from the ANSI code page.
    void attach_string(std::string_view text);
    // Makes the value a VT_BSTR holding a copy of text.
    void attach_wstring(std::u16string_view text);
    // Makes the value a binary holding a copy of size bytes.
    // REQUIRES: bytes not null; size below 2^31 (else tk_mail_assertion).
    void attach_binary(size_t size, const uint8_t* bytes);
    void attach_binary(const std::vector<uint8_t>& bytes);
    // Ensures a binary of n bytes: a value that already is a binary is
    // resized keeping its first bytes (new bytes are 0); any other value
    // becomes a binary of n zero bytes.  REQUIRES: n below 2^31.
    void allocate_safe_array(size_t n);

    // For a binary: sets bytes to its data (null for an empty array) and
    // gives its byte count.  VT_EMPTY / VT_NULL give 0 and leave bytes
    // alone.  Any other tag throws tk_mail_assertion.  The pointer stays
    // valid until the value is next changed.
    int32_t get_bytes(const uint8_t*& bytes) const;
    int32_t get_bytes(uint8_t*& bytes);
    // The byte count of a binary (0 for any other value).
    int32_t get_safe_array_size() const noexcept;

    // The record of a VT_DATE value; an all-zero record for any other tag.
    ole_systemtime get_date() const noexcept;
    // The automation date number of a VT_DATE value (0 when the record has
    // none, or for any other tag).
    double get_date_number() const noexcept;
    // The currency of a VT_CY value, the decimal of a VT_DECIMAL value
    // (zero for any other tag).
    ole_cy get_cy() const noexcept;
    ole_decimal get_decimal() const noexcept;
    // The text of a VT_BSTR value (empty for any other tag).
    const std::u16string& get_bstr() const noexcept { return bstr_; }

    // 32-bit integer.  VT_EMPTY/VT_NULL 0; integer tags as stored (VT_UI4 by
    // its 32 bits, VT_I8/VT_UI8 by their low 32 bits); VT_BOOL -1 or its
    // word; VT_R4/VT_R8 truncated toward zero (0 when not finite or out of
    // range); VT_DECIMAL rounded half to even (0 when out of range).  Any
    // other tag (VT_CY, VT_DATE, VT_BSTR, binaries, ...) throws
    // tk_mail_assertion.
    int32_t to_long() const;
    // Double.  Integer tags, VT_R4/VT_R8, VT_CY, VT_DECIMAL, VT_I8/VT_UI8 by
    // their value; VT_EMPTY/VT_NULL 0.0.  Any other tag throws
    // tk_mail_assertion.
    double to_double() const;
    // Boolean.  VT_BOOL is true only when it holds exactly VARIANT_TRUE;
    // numbers are true when not zero (VT_DECIMAL when to_long() is not 0);
    // VT_EMPTY/VT_NULL false.  Any other tag throws tk_mail_assertion.
    bool to_bool() const;

    // The value as narrow text in the ANSI code page, never throwing for a
    // tag: binaries as "0x" and two upper-case hex digits per byte (at most
    // 10,000,000 bytes; an empty array gives ""), VT_DECIMAL and VT_CY in
    // plain notation with '.', VT_DATE by ole_date::to_string with
    // milliseconds, VT_BOOL "1" for VARIANT_TRUE and "0" otherwise, VT_I1/I2
    // "%d", VT_UI1/UI2 "%u", VT_I4 "%d", VT_UI4/VT_UINT "%u", VT_R4 "%.6e",
    // VT_R8 "%.16e" (always the C locale), VT_I8/VT_UI8 in decimal, every
    // other tag "".
    virtual std::string to_string() const;
    // VT_BSTR: a copy of the text; any other tag: to_string() widened.
    virtual std::u16string to_wstring() const;

    // Builds a value of type vt from text (ANSI code page).  Never fails on
    // the text's content for these tags (a text that does not read gives the
    // empty value, or 0 as noted):
    //   "" -> VT_EMPTY, except VT_BSTR -> the empty string;
    //   VT_BINARY, VT_BLOB: hexadecimal pairs, an optional "0x"/"0X" first
    //     (odd length -> VT_EMPTY), giving VT_BINARY;
    //   VT_I1, VT_I2, VT_I4, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8: the
    //     number at the start of the text truncated toward zero ("12abc" 12,
    //     "-2.7" -2, "1.0E+3" 1000, no number 0); a number outside the
    //     type's range -> VT_EMPTY;
    //   VT_R4, VT_R8: ',' read as '.', then the number at the start (0.0
    //     when there is none; overflow gives infinity);
    //   VT_CY, VT_DECIMAL: ',' read as '.', then the whole text as a number
    //     (see ole_decimal::from_string), else VT_EMPTY;
    //   VT_DATE: parsed by ole_date, VT_EMPTY when not valid;
    //   VT_BOOL: "yes"/"true" true, "no"/"false" false (any case), otherwise
    //     the integer at the start not 0;
    //   VT_BSTR: the text; VT_EMPTY: the empty value;
    //   VT_INT, VT_UINT: the whole text as a 32-bit integer (a fraction is
    //     rounded half to even).
    // Throws ole_type_exception for VT_INT/VT_UINT texts that are not such
    // an integer and for every other tag.
    static ole_variant from_string(std::string_view text, VARTYPE vt);
    // VT_BSTR: a copy of the wide text; any other tag: the text converted to
    // the ANSI code page, then from_string.
    static ole_variant from_wstring(std::u16string_view text, VARTYPE vt);

  private:
    void copy_from(const ole_variant& other);
    void move_from(ole_variant& other) noexcept;
    void set_date(const ole_systemtime& date);

    // Side stores, each zero unless the tag names it.
    int64_t i8_ = 0;
    uint64_t ui8_ = 0;
    ole_systemtime date_{};
    // The automation value slot.
    VARTYPE vt_ = VT_EMPTY;
    int64_t integer_ = 0;  // every integer tag and VT_BOOL, sign-extended
    double real_ = 0.0;    // VT_R8; VT_DATE's automation date number
    float real4_ = 0.0f;   // VT_R4
    ole_cy cy_{};
    ole_decimal decimal_{};
    std::u16string bstr_;
    std::vector<uint8_t> bytes_;
};
