"""Compares the DBF tables kslagent wrote with the rows of the ocilite database
they came from, read directly from its SQLite file.

Every table is read with two readers this project did not write, dbfread and
the dbf package, and every value is compared with the source row: texts,
numbers (exact decimals where the field holds them), dates, memos and NULLs,
and the field descriptors (names, types, widths, decimals) with what the type
mapping gives for the catalog's column.
"""
import datetime
import decimal
import os
import sqlite3
import struct

import dbfread
from dbfread.field_parser import FieldParser

# The narrow code page of the runs (KESTREL_CODEPAGE); byte 29 of the files is 0.
ENCODING = 'cp1252'

# The Oracle types the table reader reads; other columns are left out.
NATIVE_TYPES = {
    'VARCHAR', 'VARCHAR2', 'NVARCHAR2', 'NUMBER', 'FLOAT', 'LONG', 'DATE', 'BINARY_FLOAT',
    'BINARY_DOUBLE', 'TIMESTAMP', 'TIMESTAMP(3)', 'TIMESTAMP(6)', 'RAW', 'LONG RAW', 'ROWID',
    'UROWID', 'CHAR', 'BYTE', 'NCHAR', 'CLOB', 'NCLOB', 'BLOB', 'BFILE'}


class ExactParser(FieldParser):
    """Numbers as the exact decimals the field holds; 'B' as an 8-byte double
    (the FoxPro meaning of the letter, which dbfread keeps for Visual FoxPro)."""

    def parseN(self, field, data):
        text = data.strip().strip(b'\x00').decode('ascii')
        if not text:
            return None
        try:
            return decimal.Decimal(text)
        except decimal.InvalidOperation:
            return text  # a value that did not fit, written as asterisks

    def parseB(self, field, data):
        return struct.unpack('<d', data)[0]


class Column:
    def __init__(self, name, data_type, length, precision, scale, char_length):
        self.name = name
        self.data_type = data_type
        self.length = length
        self.precision = precision
        self.scale = scale
        self.char_length = char_length

    def expected_field(self):
        """(type letter, width, decimals) that the type mapping gives."""
        t = self.data_type
        if t in ('NUMBER', 'FLOAT'):
            p = self.precision or 0
            s = self.scale or 0
            if t == 'FLOAT' or p == 0 or p > 38:
                return ('B', 8, 0)
            if s != 0:
                if p == s:
                    p += 1
                return ('N', p + 2, s)
            if p < 3:
                return ('N', 4, 0)
            if p < 5:
                return ('N', 6, 0)
            if p < 10:
                return ('N', 11, 0)
            if p <= 20:
                return ('N', 19, 5)
            return ('B', 8, 0)
        if t == 'BINARY_DOUBLE':
            return ('B', 8, 0)
        if t == 'BINARY_FLOAT':
            return ('N', 19, 5)
        if t in ('DATE',) or t.startswith('TIMESTAMP'):
            return ('T', 8, 0)
        if t in ('VARCHAR', 'VARCHAR2', 'CHAR', 'NVARCHAR2', 'NCHAR', 'ROWID', 'UROWID'):
            # The size Oracle describes is in bytes of the server's character
            # set (4 per character for a VARCHAR2(n CHAR)); the national
            # types' byte size is halved into characters.
            size = self.length // 2 if t in ('NVARCHAR2', 'NCHAR') else self.length
            if 1 <= size <= 254:
                return ('C', size + 1, 0)
            return ('M', 10, 0)
        return ('M', 10, 0)


def source_columns(db, table):
    rows = db.execute(
        'SELECT column_name, data_type, data_length, data_precision, data_scale, char_length '
        'FROM ocilite_columns WHERE table_name = ? ORDER BY column_id', (table,)).fetchall()
    return [Column(*r) for r in rows]


def source_tables(db):
    return [r[0] for r in db.execute('SELECT table_name FROM ocilite_tables ORDER BY table_name')]


def source_rows(db, table, columns):
    names = ', '.join('"%s"' % c.name for c in columns)
    return db.execute('SELECT %s FROM "%s"' % (names, table)).fetchall()


def through_code_page(text):
    # What a text becomes in the narrow code page: characters it lacks are
    # substituted.
    return text.encode(ENCODING, errors='replace').decode(ENCODING)


def parse_date(text):
    head = text[:19]
    value = datetime.datetime.strptime(head, '%Y-%m-%d %H:%M:%S')
    fraction = text[20:] if len(text) > 20 else ''
    return value, fraction


def expected_value(column, value, letter):
    """(kind, expected) for a source value in a field of the letter."""
    if value is None:
        if letter == 'B':
            return ('float', 0.0)
        if letter == 'N':
            return ('none', None)
        if letter == 'T':
            return ('none', None)
        return ('text', '')
    if letter == 'N':
        return ('decimal', decimal.Decimal(str(value)))
    if letter == 'B':
        return ('float', float(value) if not isinstance(value, str) else float(value))
    if letter == 'T':
        return ('date', parse_date(value))
    if isinstance(value, bytes):
        return ('bytes', value)
    text = str(value)
    if column.data_type in ('CHAR', 'NCHAR'):
        text = text.rstrip(' ')
    return ('text', through_code_page(text))


def same(kind, expected, got, letter):
    if kind == 'none':
        return got is None or got == ''
    if kind == 'decimal':
        return isinstance(got, (decimal.Decimal, int)) and decimal.Decimal(got) == expected
    if kind == 'float':
        return isinstance(got, (float, int)) and float(got) == expected
    if kind == 'date':
        value, fraction = expected
        if not isinstance(got, datetime.datetime):
            return False
        # A fraction of a second is not kept: cut or rounded to the second.
        if got == value:
            return True
        return bool(fraction) and got == value + datetime.timedelta(seconds=1)
    if kind == 'text':
        if got is None:
            got = ''
        if isinstance(got, bytes):
            got = got.decode(ENCODING)
        return got.rstrip(' ') == expected.rstrip(' ')
    if kind == 'bytes':
        # A binary value reaches a memo as "0x" and the hexadecimal digits of
        # its bytes.
        if isinstance(got, bytes):
            got = got.decode(ENCODING)
        if not expected:
            return not got
        return got == '0x' + expected.hex().upper()
    return False


def read_with_dbfread(path):
    # dbfread takes 'B' for a dBASE binary memo and asks for a memo file even
    # when the table has no memo field; compare_table checks the memo file.
    table = dbfread.DBF(path, encoding=ENCODING, parserclass=ExactParser,
                        char_decode_errors='strict', ignore_missing_memofile=True)
    fields = [(f.name, f.type, f.length, f.decimal_count) for f in table.fields]
    return fields, [list(r.values()) for r in table], table.header.numrecords


_dbf_patched = False


def read_with_dbf(path):
    import dbf
    from dbf import ver_33
    global _dbf_patched
    if not _dbf_patched:
        # The dbf package knows 'B' (8-byte double) and 'T' (date and time)
        # only in Visual FoxPro tables; this system writes them, with those
        # meanings, into dBASE III tables.  Teach its dBASE III reader the
        # two FoxPro types.
        default = ver_33.Db3Table.__dict__['_field_types']
        plain = default.func

        def with_foxpro_types():
            types = plain()
            for t in (ver_33.FieldType.DOUBLE, ver_33.FieldType.DATETIME):
                types[t] = ver_33.VfpTable._field_types[t]
            return types

        default.func = with_foxpro_types
        _dbf_patched = True
    table = dbf.Table(path, codepage=ENCODING)
    table.open(dbf.READ_ONLY)
    try:
        names = table.field_names
        return [[rec[n] for n in names] for rec in table]
    finally:
        table.close()


def dbf_file_of(folder, name):
    path = os.path.join(folder, name.lower() + '.dbf')
    return path if os.path.exists(path) else None


def compare_table(db, folder, table, problems, dbf_name=None, python_dbf=True):
    """Compares one converted table; appends differences to problems."""
    path = dbf_file_of(folder, dbf_name or table)
    if path is None:
        problems.append('%s: no DBF file' % table)
        return 0
    columns = [c for c in source_columns(db, table) if c.data_type in NATIVE_TYPES]
    fields, records, count = read_with_dbfread(path)
    has_memo = any(f[1] == 'M' for f in fields)
    if has_memo != os.path.exists(path[:-4] + '.dbt'):
        problems.append('%s: memo fields %s, memo file %s' % (
            table, has_memo, os.path.exists(path[:-4] + '.dbt')))
    if len(fields) != len(columns):
        problems.append('%s: %d fields, %d readable columns' % (table, len(fields), len(columns)))
        return 0
    taken = set()
    for (name, letter, width, decimals), column in zip(fields, columns):
        want = column.expected_field()
        if (letter, width, decimals) != want:
            problems.append('%s.%s (%s %s,%s): field %s(%d,%d), expected %s(%d,%d)' % (
                table, column.name, column.data_type, column.precision, column.scale,
                letter, width, decimals, *want))
        stem = column.name[:10]
        if name != stem and not (name.startswith(column.name[:7]) and name[7:].isdigit()):
            if all(ch.isalnum() or ch in '_-' for ch in column.name):
                problems.append('%s.%s: field named %s' % (table, column.name, name))
        if name.upper() in taken:
            problems.append('%s: field name %s twice' % (table, name))
        taken.add(name.upper())
    rows = source_rows(db, table, columns)
    if count != len(rows) or len(records) != len(rows):
        problems.append('%s: %d rows in the source, header counts %d, %d read'
                        % (table, len(rows), count, len(records)))
    others = read_with_dbf(path) if python_dbf else None
    if others is not None and len(others) != len(rows):
        problems.append('%s: dbf read %d records of %d' % (table, len(others), len(rows)))
    for i, row in enumerate(rows[:len(records)]):
        for j, column in enumerate(columns):
            letter = fields[j][1]
            kind, expected = expected_value(column, row[j], letter)
            got = records[i][j]
            if not same(kind, expected, got, letter):
                problems.append('%s row %d %s: source %r, dbfread %r'
                                % (table, i, column.name, row[j], got))
            if others is not None and i < len(others):
                other = others[i][j]
                if isinstance(other, str) and letter == 'N':
                    other = decimal.Decimal(other) if other.strip() else None
                if letter == 'N' and isinstance(other, float):
                    # dbf parses numbers as floats: compare at the field's scale.
                    other = decimal.Decimal(repr(other)).quantize(
                        decimal.Decimal(1).scaleb(-fields[j][3])) if expected is not None else other
                    if expected is not None:
                        expected_q = expected.quantize(decimal.Decimal(1).scaleb(-fields[j][3]))
                        if other != expected_q:
                            problems.append('%s row %d %s: source %r, dbf %r'
                                            % (table, i, column.name, row[j], others[i][j]))
                        continue
                if not same(kind, expected, other, letter):
                    problems.append('%s row %d %s: source %r, dbf %r'
                                    % (table, i, column.name, row[j], others[i][j]))
    return len(rows)


def complete_records(path):
    """(header count, whole records in the file) of a DBF file.  Records are
    walked as readers that ignore the count walk them: up to the end-of-file
    byte 0x1A or the last whole record."""
    with open(path, 'rb') as f:
        data = f.read()
    count = struct.unpack('<I', data[4:8])[0]
    header_length, record_length = struct.unpack('<HH', data[8:12])
    whole = 0
    at = header_length
    while at + record_length <= len(data) and data[at:at + 1] != b'\x1a':
        whole += 1
        at += record_length
    return count, whole


def read_records(path):
    """The records of a table as dbfread gives them."""
    return list(dbfread.DBF(path, encoding=ENCODING, parserclass=ExactParser,
                            ignore_missing_memofile=True))


def open_db(path):
    return sqlite3.connect('file:%s?mode=ro' % path, uri=True)


# ---- the independent readers, each without an encoding or parser option ----

def _matrix():
    here = os.path.dirname(os.path.abspath(__file__))
    import sys
    sys.path.insert(0, os.path.join(here, '..', 'dbf'))
    import reader_matrix
    with open(os.path.join(here, '..', 'dbf', 'reader_matrix.md'), encoding='utf-8') as f:
        return reader_matrix, reader_matrix.parse_matrix(f.read())


def dbf_fields(path):
    """(name, letter, width, decimals, flags) of a table's fields, _NullFlags left out."""
    with open(path, 'rb') as f:
        head = f.read(32)
        header_length = struct.unpack('<H', head[8:10])[0]
        area = f.read(header_length - 32)
    fields = []
    for at in range(0, len(area) - 31, 32):
        if area[at] == 0x0D:
            break
        d = area[at:at + 32]
        name = d[:11].split(b'\0')[0].decode('ascii', 'replace')
        if chr(d[11]) == '0' and d[18] & 0x01:
            continue
        fields.append((name, chr(d[11]), d[16], d[17], d[18]))
    return fields


def matrix_kind(letter, width, decimals, flags):
    """The row of the reader matrix that a field of this letter belongs to."""
    if letter == 'I':
        return 'integer NUMBER(5..9)'
    if letter == 'N':
        if decimals:
            return 'decimal NUMBER(10,2)'
        return 'integer NUMBER(10..20)' if width >= 19 else 'integer NUMBER(5..9)'
    return {'B': 'NUMBER, FLOAT, BINARY_DOUBLE', 'Y': 'currency', 'D': 'date without time',
            'T': 'DATE, TIMESTAMP', 'L': 'logical', 'C': 'text, Western letters (1252)',
            'M': ('binary (BLOB, RAW, LONG RAW)' if flags & 0x04
                  else 'memo text, 0 to 100,000 bytes (1252)')}[letter]


def source_canon(column, value, letter):
    """(tag, value) of a source value, as reader_matrix compares them, and
    the fraction of a second it loses."""
    if value is None:
        return None, ''
    if letter in ('N', 'I', 'B', 'Y'):
        return ('num', decimal.Decimal(str(value))), ''
    if letter in ('T', 'D'):
        when, fraction = parse_date(value)
        return ('t', when), fraction
    if isinstance(value, bytes):
        return (('x', value.hex()) if value else None), ''
    text = str(value)
    if column.data_type in ('CHAR', 'NCHAR'):
        text = text.rstrip(' ')
    text = through_code_page(text).rstrip(' ')
    return (('s', text) if text else None), ''


def compare_with_readers(db, folder, table, readers, problems, limits, fmt='vfp'):
    """Reads one converted table with each reader and compares every value
    with the source.  A difference that the reader matrix records for that
    reader, field kind and format is that reader's known limit: counted in
    limits[(reader, kind, difference)], not a problem."""
    reader_matrix, verdicts = _matrix()
    path = dbf_file_of(folder, table)
    if path is None:
        problems.append('%s: no DBF file' % table)
        return
    columns = [c for c in source_columns(db, table) if c.data_type in NATIVE_TYPES]
    fields = dbf_fields(path)
    if len(fields) != len(columns):
        problems.append('%s: %d fields, %d readable columns' % (table, len(fields), len(columns)))
        return
    rows = source_rows(db, table, columns)
    kinds = [(f[0], matrix_kind(*f[1:])) for f in fields]
    if not any(f[1] == 'M' for f in fields):
        kinds = [(n, 'double in a table without memo fields' if k.startswith('NUMBER, FLOAT')
                  else k) for n, k in kinds]
    expected, fractions = [], []
    for row in rows:
        canon = [source_canon(c, v, f[1]) for c, v, f in zip(columns, row, fields)]
        expected.append([e for e, _ in canon])
        fractions.append([fr for _, fr in canon])
    name = os.path.basename(path)[:-4]
    for reader in readers:
        known = {}
        for _, kind in kinds:
            # A double in a table without memo fields is a double too (once
            # the table opens).
            for row in (kind, 'NUMBER, FLOAT, BINARY_DOUBLE') if 'without memo' in kind \
                    else (kind,):
                verdict = verdicts.get((fmt, row, reader), '')
                if verdict.startswith('differs: '):
                    known.setdefault(kind, set()).update(verdict[len('differs: '):].split(', '))
        try:
            if reader == 'dbfread':
                # dbfread asks for a memo file beside every table with a 'B'
                # field, which Visual FoxPro tables without memo fields do not
                # have (python3-dbf refuses a memo file without memo fields):
                # it is told to go on without.  No encoding, no parser.
                got = reader_matrix.read_dbfread(folder, name, kinds,
                                                 ignore_missing_memofile=True)
            elif reader == 'dbf':
                got = reader_matrix.read_dbf(folder, name, kinds)
            elif reader == 'GDAL':
                got = reader_matrix.read_gdal(folder, name, kinds, expected)
            else:
                got = reader_matrix.read_libreoffice(folder, name, kinds, expected)
        except reader_matrix.Unreadable as e:
            verdict = 'unreadable: %s' % e
            limit = [k for _, k in kinds if verdicts.get((fmt, k, reader)) == verdict]
            if limit:
                key = (reader, limit[0], verdict)
                limits[key] = limits.get(key, 0) + len(rows) * len(kinds)
            else:
                problems.append('%s: %s: %s' % (table, reader, verdict))
            continue
        if len(got) != len(rows):
            problems.append('%s: %s read %d records of %d' % (table, reader, len(got), len(rows)))
        for i, (want_row, got_row) in enumerate(zip(expected, got)):
            for j, (field, kind) in enumerate(kinds):
                want, value = want_row[j], got_row[j]
                if fractions[i][j] and value and want and value[0] == 't' and \
                        value[1] == want[1] + datetime.timedelta(seconds=1):
                    continue  # the fraction of a second rounded up
                d = reader_matrix.difference(want, value, 'memo' in kind or 'binary' in kind)
                if d is None:
                    continue
                if reader_matrix.is_known(d, known.get(kind, set())):
                    limits[(reader, kind, d)] = limits.get((reader, kind, d), 0) + 1
                else:
                    problems.append('%s row %d %s (%s): %s: %s; source %.60r, read %.60r'
                                    % (table, i, field, kind, reader, d, rows[i][j], value))
