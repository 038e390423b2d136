#include "ora_type.h"

#include <algorithm>
#include <cstring>

#include "ora_engine.h"
#include "ora_oci.h"
#include "ora_type_map.h"
#include "tk_exception.h"
#include "tk_logger.h"

namespace {

const ora_engine& engine() {
    return ora_engine::instance();
}

// Reads one attribute of a parameter descriptor into value.
template <class T>
void get_param_attr(OCIParam* parameter, T& value, ub4 attribute) {
    engine().check_err(ora_oci().OCIAttrGet(parameter, OCI_DTYPE_PARAM, &value, nullptr, attribute,
                                            engine().errhp()));
}

// The UTF-16 text in buffer up to its terminator, never beyond units.
std::u16string_view terminated(const char16_t* buffer, size_t units) {
    const char16_t* end = std::find(buffer, buffer + units, u'\0');
    return std::u16string_view(buffer, static_cast<size_t>(end - buffer));
}

}  // namespace

// ---- ora_type ------------------------------------------------------------------------------

ora_type::ora_type(OCIParam* parameter, uint16_t data_type)
    : data_type_(static_cast<uint8_t>(data_type)) {
    tk_log(2, "ora_type::ctor(%d)", static_cast<int>(data_type));
    ub2 described = 0;
    get_param_attr(parameter, described, OCI_ATTR_DATA_TYPE);
    tk_log(1, "mypard5=%08X", static_cast<unsigned>(described));
    OraText* name = nullptr;
    ub4 name_bytes = 0;
    engine().check_err(ora_oci().OCIAttrGet(parameter, OCI_DTYPE_PARAM, &name, &name_bytes,
                                            OCI_ATTR_NAME, engine().errhp()));
    if (name != nullptr && name_bytes >= 2) {
        // The client's memory need not be aligned for UTF-16 units.
        name_.resize(name_bytes / 2);
        std::memcpy(name_.data(), name, name_.size() * 2);
    }
    tk_wlog(1, u"AS WCHAR*: %s", name_);
    tk_log(1, "Step #1");
    get_param_attr(parameter, nullable_, OCI_ATTR_IS_NULL);
    tk_log(1, "Step #3");
}

ora_type::~ora_type() {
    if (defnp_ != nullptr && ora_oci_is_loaded()) ora_oci().OCIHandleFree(defnp_, OCI_HTYPE_DEFINE);
}

VARTYPE ora_type::get_vartype() const {
    tk_log(2, "ora_type::get_vartype()");
    switch (data_type_) {
        case SQLT_NUM:
        case SQLT_FLT:
        case SQLT_VNU:
        case SQLT_PDN:
            return VT_R8;
        case SQLT_INT:
            return VT_I4;
        case SQLT_DAT:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case 231:
        case SQLT_TIMESTAMP_LTZ:
            return VT_DATE;
        case SQLT_BIN:
        case SQLT_LBI:
        case SQLT_BLOB:
        case SQLT_BFILEE:
            return VT_BLOB;
        default:
            return VT_BSTR;
    }
}

std::unique_ptr<t_ftd> ora_type::get_ftd() const {
    tk_log(2, "ora_type::get_ftd");
    const VARTYPE vt = get_vartype();
    tk_wlog(1, u"Got field '%s', type=%d, vartype=%d, lenght=%d, nullable=%d", name_,
            static_cast<int>(data_type_), static_cast<int>(vt), static_cast<int>(size_),
            static_cast<int>(nullable_));
    return std::make_unique<t_ftd>(size_, name_, vt, nullable_ == 0, false, ole_variant(),
                                   vt == VT_DATE ? 1u : 0u, std::u16string());
}

void ora_type::define_buffer(OCIStmt* statement, uint32_t position, void* buffer,
                             int32_t buffer_size, uint16_t external_type,
                             uint16_t* returned_length) {
    engine().check_err(ora_oci().OCIDefineByPos(statement, &defnp_, engine().errhp(), position,
                                                buffer, buffer_size, external_type, &indicator_,
                                                returned_length, nullptr, OCI_DEFAULT));
}

// ---- ora_number ----------------------------------------------------------------------------

ora_number::ora_number(OCIParam* parameter) : ora_type(parameter, SQLT_NUM) {
    tk_log(2, "ora_number::ctor");
    // Select-list descriptors give the precision as sb2 and the scale as sb1.
    sb2 precision = 0;
    sb1 scale = 0;
    get_param_attr(parameter, precision, OCI_ATTR_PRECISION);
    get_param_attr(parameter, scale, OCI_ATTR_SCALE);
    tk_log(1, "Prec=%d, scale=%d", static_cast<int>(precision), static_cast<int>(scale));
    precision_ = precision < 0 ? 0u : static_cast<uint32_t>(precision);
    scale_ = scale < 0 ? 0u : static_cast<uint32_t>(scale);
    vartype_ = get_refined_num_type(precision_, scale_);
}

std::unique_ptr<t_ftd> ora_number::get_ftd() const {
    tk_log(2, "ora_number::get_ftd");
    tk_wlog(1, u"Got field '%s', type=%d, lenght=%d, nullable=%d", name_,
            static_cast<int>(vartype_), static_cast<int>(size_), static_cast<int>(nullable_));
    const uint32_t reserved = vartype_ == VT_DECIMAL ? precision_ * 256 + scale_ : 0;
    return std::make_unique<t_ftd>(size_, name_, vartype_, nullable_ == 0, false, ole_variant(),
                                   reserved, std::u16string());
}

void ora_number::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_number::define(%d)", static_cast<int>(position));
    define_buffer(statement, position, text_, sizeof text_, SQLT_STR);
}

void ora_number::to_variant(ole_variant& target) {
    const std::u16string_view text = terminated(text_, kTextUnits + 1);
    tk_wlog(2, u"ora_number::to_variant(buf=%s)", static_cast<const char16_t*>(text_));
    // Oracle's text of a number is ASCII (digits, sign, decimal character,
    // exponent); anything else does not read as a number either way.
    char narrow[kTextUnits + 1];
    for (size_t i = 0; i < text.size(); ++i)
        narrow[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    const std::string_view digits(narrow, text.size());
    ole_variant value = ole_variant::from_string(digits, vartype_);
    if (value.is_empty() && !digits.empty()) {
        // The refined type cannot hold this value: keep it in the nearest
        // type that can rather than hand on NULL.
        tk_wlog(1, u"Value '%s' does not fit VT code %d", std::u16string(text),
                static_cast<int>(vartype_));
        if (vartype_ != VT_DECIMAL && vartype_ != VT_R8)
            value = ole_variant::from_string(digits, VT_DECIMAL);
        if (value.is_empty()) value = ole_variant::from_string(digits, VT_R8);
    }
    target = std::move(value);
}

// ---- ora_binary_float ----------------------------------------------------------------------

ora_binary_float::ora_binary_float(OCIParam* parameter, uint16_t data_type)
    : ora_type(parameter, data_type) {
    tk_log(2, "ora_binary_float::ctor");
}

VARTYPE ora_binary_float::get_vartype() const {
    return data_type_ == SQLT_IBFLOAT ? VT_R4 : VT_R8;
}

void ora_binary_float::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_binary_float::define(%d)", static_cast<int>(position));
    if (data_type_ == SQLT_IBFLOAT)
        define_buffer(statement, position, &float_, sizeof float_, SQLT_BFLOAT);
    else
        define_buffer(statement, position, &double_, sizeof double_, SQLT_BDOUBLE);
}

void ora_binary_float::to_variant(ole_variant& target) {
    if (data_type_ == SQLT_IBFLOAT)
        target = ole_variant(float_);
    else
        target = ole_variant(double_);
}

// ---- ora_string ----------------------------------------------------------------------------

ora_string::ora_string(OCIParam* parameter) : ora_type(parameter, SQLT_STR) {
    tk_log(2, "ora_string::ctor");
    ub2 data_size = 0;
    get_param_attr(parameter, data_size, OCI_ATTR_DATA_SIZE);
    size_ = data_size;
    units_ = static_cast<size_t>(size_) + 1;
    buffer_ = std::make_unique<char16_t[]>(units_);
}

void ora_string::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_string::define(%d)", static_cast<int>(position));
    define_buffer(statement, position, buffer_.get(), static_cast<int32_t>(units_ * 2), SQLT_STR);
}

void ora_string::to_variant(ole_variant& target) {
    TK_ASSERT(buffer_ != nullptr);
    const std::u16string_view text = terminated(buffer_.get(), units_);
    tk_wlog(2, u"ora_string::to_variant: %s", static_cast<const char16_t*>(buffer_.get()));
    target.attach_wstring(text);
}

// ---- ora_binary ----------------------------------------------------------------------------

ora_binary::ora_binary(OCIParam* parameter) : ora_type(parameter, SQLT_BIN) {
    tk_log(2, "ora_binary::ctor");
    ub2 data_size = 0;
    get_param_attr(parameter, data_size, OCI_ATTR_DATA_SIZE);
    size_ = data_size;
    buffer_ = std::make_unique<uint8_t[]>(std::max<size_t>(size_, 1));
}

void ora_binary::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_binary::define(%d)", static_cast<int>(position));
    define_buffer(statement, position, buffer_.get(), static_cast<int32_t>(size_), SQLT_BIN,
                  &length_);
}

void ora_binary::to_variant(ole_variant& target) {
    TK_ASSERT(buffer_ != nullptr);
    // The row's own length: a shorter value than the column's size must not
    // carry the bytes an earlier, longer row left in the buffer.
    target.attach_binary(std::min<size_t>(length_, size_), buffer_.get());
}

// ---- ora_lob -------------------------------------------------------------------------------

ora_lob::ora_lob(OCIParam* parameter, uint16_t data_type) : ora_type(parameter, data_type) {
    tk_log(2, "ora_lob::ctor");
    engine().check_err(ora_oci().OCIDescriptorAlloc(
        engine().envhp(), reinterpret_cast<void**>(&locator_), OCI_DTYPE_LOB, 0, nullptr));
    piece_.resize(kPieceBytes);
}

ora_lob::~ora_lob() {
    if (locator_ != nullptr && ora_oci_is_loaded())
        ora_oci().OCIDescriptorFree(locator_, OCI_DTYPE_LOB);
}

void ora_lob::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_lob::defind(%d)", static_cast<int>(position));
    define_buffer(statement, position, &locator_, -1, data_type_);
}

uint32_t ora_lob::read_lob(uint32_t offset, void* buffer, uint32_t capacity, int& status) {
    tk_log(2, "ora_lob::read_lob(%d,%d)", static_cast<int>(offset), static_cast<int>(capacity));
    ub4 amount = 0;
    // CLOB text is asked for in UTF-16 whatever the client's NLS character
    // set: the pieces then decode the same way with every client, and a
    // piece that ends inside a character cannot be mis-read.
    const ub2 charset = data_type_ == SQLT_CLOB ? OCI_UTF16ID : 0;
    status = ora_oci().OCILobRead(engine().svchp(), engine().errhp(), locator_, &amount, offset,
                                  buffer, capacity, nullptr, nullptr, charset, form_);
    engine().check_err(status);
    return amount;
}

void ora_lob::to_variant(ole_variant& target) {
    tk_log(2, "ora_lob::to_variant");
    const bool clob = data_type_ == SQLT_CLOB;
    TK_ASSERT(clob || data_type_ == SQLT_BLOB);
    form_ = SQLCS_IMPLICIT;
    if (clob) {
        tk_log(1, "Got SQLT_CLOB!");
        ub1 form = SQLCS_IMPLICIT;
        engine().check_err(
            ora_oci().OCILobCharSetForm(engine().envhp(), engine().errhp(), locator_, &form));
        form_ = form;
        tk_log(1, "Got charset form: %d", static_cast<int>(form_));
    }
    std::u16string text;
    std::vector<uint8_t> bytes;
    uint32_t offset = 1;
    while (true) {
        int status = OCI_SUCCESS;
        const uint32_t amount = read_lob(offset, piece_.data(), kPieceBytes, status);
        if (amount == 0) break;
        // A CLOB amount counts UTF-16 characters, a BLOB amount bytes.
        const size_t got = std::min<size_t>(clob ? size_t{amount} * 2 : amount, kPieceBytes);
        tk_log(1, "bytes_read=%d", static_cast<int>(got));
        if (clob) {
            const size_t start = text.size();
            text.resize(start + got / 2);
            std::memcpy(text.data() + start, piece_.data(), got / 2 * 2);
        } else {
            bytes.insert(bytes.end(), piece_.begin(), piece_.begin() + static_cast<long>(got));
        }
        offset += amount;
        // OCI_SUCCESS with a piece that did not fill the buffer was the last
        // one; a full last piece is followed by a read that returns nothing.
        if (status == OCI_SUCCESS && got < kPieceBytes) break;
    }
    if (clob)
        target.attach_wstring(text);
    else
        target.attach_binary(bytes);
}

// ---- ora_date ------------------------------------------------------------------------------

ora_date::ora_date(OCIParam* parameter, uint16_t data_type) : ora_type(parameter, data_type) {
    tk_log(2, "ora_date::ctor");
    engine().check_err(ora_oci().OCIDescriptorAlloc(
        engine().envhp(), reinterpret_cast<void**>(&descriptor_), OCI_DTYPE_TIMESTAMP, 0, nullptr));
}

ora_date::~ora_date() {
    if (descriptor_ != nullptr && ora_oci_is_loaded())
        ora_oci().OCIDescriptorFree(descriptor_, OCI_DTYPE_TIMESTAMP);
}

void ora_date::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_date::define(%d)", static_cast<int>(position));
    // The value is the descriptor pointer; OCI takes its size as the value size.
    define_buffer(statement, position, &descriptor_, static_cast<int32_t>(sizeof descriptor_),
                  SQLT_TIMESTAMP);
}

void ora_date::to_variant(ole_variant& target) {
    tk_log(2, "ora_date::to_variant");
    TK_ASSERT(descriptor_ != nullptr);
    sb2 year = 0;
    ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
    ub4 fraction = 0;
    engine().check_err(ora_oci().OCIDateTimeGetDate(engine().envhp(), engine().errhp(), descriptor_,
                                                    &year, &month, &day));
    engine().check_err(ora_oci().OCIDateTimeGetTime(engine().envhp(), engine().errhp(), descriptor_,
                                                    &hour, &minute, &second, &fraction));
    ole_systemtime record;
    // Years before the common era have no place in the calendar record; they
    // become year 0, which the record reads as no date, never a wrapped year.
    record.year = year > 0 ? static_cast<uint16_t>(year) : 0;
    record.month = month;
    record.day = day;
    record.hour = hour;
    record.minute = minute;
    record.second = second;
    record.milliseconds = static_cast<uint16_t>(fraction / 1000000);
    tk_log(1, "Got time: %02d:%02d:%02d.%d", static_cast<int>(hour), static_cast<int>(minute),
           static_cast<int>(second), static_cast<int>(record.milliseconds));
    target = ole_variant(record);
}

// ---- ora_str_repr --------------------------------------------------------------------------

ora_str_repr::ora_str_repr(OCIParam* parameter, uint16_t data_type, uint32_t units)
    : ora_type(parameter, data_type) {
    tk_log(2, "ora_str_repr::ctor");
    size_ = units;
    // LONG RAW arrives as hexadecimal text, two units a byte, after "0x".
    text_units_ = is_long_raw() ? size_t{units} * 2 : size_t{units};
    const size_t prefix = is_long_raw() ? 2 : 0;
    buffer_ = std::make_unique_for_overwrite<char16_t[]>(prefix + text_units_ + 1);
    buffer_[0] = u'\0';
    if (is_long_raw()) {
        buffer_[0] = u'0';
        buffer_[1] = u'x';
        buffer_[2] = u'\0';
    }
}

bool ora_str_repr::is_long_raw() const noexcept {
    return data_type_ == SQLT_LBI;
}

void ora_str_repr::define(OCIStmt* statement, uint32_t position) {
    tk_log(2, "ora_str_repr::define(%d)", static_cast<int>(position));
    char16_t* text = buffer_.get() + (is_long_raw() ? 2 : 0);
    define_buffer(statement, position, text, static_cast<int32_t>((text_units_ + 1) * 2), SQLT_STR);
}

void ora_str_repr::to_variant(ole_variant& target) {
    const size_t prefix = is_long_raw() ? 2 : 0;
    const std::u16string_view text = terminated(buffer_.get(), prefix + text_units_ + 1);
    tk_wlog(2, u"ora_str_repr::to_variant (buf=%s)", static_cast<const char16_t*>(buffer_.get()));
    if (is_long_raw()) {
        std::string hex(text.size(), '\0');
        for (size_t i = 0; i < text.size(); ++i)
            hex[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
        target = ole_variant::from_string(hex, VT_BLOB);
    } else {
        target.attach_wstring(text);
    }
}

// ---- ora_dummy -----------------------------------------------------------------------------

ora_dummy::ora_dummy(OCIParam* parameter) : ora_type(parameter, SQLT_STR) {
    tk_log(2, "ora_dummy::ctor");
    size_ = 18;
    nullable_ = 0;
}

void ora_dummy::define(OCIStmt* /*statement*/, uint32_t /*position*/) {}

void ora_dummy::to_variant(ole_variant& target) {
    target.attach_wstring(u"<unsupported type>");
}

// ---- ora_record ----------------------------------------------------------------------------

ora_record::ora_record(const column_list& columns) {
    tk_log(2, "ora_record::ctor");
    reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        udb_field& field = emplace_back(columns[i]->name(),
                                        static_cast<int32_t>(columns[i]->size()), ole_variant());
        fill_field(field, i, *columns[i]);
    }
}

void ora_record::refill(const column_list& columns) {
    tk_log(2, "ora_record::refill");
    bool same = size() == columns.size();
    for (size_t i = 0; same && i < columns.size(); ++i)
        same = (*this)[i].name() == columns[i]->name();
    if (!same) {
        clear();
        for (const auto& column : columns)
            emplace_back(column->name(), static_cast<int32_t>(column->size()), ole_variant());
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        udb_field& field = (*this)[i];
        field.set_size(static_cast<int32_t>(columns[i]->size()));
        fill_field(field, i, *columns[i]);
    }
}

void ora_record::fill_field(udb_field& field, size_t index, ora_type& column) {
    tk_log(1, "Column #%d: null_ind=%d", static_cast<int>(index),
           static_cast<int>(column.indicator()));
    if (column.is_null()) {
        tk_log(1, "Field #%d has NULL value", static_cast<int>(index));
        field.value().clear();
    } else {
        column.to_variant(field.value());
    }
}
