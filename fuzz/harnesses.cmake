# The fuzz targets' sources and the libraries each needs, shared by the
# libFuzzer executables (fuzz/CMakeLists.txt) and the replay test built with
# the normal compiler (tests/fuzz_replay).  Every target links the layer
# libraries the programs link; nothing in the layers exists for the targets.
set(KESTREL_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

# name  function  libraries
set(KESTREL_FUZZ_TARGETS
  "dbf_table|dbf_table|dbf"
  "dbf_memo|dbf_memo|dbf"
  "profile|profile|conv"
  "tab_file|tab_file|agent"
  "cmd_line|cmd_line|agent"
  "ole_variant|ole_variant_text|ole"
  "ole_date|ole_date_text|ole"
  "ocilite_script|ocilite_script|ocilite_loader"
  "ocilite_sql|ocilite_sql|ocilite_core,ocilite_loader,SQLite::SQLite3")

# kestrel_fuzz_parse(entry NAME FUNCTION LIBS): splits one entry of the list.
macro(kestrel_fuzz_parse entry name function libs)
  string(REPLACE "|" ";" _parts "${entry}")
  list(GET _parts 0 ${name})
  list(GET _parts 1 ${function})
  list(GET _parts 2 _libs)
  string(REPLACE "," ";" ${libs} "${_libs}")
endmacro()
