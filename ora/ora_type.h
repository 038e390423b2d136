// Column value objects: one per select-list position of an Oracle query.
//
// A column object learns the column's name, nullability and size from the
// OCI parameter descriptor, owns the output buffer (or OCI descriptor) into
// which every fetched row's value is written, binds it to the statement
// (define), turns the current row's value into an ole_variant (to_variant)
// and describes the column as a field type descriptor (get_ftd).
// ora_query_results::gen_co_by_type picks the class by the OCI data type:
//
//   ora_number        NUMBER, FLOAT, INTEGER: Oracle's text of the number,
//                     converted to the VT code refined from precision/scale
//   ora_binary_float  BINARY_FLOAT, BINARY_DOUBLE: native 4/8-byte values
//   ora_string        VARCHAR2, NVARCHAR2, CHAR, NCHAR: UTF-16 text
//   ora_binary        RAW: the row's bytes
//   ora_lob           CLOB, NCLOB, BLOB: read through the locator in pieces
//   ora_date          DATE, TIMESTAMP...: through a date-time descriptor
//   ora_str_repr      LONG, LONG RAW, ROWID, intervals: text in a fixed buffer
//   ora_dummy         anything else: "<unsupported type>" in every row
//
// Buffers and descriptors are allocated once, when the object is built, and
// reused for every row; each fetch overwrites them in place.  The objects
// belong to their result set and live as long as it does; the engine must
// outlive them.  One thread.
//
// ora_record turns the current row into a udb_record; it can be refilled in
// place for the next row, so that reading a table allocates no field objects
// per row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "udb_record.h"
#include "udb_schema.h"

struct OCIParam;
struct OCIStmt;
struct OCIDefine;
struct OCILobLocator;
struct OCIDateTime;

class ora_type {
  public:
    // Logs "ora_type::ctor(%d)" and reads, from the parameter descriptor,
    // the column's data type (logged only), name and nullability.  data_type
    // is the code under which the column is handled.  Raises ora_exception
    // when OCI refuses an attribute.
    ora_type(OCIParam* parameter, uint16_t data_type);
    // Frees the define handle.
    virtual ~ora_type();
    ora_type(const ora_type&) = delete;
    ora_type& operator=(const ora_type&) = delete;

    // The VT code of the column's values.  The base maps data_type: numbers
    // VT_R8 (VT_I4 for SQLT_INT), dates VT_DATE, binaries VT_BLOB, anything
    // else VT_BSTR.  Logs "ora_type::get_vartype()".
    virtual VARTYPE get_vartype() const;
    // A new descriptor of the column (size, name, VT code, not-null when the
    // column admits no NULL, reserved 1 for dates), owned by the caller.
    virtual std::unique_ptr<t_ftd> get_ftd() const;
    // Replaces target's value by the current row's value.
    // REQUIRES: the row's indicator is not NULL (ora_record tests it).
    virtual void to_variant(ole_variant& target) = 0;
    // Binds the output buffer at the 1-based position of the statement.
    // Raises ora_exception when OCI refuses.
    virtual void define(OCIStmt* statement, uint32_t position) = 0;

    // Whether OCI reported the current row's value cut by the buffer
    // (indicator above 0, or -2 for a length past 32767).
    bool is_truncated() const noexcept { return indicator_ > 0 || indicator_ == -2; }
    bool is_null() const noexcept { return indicator_ == -1; }

    const std::u16string& name() const noexcept { return name_; }
    uint8_t nullable() const noexcept { return nullable_; }
    uint32_t size() const noexcept { return size_; }
    void set_size(uint32_t size) noexcept { size_ = size; }
    uint8_t data_type() const noexcept { return data_type_; }
    int16_t indicator() const noexcept { return indicator_; }

  protected:
    // OCIDefineByPos with the indicator and, when given, the returned length.
    void define_buffer(OCIStmt* statement, uint32_t position, void* buffer, int32_t buffer_size,
                       uint16_t external_type, uint16_t* returned_length = nullptr);

    OCIDefine* defnp_ = nullptr;
    std::u16string name_;
    uint8_t nullable_ = 0;
    uint32_t size_ = 0;
    uint8_t data_type_ = 0;
    int16_t indicator_ = 0;
};

class ora_number : public ora_type {
  public:
    // Logs "ora_number::ctor"; reads precision and scale ("Prec=%d,
    // scale=%d"), a negative scale counting as 0, and refines the VT code
    // (get_refined_num_type, which may raise the precision by one).
    explicit ora_number(OCIParam* parameter);

    VARTYPE get_vartype() const override { return vartype_; }
    // As the base, with reserved = precision * 256 + scale for VT_DECIMAL.
    std::unique_ptr<t_ftd> get_ftd() const override;
    // The fetched text converted to the refined VT code.  A value that the
    // refined type cannot hold (a NUMBER(20) past the 64-bit range, 30 digits
    // before the point of a NUMBER(38,2)) is not dropped: it becomes a
    // VT_DECIMAL, or a VT_R8 when no DECIMAL holds it either.
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

    uint32_t precision() const noexcept { return precision_; }
    uint32_t scale() const noexcept { return scale_; }

  private:
    static constexpr int kTextUnits = 255;

    uint32_t precision_ = 0;
    uint32_t scale_ = 0;
    VARTYPE vartype_ = VT_R8;
    char16_t text_[kTextUnits + 1] = {};
};

// BINARY_FLOAT and BINARY_DOUBLE, fetched as the native 4- and 8-byte values,
// so that every value arrives exactly.
class ora_binary_float : public ora_type {
  public:
    // data_type: SQLT_IBFLOAT (100) or SQLT_IBDOUBLE (101).  Logs
    // "ora_binary_float::ctor".
    ora_binary_float(OCIParam* parameter, uint16_t data_type);

    // VT_R4 for BINARY_FLOAT, VT_R8 for BINARY_DOUBLE.
    VARTYPE get_vartype() const override;
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

  private:
    float float_ = 0;
    double double_ = 0;
};

class ora_string : public ora_type {
  public:
    // Logs "ora_string::ctor"; size is the column's OCI_ATTR_DATA_SIZE and
    // the buffer holds size + 1 UTF-16 units.
    explicit ora_string(OCIParam* parameter);

    // The fetched UTF-16 text as a VT_BSTR.  (The text stays UTF-16: the DBF
    // writer converts it to the table's code page, so no character is lost
    // on the way.)
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

  private:
    std::unique_ptr<char16_t[]> buffer_;
    size_t units_ = 0;
};

class ora_binary : public ora_type {
  public:
    // Logs "ora_binary::ctor"; size is the column's OCI_ATTR_DATA_SIZE.
    explicit ora_binary(OCIParam* parameter);

    // Exactly the row's bytes (the length OCI returns for the define).
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

  private:
    std::unique_ptr<uint8_t[]> buffer_;
    uint16_t length_ = 0;
};

class ora_lob : public ora_type {
  public:
    // data_type: SQLT_CLOB (112) or SQLT_BLOB (113).  Logs "ora_lob::ctor"
    // and allocates the locator.
    ora_lob(OCIParam* parameter, uint16_t data_type);
    ~ora_lob() override;

    // Reads the LOB in 32 KiB pieces from offset 1 to its end.  A CLOB or
    // NCLOB becomes its text (VT_BSTR; an empty LOB the empty text), a BLOB
    // its bytes.  Raises ora_exception when a read fails.
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

    // One OCILobRead at the offset into buffer (capacity bytes); returns the
    // amount read (characters of a CLOB, bytes of a BLOB) and sets status to
    // the OCI status.  Logs "ora_lob::read_lob(%d,%d)".
    uint32_t read_lob(uint32_t offset, void* buffer, uint32_t capacity, int& status);

  private:
    static constexpr uint32_t kPieceBytes = 32768;

    OCILobLocator* locator_ = nullptr;
    uint8_t form_ = 1;
    std::vector<char> piece_;
};

class ora_date : public ora_type {
  public:
    // Logs "ora_date::ctor" and allocates the date-time descriptor.
    ora_date(OCIParam* parameter, uint16_t data_type);
    ~ora_date() override;

    // The date and time of day, milliseconds from the fraction.
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

  private:
    OCIDateTime* descriptor_ = nullptr;
};

class ora_str_repr : public ora_type {
  public:
    // Logs "ora_str_repr::ctor".  units: the longest text the buffer holds
    // (1,000,000 for LONG and LONG RAW, 255 for ROWIDs, 32 for intervals);
    // for LONG RAW it counts bytes, whose hexadecimal text takes two units
    // each.
    ora_str_repr(OCIParam* parameter, uint16_t data_type, uint32_t units);

    // LONG RAW: the hexadecimal text as bytes (VT_BINARY); otherwise the
    // text (VT_BSTR).
    void to_variant(ole_variant& target) override;
    void define(OCIStmt* statement, uint32_t position) override;

  private:
    bool is_long_raw() const noexcept;

    std::unique_ptr<char16_t[]> buffer_;
    size_t text_units_ = 0;  // room for text, without the terminator
};

class ora_dummy : public ora_type {
  public:
    // Logs "ora_dummy::ctor"; reads the name only.  Size 18, not nullable.
    explicit ora_dummy(OCIParam* parameter);

    // The text "<unsupported type>".
    void to_variant(ole_variant& target) override;
    // Binds nothing.
    void define(OCIStmt* statement, uint32_t position) override;
};

// One fetched row as a udb_record: a udb_field per column object, named and
// sized as the column, holding the value (the empty value for NULL).
class ora_record : public udb_record {
  public:
    using column_list = std::vector<std::unique_ptr<ora_type>>;

    // Logs "ora_record::ctor" and builds the fields from the current row.
    explicit ora_record(const column_list& columns);

    // Replaces the fields' values by the current row's, reusing the field
    // objects (fields that a caller removed or renamed are rebuilt).
    void refill(const column_list& columns);

  private:
    static void fill_field(udb_field& field, size_t index, ora_type& column);
};
