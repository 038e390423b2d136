#!/usr/bin/python3
"""Independent readers against this system's DBF files.

  check_readers.py written FOLDER
      FOLDER holds tables this system wrote and, for each TABLE.dbf, the
      values appended in TABLE.expected.json.  Every table is read with
      dbfread and every value compared; tables listed in
      python_dbf_tables.json are read with the dbf package too.
  check_readers.py dump FILE.dbf DUMP.json ENCODING [SKIP,FIELDS [READER]]
      DUMP.json holds what this system's reader read from FILE.dbf; the same
      file is read with dbfread (READER "dbf": with the dbf package) in
      ENCODING and the values compared.

Values are JSON: null, true/false, numbers, "s:text", "d:YYYY-MM-DD",
"dt:YYYY-MM-DD HH:MM:SS".  Exit status 0 when everything agrees, 1 otherwise
(each difference is printed).
"""
import datetime
import decimal
import json
import os
import struct
import sys

import dbfread
from dbfread.field_parser import FieldParser


class FoxProDoubleParser(FieldParser):
    # This system writes 'B' fields as 8-byte doubles (the FoxPro meaning of
    # the letter) in dBASE III tables; dbfread gives 'B' that meaning only in
    # Visual FoxPro tables.
    def parseB(self, field, data):
        return struct.unpack('<d', data)[0]


def canonical(value):
    if value is None or isinstance(value, bool):
        return value
    if isinstance(value, (int, float, decimal.Decimal)):
        return float(value)
    if isinstance(value, str):
        return 's:' + value
    if isinstance(value, datetime.datetime):
        value = value + datetime.timedelta(microseconds=500000)
        return 'dt:' + value.strftime('%Y-%m-%d %H:%M:%S')
    if isinstance(value, datetime.date):
        return 'd:' + value.strftime('%Y-%m-%d')
    return 'other:' + repr(value)


def same(expected, got):
    if isinstance(expected, float) or isinstance(got, float):
        if not isinstance(expected, (int, float)) or not isinstance(got, (int, float)):
            return False
        if isinstance(expected, bool) or isinstance(got, bool):
            return expected == got
        # Both sides read 'F' fields as decimal text: the readers' doubles
        # are as close as this system's exact decimals.
        return abs(expected - got) <= 1e-12 * max(1.0, abs(expected))
    return expected == got


def compare(label, expected_rows, got_rows, types, problems, logical_blank_is_false=False,
            empty_memo_is_empty_text=False):
    if len(expected_rows) != len(got_rows):
        problems.append('%s: %d records expected, %d read' % (label, len(expected_rows), len(got_rows)))
    for i, (exp, got) in enumerate(zip(expected_rows, got_rows)):
        for name, value in exp.items():
            if name not in got:
                problems.append('%s record %d: field %s missing' % (label, i, name))
                continue
            other = got[name]
            if logical_blank_is_false and types.get(name) == 'L' and value is False and other is None:
                continue  # this system reads '?' and ' ' as false
            if empty_memo_is_empty_text and types.get(name) == 'M' and value is None and other == 's:':
                continue  # dbf gives '' for an empty memo
            if not same(value, other):
                problems.append('%s record %d field %s: expected %r, read %r'
                                % (label, i, name, value, other))


def read_dbfread(path, encoding=None):
    table = dbfread.DBF(path, encoding=encoding, parserclass=FoxProDoubleParser,
                        char_decode_errors='strict', ignore_missing_memofile=True)
    types = {f.name: f.type for f in table.fields}
    rows = [{k: canonical(v) for k, v in rec.items()} for rec in table]
    return rows, types


def read_python_dbf(path, encoding='cp1252'):
    import dbf
    table = dbf.Table(path, codepage=encoding)
    table.open(dbf.READ_ONLY)
    try:
        names = table.field_names
        rows = []
        for rec in table:
            row = {}
            for name in names:
                value = rec[name]
                if isinstance(value, str):
                    value = value.rstrip(' ')
                row[name.upper()] = canonical(value)
            rows.append(row)
        return rows
    finally:
        table.close()


def check_written(folder):
    problems = []
    with open(os.path.join(folder, 'python_dbf_tables.json')) as f:
        python_dbf_tables = json.load(f)
    for name in sorted(os.listdir(folder)):
        if not name.endswith('.expected.json'):
            continue
        table = name[:-len('.expected.json')]
        with open(os.path.join(folder, name), encoding='utf-8') as f:
            expected = json.load(f)
        path = os.path.join(folder, table + '.dbf')
        rows, types = read_dbfread(path, 'cp1252')
        compare('dbfread ' + table, expected, rows, types, problems)
        if table in python_dbf_tables:
            rows = read_python_dbf(path)
            # dbf gives '' for an empty character field and None for empty
            # memos, as dbfread does.
            compare('dbf ' + table, expected, rows, types, problems,
                    empty_memo_is_empty_text=True)
        print('%s: %d records compared' % (table, len(expected)))
    return problems


def check_dump(path, dump, encoding, skip_fields, reader='dbfread'):
    problems = []
    with open(dump, encoding='utf-8') as f:
        ours = json.load(f)
    rows, types = read_dbfread(path, encoding)
    if reader == 'dbf':
        # dbfread misreads the file (a reader that does read it is the check).
        rows = read_python_dbf(path, encoding)
    skip = {n for n, t in types.items() if t not in 'CNFLDTMIYB'}
    skip |= {n for n in skip_fields.split(',') if n}
    for row in ours:
        for n in skip:
            row.pop(n, None)
    compare(reader + ' ' + os.path.basename(path), ours, rows, types, problems,
            logical_blank_is_false=True)
    print('%s: %d records compared' % (path, len(ours)))
    return problems


def main():
    if sys.argv[1] == 'written':
        problems = check_written(sys.argv[2])
    else:
        problems = check_dump(sys.argv[2], sys.argv[3], sys.argv[4],
                              sys.argv[5] if len(sys.argv) > 5 else '',
                              sys.argv[6] if len(sys.argv) > 6 else 'dbfread')
    for p in problems[:50]:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
