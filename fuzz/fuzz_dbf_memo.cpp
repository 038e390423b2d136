// dbf_memo: one memo file read without its table.
//
// Input: byte 0 picks the layout (its value modulo 6: dBASE III, dBASE IV,
// FoxPro, Visual FoxPro, Visual FoxPro database container, SMT); bytes 1 to 10
// are the bytes of a memo field of a record; the rest is the memo file.
//
// The field's block number is taken as the table would take it and read, then
// the first blocks of the file, the block the header names and blocks near
// the 32-bit limit.  What must hold: opening fails only with dbf_exception
// (the file may be corrupted), a read only with dbf_exception, and no text
// read is longer than the memo file.
#include <memory>
#include <string>

#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_memo_file.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "tk_exception.h"

namespace kestrel_fuzz {

namespace {

const dbf_memo_type kTypes[] = {dbf_memo_old, dbf_memo_dbt, dbf_memo_fpt,
                                dbf_memo_vfp, dbf_memo_dct, dbf_memo_smt};
constexpr size_t kFieldBytes = 10;
// Blocks read in every file besides the field's: the first ones (the header
// among them) and the last ones a 32-bit number can name.
constexpr uint32_t kFirstBlocks = 8;
const uint32_t kFarBlocks[] = {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};

void read_block(dbf_memo_file& memo, uint32_t block, size_t file_size, std::string_view input) {
    std::string text;
    try {
        text = memo.read_memo(block);
    } catch (const dbf_exception&) {
        return;
    }
    fuzz_check(text.size() <= file_size, "a memo text is longer than its file", input);
}

}  // namespace

int dbf_memo(const uint8_t* data, size_t size) {
    const std::string_view input = as_text(data, size);
    if (input.empty()) return 0;
    const dbf_memo_type type = kTypes[uint8_t(input[0]) % std::size(kTypes)];
    const std::string_view field = input.substr(1, kFieldBytes);
    const std::string_view file =
        input.size() > 1 + kFieldBytes ? input.substr(1 + kFieldBytes) : std::string_view();
    clear_sandbox();
    const std::string path = sandbox_file(std::string("m.") + dbf_memo_extension(type));
    write_sandbox_file(std::string("m.") + dbf_memo_extension(type), file);

    std::unique_ptr<dbf_memo_file> memo;
    try {
        memo = dbf_open_memo_file(type, path, false);
    } catch (const dbf_exception&) {
        return 0;  // corrupted, or too short to be a memo file
    } catch (const std::exception& e) {
        fuzz_fail(std::string("opening the memo file raised ") + e.what(), input);
    }
    fuzz_check(memo != nullptr, "no memo file for a memo layout", input);
    try {
        // A Visual FoxPro table keeps the block in 4 bytes, the others in 10.
        const bool binary = type == dbf_memo_vfp || type == dbf_memo_dct;
        const uint32_t block = memo->get_block_number(field.substr(0, binary ? 4 : kFieldBytes));
        if (block != 0) read_block(*memo, block, file.size(), input);
        for (uint32_t b = 0; b < kFirstBlocks; ++b) read_block(*memo, b, file.size(), input);
        if (file.size() >= 4) {
            const uint32_t next = memo->file().get_u32(0);
            read_block(*memo, next, file.size(), input);
            if (next != 0) read_block(*memo, next - 1, file.size(), input);
        }
        for (const uint32_t b : kFarBlocks) read_block(*memo, b, file.size(), input);
    } catch (const std::exception& e) {
        fuzz_fail(std::string("reading the memo file raised ") + e.what(), input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
