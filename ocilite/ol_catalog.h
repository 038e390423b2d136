// The storage layout of an ocilite database: an SQLite file that holds the
// user's tables as ordinary SQLite tables plus the catalog tables below, from
// which the engine answers Oracle's data-dictionary views.
//
// Who writes what:
//   - ocilite-load (the script loader) creates the catalog with
//     kCatalogSchemaSql, then fills it as it runs CREATE TABLE / INDEX / VIEW /
//     ALTER TABLE / INSERT statements.
//   - the OCI engine only reads the catalog (and the user tables).
//
// User tables: one SQLite table per Oracle table, named by the Oracle name in
// upper case (as Oracle stores unquoted identifiers), columns in COLUMN_ID
// order, named in upper case.  Values are stored as follows, so that nothing
// is rounded on the way in or out:
//   NUMBER/FLOAT/INTEGER    INTEGER when integral and within 64 bits, else TEXT
//                           holding the exact decimal in Oracle's canonical text
//                           form ("-.25", "1234.5", "1.0E+40" never; store the
//                           plain digits "10000000000000000000000000000000000000000")
//   VARCHAR2/CHAR/NVARCHAR2/NCHAR/CLOB/NCLOB/LONG   TEXT (UTF-8); CHAR and NCHAR
//                           stored blank-padded to their length as Oracle keeps them
//   DATE                    TEXT 'YYYY-MM-DD HH24:MI:SS'
//   TIMESTAMP(n)            TEXT 'YYYY-MM-DD HH24:MI:SS.fffffffff' (9 fraction digits)
//   TIMESTAMP(n) WITH TIME ZONE     TEXT 'YYYY-MM-DD HH24:MI:SS.fffffffff ZONE': the local
//                           time and the zone in TZR form ('+02:00', '-08:00', 'US/Pacific')
//   TIMESTAMP(n) WITH LOCAL TIME ZONE   TEXT as TIMESTAMP, in the database time zone (UTC)
//   INTERVAL YEAR(p) TO MONTH       TEXT in Oracle's form at the column's precision: '+02-03'
//   INTERVAL DAY(p) TO SECOND(s)    TEXT likewise: '+03 04:05:06.123000'
//   RAW/LONG RAW/BLOB       BLOB
//   BINARY_FLOAT/DOUBLE     REAL
//   ROWID                   TEXT
//   SQL NULL                NULL (an empty string literal '' is NULL too, as in Oracle)
#pragma once

namespace ocilite {

inline constexpr const char* kCatalogSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS ocilite_settings(
  name  TEXT PRIMARY KEY,       -- 'banner': first row of v$version (further rows: 'banner2'..;
                                -- 'banner_full': its BANNER_FULL from 18c on)
  value TEXT);
CREATE TABLE IF NOT EXISTS ocilite_users(
  username       TEXT PRIMARY KEY,   -- upper case
  password       TEXT NOT NULL,      -- compared case-sensitively
  account_status TEXT NOT NULL DEFAULT 'OPEN');  -- 'OPEN' or 'LOCKED'
CREATE TABLE IF NOT EXISTS ocilite_tables(
  table_name TEXT PRIMARY KEY,
  owner      TEXT NOT NULL,          -- the schema; USER_TABLES shows the connected user's
  temporary  TEXT NOT NULL DEFAULT 'N',   -- 'Y'/'N'
  nested     TEXT NOT NULL DEFAULT 'NO',  -- 'YES'/'NO'
  iot_type   TEXT,                        -- NULL, 'IOT', 'IOT_OVERFLOW', 'IOT_MAPPING'
  comments   TEXT);
CREATE TABLE IF NOT EXISTS ocilite_columns(
  table_name     TEXT NOT NULL,      -- a table of ocilite_tables or a view of ocilite_views
  column_id      INTEGER NOT NULL,   -- 1..n
  column_name    TEXT NOT NULL,
  data_type      TEXT NOT NULL,      -- as USER_TAB_COLUMNS.DATA_TYPE: 'VARCHAR2', 'NUMBER',
                                     -- 'TIMESTAMP(6)', 'TIMESTAMP(9) WITH TIME ZONE',
                                     -- 'INTERVAL DAY(2) TO SECOND(6)', 'LONG RAW', ...
  data_length    INTEGER NOT NULL,   -- bytes, as Oracle reports (NVARCHAR2(n): 2n)
  data_precision INTEGER,            -- NULL where Oracle shows NULL
  data_scale     INTEGER,
  nullable       TEXT NOT NULL,      -- 'Y'/'N'
  data_default   TEXT,               -- the DEFAULT text as typed, NULL when none
  char_length    INTEGER NOT NULL DEFAULT 0,
  char_used      TEXT,               -- 'B', 'C' or NULL
  comments       TEXT,
  PRIMARY KEY(table_name, column_id));
CREATE TABLE IF NOT EXISTS ocilite_constraints(
  constraint_name   TEXT PRIMARY KEY,
  constraint_type   TEXT NOT NULL,   -- 'P','U','R','C'
  table_name        TEXT NOT NULL,
  r_constraint_name TEXT,            -- R only
  delete_rule       TEXT,            -- R only: 'CASCADE','SET NULL','NO ACTION'
  search_condition  TEXT,            -- C only
  status            TEXT NOT NULL DEFAULT 'ENABLED',
  generated         TEXT NOT NULL DEFAULT 'USER NAME',  -- or 'GENERATED NAME'
  index_name        TEXT);
CREATE TABLE IF NOT EXISTS ocilite_cons_columns(
  constraint_name TEXT NOT NULL,
  table_name      TEXT NOT NULL,
  column_name     TEXT NOT NULL,
  position        INTEGER);          -- 1..n for P/U/R, NULL for C
CREATE TABLE IF NOT EXISTS ocilite_indexes(
  index_name TEXT PRIMARY KEY,
  table_name TEXT NOT NULL,
  index_type TEXT NOT NULL DEFAULT 'NORMAL',
  uniqueness TEXT NOT NULL,          -- 'UNIQUE'/'NONUNIQUE'
  generated  TEXT NOT NULL DEFAULT 'N');  -- 'Y' only for system-named (SYS_C...) indexes
CREATE TABLE IF NOT EXISTS ocilite_ind_columns(
  index_name      TEXT NOT NULL,
  table_name      TEXT NOT NULL,
  column_name     TEXT NOT NULL,
  column_position INTEGER NOT NULL,
  descend         TEXT NOT NULL DEFAULT 'ASC',
  -- A hidden SYS_NC<n>$ column: the expression it holds as Oracle prints it
  -- ('UPPER("ENAME")'; '"ENAME"' for a descending column).
  column_expression TEXT);
CREATE TABLE IF NOT EXISTS ocilite_views(
  view_name TEXT PRIMARY KEY,
  text      TEXT NOT NULL,           -- the query after AS, as typed
  owner     TEXT);                   -- the schema; NULL (databases of earlier loaders): every
                                     -- user's
CREATE TABLE IF NOT EXISTS ocilite_sequences(
  sequence_name TEXT PRIMARY KEY,
  min_value     TEXT, max_value TEXT, increment_by TEXT, last_number TEXT);
)sql";

// Columns that later versions of the layout added, with their declarations: a database made
// before them gets them with ALTER TABLE ADD COLUMN (NULL in existing rows).
struct catalog_column {
    const char* table;
    const char* column;
    const char* declaration;
};
inline constexpr catalog_column kAddedCatalogColumns[] = {
    {"ocilite_ind_columns", "column_expression", "TEXT"},
    {"ocilite_views", "owner", "TEXT"},
};

// The counter behind system-made names (SYS_C0012345): ocilite_settings row
// 'sys_c_next', an integer, starting at 10000.
inline constexpr const char* kSysCounterSetting = "sys_c_next";

}  // namespace ocilite
