// The fuzz targets: one function per input that the system reads from
// somewhere else.  Each takes one input of any bytes, feeds it to the layers
// as the programs would, checks what must hold whatever the input, and returns
// 0.  A broken property, or an exception the layers do not promise, ends the
// process (fuzz_support.h).
//
//   dbf_table       a DBF table and its memo companions, opened and read
//                   through dbf_recordset, then appended to;
//   dbf_memo        a memo file of each layout read alone;
//   profile         a profile file through udb_profile::load and the
//                   converter's load_profile;
//   tab_file        a table-names file through process_tab_file;
//   cmd_line        an argument vector through ansi_cmd_line and the agent's
//                   whole entry with the job left out;
//   ole_variant     a text through ole_variant::from_string for every tag;
//   ole_date        a text, and a calendar record, through ole_date;
//   ocilite_script  an SQL script through ocilite's loader, into a fresh
//                   in-memory database;
//   ocilite_sql     a query through ocilite's SQL rewriter, prepared and run
//                   on a fresh in-memory copy of a sample database.
//
// Input layouts are described beside each function's definition; the seed
// corpora in fuzz/corpus/<target>/ follow them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrel_fuzz {

int dbf_table(const uint8_t* data, size_t size);
int dbf_memo(const uint8_t* data, size_t size);
int profile(const uint8_t* data, size_t size);
int tab_file(const uint8_t* data, size_t size);
int cmd_line(const uint8_t* data, size_t size);
int ole_variant_text(const uint8_t* data, size_t size);
int ole_date_text(const uint8_t* data, size_t size);
int ocilite_script(const uint8_t* data, size_t size);
int ocilite_sql(const uint8_t* data, size_t size);

// The separator between the table and the memo part of a dbf_table input.
inline constexpr char kMemoSeparator[] = "=KSL-MEMO=";

}  // namespace kestrel_fuzz
