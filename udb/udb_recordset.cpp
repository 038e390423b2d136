#include "udb_recordset.h"

#include "tk_logger.h"

udb_recordset::udb_recordset(std::u16string name, bool schema_flag)
    : name_(std::move(name)), schema_(schema_flag) {}

udb_recordset::~udb_recordset() = default;

void udb_recordset::update(const udb_record& /*record*/) {
    tk_log(2, "udb_recordset::update");
}

udb_record* udb_recordset::get_item() {
    return nullptr;
}

bool udb_recordset::is_eof() {
    return true;
}

bool udb_recordset::has_aux_text() const {
    return !aux_text_.empty();
}

void udb_recordset::next() {}

void udb_recordset::prev() {}

void udb_recordset::move_first() {}

void udb_recordset::add_index(const udb_index& index) {
    tk_wlog(2, u"udb_recordset::add_index (%s)", index.name);
    if (!indexes_.is_acceptable_name(index.name)) return;
    if (primary_index_pos_ < 0 && (index.b_primary || index.b_unique)) {
        tk_log(1, "Store primary/unique key");
        primary_index_pos_ = static_cast<int>(indexes_.size());
    }
    indexes_.push_back(index);
}

const udb_index* udb_recordset::primary_index() const {
    if (primary_index_pos_ < 0) return nullptr;
    return &indexes_[static_cast<size_t>(primary_index_pos_)];
}
