#!/usr/bin/python3
"""What each DBF reader makes of each kind of field, in each format.

  reader_matrix.py check FOLDER MATRIX.md
      FOLDER holds tables this system wrote (TABLE.dbf), what was written
      into them (TABLE.expected.json) and what this system's reader read
      back (TABLE.kestrel.json).  Every table is read by python3-dbfread,
      python3-dbf, GDAL (ogr2ogr -f CSV) and LibreOffice (soffice --headless
      --convert-to csv), each without an encoding or parser option, every
      value is compared with what was written, and the verdicts (reader x
      field kind x format) are compared with MATRIX.md.  A reader that is
      not installed is left out of the comparison (and named).
  reader_matrix.py write FOLDER MATRIX.md
      The same, writing the measured verdicts into MATRIX.md.

A verdict is "equal" (every value, NULLs included, reads as written),
"differs: ..." (how the values differ) or "unreadable: ..." (the reader
refuses the table).  Exit status 0 when the verdicts are those of MATRIX.md.
"""
import csv
csv.field_size_limit(1 << 30)
import datetime
import decimal
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

READERS = ['kestrel', 'dbfread', 'dbf', 'GDAL', 'LibreOffice']
FORMATS = ['dbase3', 'vfp']


class Unreadable(Exception):
    pass


def error_text(folder, e):
    text = str(e).replace(folder + '/', '').splitlines()
    text = text[0] if text else ''
    # Neither the file nor the bytes a message names are part of the verdict.
    text = re.sub(r'[^ ]*\.dbf\b', 'TABLE.dbf', text)
    for quote in (": b'", ': b"'):
        if quote in text:
            text = text[:text.index(quote)]
    return (type(e).__name__ + ': ' + text)[:70].replace('|', '/')


# ---- canonical values ---------------------------------------------------

def expected_canon(item):
    """(tag, value) of a tagged expectation."""
    if item is None:
        return None
    tag, text = item.split(':', 1)
    if tag in ('i', 'n', 'f'):
        return ('num', decimal.Decimal(text))
    if tag == 's':
        # As readers give texts: without the spaces that pad fields.
        return ('s', text.rstrip(' '))
    if tag == 'd':
        return ('d', datetime.date.fromisoformat(text))
    if tag == 't':
        return ('t', datetime.datetime.fromisoformat(text))
    if tag == 'l':
        return ('l', text == 'true')
    if tag == 'x':
        return ('x', text)
    raise ValueError(item)


def value_canon(v):
    """(tag, value) of a value a Python reader gave."""
    if v is None:
        return None
    name = type(v).__name__
    if name in ('NullType', 'Null') or (name in ('Date', 'DateTime', 'Time') and not v):
        return None
    if isinstance(v, bool):
        return ('l', v)
    if name == 'Logical':  # dbf's tri-state logical
        if v is None or str(v) == '?':
            return None
        return ('l', bool(v))
    if isinstance(v, int):
        return ('num', decimal.Decimal(v))
    if isinstance(v, float):
        return ('num', decimal.Decimal(repr(v)))
    if isinstance(v, decimal.Decimal):
        return ('num', v)
    if name == 'DateTime':
        v = v._datetime
    elif name == 'Date':
        v = v._date
    if isinstance(v, datetime.datetime):
        # Milliseconds a reader adds from the stored time are no seconds.
        return ('t', (v + datetime.timedelta(milliseconds=500)).replace(microsecond=0))
    if isinstance(v, datetime.date):
        return ('d', v)
    if isinstance(v, (bytes, bytearray)):
        return ('x', bytes(v).hex())
    if isinstance(v, str):
        return ('s', v.rstrip(' '))
    return ('other', repr(v))


def text_canon(text, want):
    """(tag, value) of a text a CSV reader gave, read as the kind expected."""
    if text == '':
        return None
    tag = want[0] if want else 's'
    try:
        if tag == 'num':
            return ('num', decimal.Decimal(text.strip()))
        if tag == 'l':
            up = text.strip().upper()
            if up in ('T', 'TRUE', '1', 'Y'):
                return ('l', True)
            if up in ('F', 'FALSE', '0', 'N'):
                return ('l', False)
            return ('raw', text)
        if tag in ('d', 't'):
            for form in ('%Y/%m/%d %H:%M:%S', '%Y/%m/%d', '%Y-%m-%d %H:%M:%S', '%Y-%m-%d',
                         '%m/%d/%Y %H:%M:%S', '%m/%d/%Y', '%m/%d/%y %I:%M:%S %p', '%m/%d/%y'):
                try:
                    d = datetime.datetime.strptime(text.strip(), form)
                except ValueError:
                    continue
                return ('d', d.date()) if tag == 'd' else ('t', d)
            return ('raw', text)
        if tag == 'x':
            return ('raw', text)
    except decimal.InvalidOperation:
        return ('raw', text)
    return ('s', text.rstrip(' '))


def difference(want, got, memo):
    """None when got reads as want, else a short description; memo: the
    field is a memo (its record holds a block reference)."""
    texts = want is None or want[0] in ('s', 'x')
    if texts and (got is None or got[1] == '') and (want is None or want[1] == ''):
        return None
    if want == got:
        return None
    if want is None:
        shown = got[1]
        if isinstance(shown, decimal.Decimal):
            shown = 'number %s' % shown
        elif got[0] == 'l':
            shown = str(shown).lower()
        elif got[0] == 'raw':
            shown = '#N/A' if shown == '#N/A' else repr(shown) if len(shown) <= 3 else 'bytes'
        return 'NULL as %s' % shown
    if got is None:
        return 'values empty'
    if got[0] in ('raw', 's') and got[1] == '#N/A':
        return 'not read (#N/A)'
    if want[0] == 'x' and got[0] in ('raw', 's') and got[1].lower() == '0x' + want[1]:
        return 'bytes as hex text'
    if memo and got[0] in ('raw', 's') and len(got[1]) <= 10:
        return 'memo block references'
    if got[0] == 'raw' or got[0] != want[0]:
        if want[0] == 'num' and got[0] == 's':
            return 'numbers as text'
        if want[0] == 's' and got[0] == 'num':
            return 'memo block references'
        if want[0] == 'x' and got[0] == 's':
            return 'bytes as text'
        return '%s as %s' % ({'num': 'numbers', 'd': 'dates', 't': 'date-times', 'l': 'logicals',
                              'x': 'bytes', 's': 'texts'}[want[0]],
                             {'raw': 'raw bytes', 's': 'text', 'num': 'numbers', 'x': 'bytes',
                              'd': 'dates', 't': 'date-times', 'l': 'logicals'}.get(got[0], got[0]))
    if want[0] == 's':
        if len(got[1]) < len(want[1]) and want[1].startswith(got[1]):
            return 'texts cut'
        return 'letters differ'
    if want[0] == 'num':
        return 'numbers differ'
    if want[0] == 't' and got[1].date() == want[1].date():
        return 'times differ'
    return '%s differ' % {'d': 'dates', 't': 'date-times', 'l': 'logicals', 'x': 'bytes'}[want[0]]


# ---- readers ------------------------------------------------------------

def read_kestrel(folder, table, columns):
    with open(os.path.join(folder, table + '.kestrel.json'), encoding='utf-8') as f:
        rows = json.load(f)
    out = []
    for row in rows:
        values = []
        for item in row:
            if isinstance(item, bool):
                values.append(('l', item))
            elif isinstance(item, (int, float)):
                values.append(('num', decimal.Decimal(repr(item)) if isinstance(item, float)
                               else decimal.Decimal(item)))
            elif item is None:
                values.append(None)
            elif item.startswith('dt:'):
                values.append(('t', datetime.datetime.fromisoformat(item[3:])))
            elif item.startswith('d:'):
                values.append(('d', datetime.date.fromisoformat(item[2:])))
            elif item.startswith('s:'):
                values.append(('s', item[2:].rstrip(' ')))
            elif item.startswith('x:'):
                values.append(('x', item[2:]))
            else:
                values.append(('num', decimal.Decimal(item)))
        out.append(values)
    return out


def read_dbfread(folder, table, columns, **options):
    import dbfread
    try:
        t = dbfread.DBF(os.path.join(folder, table + '.dbf'), **options)
        return [[value_canon(rec[name]) for name, _ in columns] for rec in t]
    except Exception as e:  # noqa: BLE001 - any failure is the verdict
        raise Unreadable(error_text(folder, e))


def read_dbf(folder, table, columns):
    import dbf
    try:
        t = dbf.Table(os.path.join(folder, table + '.dbf'))
        t.open(dbf.READ_ONLY)
        try:
            names = [n.upper() for n in t.field_names]
            at = [names.index(name) for name, _ in columns]
            return [[value_canon(rec[i]) for i in at] for rec in t]
        finally:
            t.close()
    except Exception as e:  # noqa: BLE001
        raise Unreadable(error_text(folder, e))


def read_csv_rows(path, expected, columns, header_name):
    with open(path, encoding='utf-8', newline='') as f:
        rows = list(csv.reader(f))
    if not rows:
        raise Unreadable('no rows')
    names = [header_name(h) for h in rows[0]]
    index = {}
    for name, _ in columns:
        if name not in names:
            raise Unreadable('no column %s' % name)
        index[name] = names.index(name)
    out = []
    for r, row in enumerate(rows[1:]):
        values = []
        for j, (name, _) in enumerate(columns):
            want = expected[r][j] if r < len(expected) else None
            if want is None:
                # A NULL: read as the kind the column's other rows have.
                want = next((e[j] for e in expected if e[j] is not None), None)
            text = row[index[name]] if index[name] < len(row) else ''
            values.append(text_canon(text, want))
        out.append(values)
    return out


def read_gdal(folder, table, columns, expected):
    work = tempfile.mkdtemp(prefix='matrix_gdal_')
    try:
        out = os.path.join(work, table + '.csv')
        proc = subprocess.run(['ogr2ogr', '-f', 'CSV', out, os.path.join(folder, table + '.dbf')],
                              capture_output=True, text=True)
        if proc.returncode != 0 or not os.path.exists(out):
            raise Unreadable('ogr2ogr: ' + (proc.stderr.strip().splitlines() or ['failed'])[0][:60])
        return read_csv_rows(out, expected, columns, lambda h: h)
    finally:
        shutil.rmtree(work, ignore_errors=True)


_libreoffice_cache = {}


def convert_with_libreoffice(folder):
    """soffice converts every table of the folder in one run: {table: csv path}."""
    if folder in _libreoffice_cache:
        return _libreoffice_cache[folder]
    work = tempfile.mkdtemp(prefix='matrix_lo_')
    profile = os.path.join(work, 'profile')
    out = os.path.join(work, 'csv')
    tables = sorted(glob.glob(os.path.join(folder, '*.dbf')))
    # The output options (comma, quote, UTF-8, values rather than their
    # display with two-digit years) say how the CSV is written; the DBF file
    # is read with the import's defaults.
    subprocess.run(['soffice', '-env:UserInstallation=file://' + profile, '--headless',
                    '--convert-to', 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false',
                    '--outdir', out]
                   + tables, capture_output=True, text=True, timeout=600)
    result = {}
    for path in tables:
        name = os.path.basename(path)[:-4]
        csv_path = os.path.join(out, name + '.csv')
        if os.path.exists(csv_path):
            result[name] = csv_path
    _libreoffice_cache[folder] = result
    return result


def read_libreoffice(folder, table, columns, expected):
    converted = convert_with_libreoffice(folder)
    if table not in converted:
        raise Unreadable('source file could not be loaded')
    # Headers read "NAME,C,20": the name comes first.
    return read_csv_rows(converted[table], expected, columns, lambda h: h.split(',')[0])


def reader_available(reader):
    if reader in ('kestrel', 'dbfread', 'dbf'):
        return True
    if reader == 'GDAL':
        return shutil.which('ogr2ogr') is not None
    if reader == 'LibreOffice':
        if shutil.which('soffice') is None:
            return False
        # Calc reads DBF files through the dBASE driver of the base drivers.
        return bool(glob.glob('/usr/lib/libreoffice/program/libdbase*.so'))
    return False


# ---- the matrix ---------------------------------------------------------

def measure(folder, readers):
    """{(kind, format): {reader: verdict}} and the kinds in order."""
    verdicts = {}
    kinds = []
    # The table of every kind first, then the one of Cyrillic texts.
    paths = sorted(glob.glob(os.path.join(folder, '*.expected.json')),
                   key=lambda p: ('cyrillic' in os.path.basename(p),
                                  'no_memo' in os.path.basename(p), p))
    for path in paths:
        table = os.path.basename(path)[:-len('.expected.json')]
        with open(path, encoding='utf-8') as f:
            case_def = json.load(f)
        columns = [(name, kind) for name, kind in case_def['columns']]
        expected = [[expected_canon(v) for v in row] for row in case_def['rows']]
        for _, kind in columns:
            if kind not in kinds:
                kinds.append(kind)
        for reader in readers:
            try:
                if reader == 'kestrel':
                    got = read_kestrel(folder, table, columns)
                elif reader == 'dbfread':
                    got = read_dbfread(folder, table, columns)
                elif reader == 'dbf':
                    got = read_dbf(folder, table, columns)
                elif reader == 'GDAL':
                    got = read_gdal(folder, table, columns, expected)
                else:
                    got = read_libreoffice(folder, table, columns, expected)
                error = None
            except Unreadable as e:
                got, error = None, 'unreadable: ' + str(e)
            for j, (name, kind) in enumerate(columns):
                cell = verdicts.setdefault((kind, case_def['format']), {}).setdefault(reader, set())
                if error:
                    cell.add(error)
                    continue
                if len(got) != len(expected):
                    cell.add('%d of %d records' % (len(got), len(expected)))
                for want_row, got_row in zip(expected, got):
                    d = difference(want_row[j], got_row[j], 'memo' in kind or 'binary' in kind)
                    if d:
                        cell.add(d)
                        if os.environ.get('MATRIX_DEBUG'):
                            print('%s %s %s: %s: want %.80r got %.80r'
                                  % (reader, table, name, d, want_row[j], got_row[j]))
    return verdicts, kinds


def is_known(difference_text, verdict_parts):
    """Whether a difference of one value is among a verdict's parts."""
    if difference_text in verdict_parts:
        return True
    # A reader that shows a field's bytes (or the memo block references)
    # as text shows each value as whatever those bytes happen to read as.
    return any('raw bytes' in p or 'memo block references' in p for p in verdict_parts)


def verdict_text(cell):
    if not cell:
        return 'equal'
    unreadable = sorted(c for c in cell if c.startswith('unreadable'))
    if unreadable:
        return unreadable[0]
    # Bytes a reader shows as text include the zero ones it shows as nothing.
    if any('raw bytes' in c for c in cell):
        cell = {c for c in cell if c != 'values empty'}
    return 'differs: ' + ', '.join(sorted(cell))


def matrix_text(verdicts, kinds, readers):
    lines = []
    for fmt in FORMATS:
        lines.append('"%s":' % fmt)
        lines.append('')
        lines.append('| field kind | ' + ' | '.join(readers) + ' |')
        lines.append('|---' * (len(readers) + 1) + '|')
        for kind in kinds:
            if (kind, fmt) not in verdicts:
                continue
            cells = verdicts[(kind, fmt)]
            lines.append('| %s | %s |' % (kind, ' | '.join(verdict_text(cells.get(r, set()))
                                                         for r in readers)))
        lines.append('')
    return '\n'.join(lines)


def parse_matrix(text):
    """{(format, kind, reader): verdict} of a matrix text."""
    cells = {}
    fmt = None
    header = None
    for line in text.splitlines():
        if line.startswith('"') and line.endswith('":'):
            fmt = line[1:-2]
            header = None
        elif line.startswith('| field kind'):
            header = [c.strip() for c in line.strip('|').split('|')][1:]
        elif line.startswith('|') and header and not line.startswith('|---'):
            parts = [c.strip() for c in line.strip('|').split('|')]
            for reader, verdict in zip(header, parts[1:]):
                cells[(fmt, parts[0], reader)] = verdict
    return cells


def main():
    mode, folder, matrix_path = sys.argv[1], sys.argv[2], sys.argv[3]
    readers = [r for r in READERS if reader_available(r)]
    missing = [r for r in READERS if r not in readers]
    verdicts, kinds = measure(folder, readers)
    text = matrix_text(verdicts, kinds, readers)
    print(text)
    if mode == 'write':
        with open(matrix_path, 'w', encoding='utf-8') as f:
            f.write(matrix_text(verdicts, kinds, READERS) + '\n')
        return 0
    for r in missing:
        print('%s is not installed: its verdicts are not checked' % r)
    # CI installs every reader (scripts/setup.sh): none may be left out there.
    if missing and os.environ.get('CI'):
        print('CI is set but %s not installed' % ', '.join(missing))
        return 1
    with open(matrix_path, encoding='utf-8') as f:
        known = parse_matrix(f.read())
    measured = parse_matrix(text)
    problems = []
    for key, verdict in sorted(measured.items()):
        if known.get(key) != verdict:
            problems.append('%s / %s / %s: measured "%s", %s says "%s"'
                            % (key[0], key[1], key[2], verdict, os.path.basename(matrix_path),
                               known.get(key)))
    for key in sorted(known):
        if key[2] in readers and key not in measured:
            problems.append('%s / %s / %s: not measured' % key)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
