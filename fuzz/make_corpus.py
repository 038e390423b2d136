#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds come from the project's own test data: the real DBF tables and memo
files of tests/data/dbf, the statements of the sample scripts in examples/,
the queries the reader sends, and the profiles, table-names files, argument
vectors and value texts the tests use.  Run it again after the test data
changes; it replaces the corpora it writes.

    fuzz/make_corpus.py
"""

import hashlib
import os
import re
import shutil
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
DBF_DATA = os.path.join(ROOT, "tests", "data", "dbf")
EXAMPLES = os.path.join(ROOT, "examples")

MEMO_SEPARATOR = b"=KSL-MEMO="
# Records kept of a large table, and bytes kept of a large memo file: seeds
# stay small so that each run of a target stays fast.
KEEP_RECORDS = 12
KEEP_MEMO_BYTES = 16 * 1024


class corpus:
    def __init__(self, target):
        self.path = os.path.join(CORPUS, target)
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(self.path)
        self.seen = set()

    def add(self, name, data):
        if isinstance(data, str):
            data = data.encode("utf-8")
        digest = hashlib.sha1(data).hexdigest()
        if digest in self.seen:
            return
        self.seen.add(digest)
        safe = re.sub(r"[^A-Za-z0-9._-]", "_", name)[:60]
        with open(os.path.join(self.path, safe), "wb") as f:
            f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def companion(table_path):
    """The memo file beside a table, found in any case, or None."""
    folder, name = os.path.split(table_path)
    base = os.path.splitext(name)[0].lower()
    for entry in sorted(os.listdir(folder)):
        stem, ext = os.path.splitext(entry)
        if stem.lower() == base and ext.lower() in (".dbt", ".fpt", ".smt"):
            return os.path.join(folder, entry)
    return None


def shortened_table(data):
    """The table with at most KEEP_RECORDS records (the count patched)."""
    if len(data) < 32:
        return data
    count, header_length, record_length = struct.unpack_from("<IHH", data, 4)
    keep = min(count, KEEP_RECORDS)
    end = header_length + keep * record_length
    if keep == count or end > len(data):
        return data
    out = bytearray(data[:end])
    struct.pack_into("<I", out, 4, keep)
    return bytes(out)


def memo_fields(data):
    """(offset in the record, width) of each memo field of a table."""
    version = data[0]
    header_length = struct.unpack_from("<H", data, 8)[0]
    level7 = version in (0x04, 0x8C)
    start, step = (68, 48) if level7 else (32, 32)
    fields, offset, pos = [], 0, start
    while pos + step <= header_length and data[pos] != 0x0D:
        if level7:
            kind, width = chr(data[pos + 32]), data[pos + 33]
        else:
            kind, width = chr(data[pos + 11]), data[pos + 16]
        if kind in "MGP":
            fields.append((offset, width))
        offset += width
        pos += step
    return fields


def first_memo_reference(data):
    """The bytes of the first memo field of the first records that refer to a block."""
    if len(data) < 32:
        return None
    count, header_length, record_length = struct.unpack_from("<IHH", data, 4)
    for offset, width in memo_fields(data):
        for i in range(min(count, 50)):
            at = header_length + i * record_length + 1 + offset
            ref = data[at:at + width]
            if len(ref) == width and ref.strip(b" \0"):
                return ref
    return None


def dbf_corpora():
    table_corpus = corpus("dbf_table")
    memo_corpus = corpus("dbf_memo")
    # Layout numbers of the memo target: 0 dBASE III, 1 dBASE IV, 2 FoxPro,
    # 3 Visual FoxPro, 4 database container, 5 SMT.
    for name in sorted(os.listdir(DBF_DATA)):
        if not name.lower().endswith(".dbf"):
            continue
        path = os.path.join(DBF_DATA, name)
        table = read(path)
        memo_path = companion(path)
        short = shortened_table(table)
        if memo_path is None:
            table_corpus.add(name, short)
            continue
        memo = read(memo_path)
        table_corpus.add(name, short + MEMO_SEPARATOR + memo[:KEEP_MEMO_BYTES])
        version = table[0]
        if memo_path.lower().endswith(".fpt"):
            layout = 3 if version in (0x30, 0x31, 0x32) else 2
        else:
            layout = 0 if version == 0x83 else 1
        ref = first_memo_reference(table) or b"         1"
        field = (ref + b" " * 10)[:10]
        memo_corpus.add(os.path.basename(memo_path), bytes([layout]) + field +
                        memo[:KEEP_MEMO_BYTES])
    forged_tables(table_corpus)
    # Memo files of each layout, made by hand: an empty dBASE III file, a
    # dBASE IV file with one memo, a FoxPro file with one memo, an SMT file.
    old = bytearray(512)
    struct.pack_into("<I", old, 0, 2)
    old[16] = 0x03
    old += b"first memo\x1a\x1a"
    memo_corpus.add("old_one_memo", b"\x00" + b"         1" + bytes(old))
    dbt = bytearray(512)
    struct.pack_into("<I", dbt, 0, 2)
    struct.pack_into("<I", dbt, 20, 512)
    dbt += b"\xff\xff\x08\x00" + struct.pack("<I", 8 + 5) + b"hello"
    memo_corpus.add("dbt_one_memo", b"\x01" + b"         1" + bytes(dbt))
    fpt = bytearray(512)
    struct.pack_into(">I", fpt, 0, 9)
    struct.pack_into(">H", fpt, 6, 64)
    fpt += struct.pack(">II", 1, 5) + b"hello"
    memo_corpus.add("fpt_one_memo", b"\x02" + b"         8" + bytes(fpt))
    memo_corpus.add("vfp_one_memo", b"\x03" + struct.pack("<I", 8) + b"      " + bytes(fpt))
    memo_corpus.add("dct_one_memo", b"\x04" + struct.pack("<I", 8) + b"      " + bytes(fpt))
    smt = bytearray(512)
    struct.pack_into("<I", smt, 4, 512)
    smt += b"smt text\x00"
    # Forged memo files alone: lengths past the file, a block size of 0, a
    # block inside the header.
    long_dbt = bytearray(dbt[:512])
    struct.pack_into("<I", long_dbt, 20, 512)
    long_dbt += b"\xff\xff\x08\x00" + struct.pack("<I", 0xFFFFFFFF) + b"short"
    memo_corpus.add("forged_dbt_length_past_file", b"\x01" + b"         1" + bytes(long_dbt))
    zero_dbt = bytearray(long_dbt)
    struct.pack_into("<I", zero_dbt, 20, 0)
    memo_corpus.add("forged_dbt_block_size_0", b"\x01" + b"         1" + bytes(zero_dbt))
    long_fpt = bytearray(fpt[:512]) + struct.pack(">II", 1, 0x7FFFFFFF) + b"short"
    memo_corpus.add("forged_fpt_length_past_file", b"\x02" + b"         8" + bytes(long_fpt))
    memo_corpus.add("forged_fpt_block_in_header", b"\x02" + b"         0" + bytes(long_fpt))
    zero_fpt = bytearray(long_fpt)
    struct.pack_into(">H", zero_fpt, 6, 0)
    memo_corpus.add("forged_fpt_block_size_0", b"\x03" + struct.pack("<I", 8) + b"      " +
                    bytes(zero_fpt))
    memo_corpus.add("forged_smt_block_size_0", b"\x05" + b"      " + struct.pack("<I", 1) +
                    bytes(512))
    memo_corpus.add("smt_one_memo",
                    b"\x05" + b"      " + struct.pack("<I", 1) + bytes(smt))


def table_image(version, fields, records, count=None, header_length=None,
                record_length=None, terminator=True, eof=True):
    """A table of the given version byte: fields as (name, type, width,
    decimals), records as the bytes of each record after its deletion flag.
    count, header_length and record_length replace the true values."""
    descriptors = b""
    for name, kind, width, decimals in fields:
        descriptors += (name.encode().ljust(11, b"\0") + kind.encode() + b"\0" * 4 +
                        bytes([width, decimals]) + b"\0" * 14)
    true_header = 32 + len(descriptors) + (1 if terminator else 0)
    header = bytearray(32)
    header[0] = version
    header[1:4] = bytes([124, 1, 15])
    struct.pack_into("<IHH", header, 4,
                     len(records) if count is None else count,
                     true_header if header_length is None else header_length,
                     (1 + sum(f[2] for f in fields)) if record_length is None
                     else record_length)
    header[29] = 0x03
    body = b"".join(b" " + r for r in records)
    return (bytes(header) + descriptors + (b"\r" if terminator else b"") + body +
            (b"\x1a" if eof else b""))


def forged_tables(table_corpus):
    """Tables whose header lies about the file, as a broken or hostile file
    does: each must give the reader's error or readable values."""
    for size in (0, 1, 31):
        table_corpus.add("size_%d" % size, b"\x03" * size)
    table_corpus.add("no_fields", table_image(0x03, [], [], record_length=2, eof=False))
    fields = [("NAME", "C", 8, 0), ("QTY", "N", 5, 0)]
    rows = [b"apple   " + b"   12", b"pear    " + b"    7"]
    table_corpus.add("forged_count_past_file", table_image(0x03, fields, rows, count=100000))
    table_corpus.add("forged_header_length_past_file",
                     table_image(0x03, fields, rows, header_length=0xFFFF))
    table_corpus.add("forged_header_length_short",
                     table_image(0x03, fields, rows, header_length=40))
    table_corpus.add("forged_record_length_short",
                     table_image(0x03, fields, rows, record_length=5))
    table_corpus.add("forged_record_length_long",
                     table_image(0x03, fields, rows, record_length=0xFFFF))
    table_corpus.add("forged_record_length_zero",
                     table_image(0x03, fields, rows, record_length=0))
    # The second descriptor lies past the header's length, and no terminator.
    table_corpus.add("forged_descriptor_past_header",
                     table_image(0x03, fields, rows, header_length=32 + 32 + 1))
    table_corpus.add("forged_terminator_missing",
                     table_image(0x03, fields, rows, terminator=False))
    table_corpus.add("forged_no_end_of_file_byte", table_image(0x03, fields, rows, eof=False))
    table_corpus.add("forged_width_0",
                     table_image(0x03, [("A", "C", 0, 0)] + fields, rows))
    table_corpus.add("forged_width_255",
                     table_image(0x03, [("WIDE", "C", 255, 0)], [b"x" * 255]))
    table_corpus.add("forged_numeric_width_255",
                     table_image(0x03, [("N", "N", 255, 254)], [b"1" * 255]))
    # Memo references: past the end of the memo file, into its header, a
    # length larger than the file, a block size of 0.
    memo_field = [("NOTE", "M", 10, 0)]
    old = bytearray(512)
    struct.pack_into("<I", old, 0, 2)
    old += b"a memo\x1a\x1a"
    for name, ref in (("past_end", b"      9999"), ("into_header", b"         0"),
                      ("max_block", b"4294967295")):
        table_corpus.add("forged_old_memo_" + name,
                         table_image(0x83, memo_field, [ref]) + MEMO_SEPARATOR + bytes(old))
    dbt = bytearray(512)
    struct.pack_into("<I", dbt, 0, 3)
    struct.pack_into("<I", dbt, 20, 512)
    dbt += b"\xff\xff\x08\x00" + struct.pack("<I", 0x7FFFFFF0) + b"short"
    table_corpus.add("forged_dbt_memo_length_past_file",
                     table_image(0x8B, memo_field, [b"         1"]) + MEMO_SEPARATOR + bytes(dbt))
    struct.pack_into("<I", dbt, 20, 0)
    table_corpus.add("forged_dbt_block_size_0",
                     table_image(0x8B, memo_field, [b"         1"]) + MEMO_SEPARATOR + bytes(dbt))
    fpt = bytearray(512)
    struct.pack_into(">I", fpt, 0, 9)
    struct.pack_into(">H", fpt, 6, 64)
    fpt += struct.pack(">II", 1, 0xFFFFFFF0) + b"short"
    table_corpus.add("forged_fpt_memo_length_past_file",
                     table_image(0xF5, memo_field, [b"         8"]) + MEMO_SEPARATOR + bytes(fpt))
    table_corpus.add("forged_fpt_memo_into_header",
                     table_image(0xF5, memo_field, [b"         1"]) + MEMO_SEPARATOR + bytes(fpt))
    struct.pack_into(">H", fpt, 6, 0)
    table_corpus.add("forged_fpt_block_size_0",
                     table_image(0xF5, memo_field, [b"         8"]) + MEMO_SEPARATOR + bytes(fpt))
    table_corpus.add("forged_memo_file_empty",
                     table_image(0xF5, memo_field, [b"         8"]) + MEMO_SEPARATOR)


def statements(script):
    """The statements of an SQL*Plus script, each with its terminator."""
    out, current = [], []
    for line in script.splitlines(keepends=True):
        current.append(line)
        stripped = line.strip()
        if stripped == "/" or stripped.endswith(";"):
            text = "".join(current).strip()
            if text:
                out.append(text + "\n")
            current = []
    return out


def ocilite_corpora():
    scripts = corpus("ocilite_script")
    per_table_inserts = {}
    for name in sorted(os.listdir(EXAMPLES)):
        if not name.endswith(".sql"):
            continue
        text = read(os.path.join(EXAMPLES, name)).decode("utf-8", "replace")
        if len(text) < 20000:
            scripts.add(name, text)
        for i, statement in enumerate(statements(text)):
            insert = re.match(r"\s*insert\s+into\s+(\w+)", statement, re.I)
            if insert:
                table = insert.group(1).upper()
                per_table_inserts[table] = per_table_inserts.get(table, 0) + 1
                if per_table_inserts[table] > 3:
                    continue
            scripts.add("%s_%04d" % (os.path.splitext(name)[0], i), statement)

    queries = corpus("ocilite_sql")
    for i, query in enumerate([
        "select * from v$version",
        "select BANNER from v$version",
        "select TABLE_NAME from user_tables",
        "select OWNER, TABLE_NAME from all_tables",
        "select OWNER, TABLE_NAME, IOT_TYPE from all_tables where TEMPORARY='N' and "
        "NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'",
        "select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' "
        "and IOT_TYPE IS NULL OR IOT_TYPE='IOT'",
        "select VIEW_NAME, TEXT from SYS.USER_VIEWS",
        "select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where "
        "table_name = 'EMP'",
        "SELECT COLUMN_NAME, DATA_TYPE FROM ALL_TAB_COLUMNS WHERE TABLE_NAME = 'EMP' "
        "AND OWNER = 'SCOTT'",
        "SELECT user_indexes.index_name, user_indexes.uniqueness, "
        "user_ind_columns.column_name FROM user_ind_columns, user_indexes where "
        "user_ind_columns.table_name = 'EMP' AND user_indexes.generated='N' AND "
        "user_ind_columns.index_name = user_indexes.index_name AND "
        "user_ind_columns.table_name = user_indexes.table_name ORDER BY "
        "user_indexes.index_name, user_ind_columns.column_position",
        "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
        "user_constraints b WHERE a.table_name='EMP' AND b.constraint_type='P' AND "
        "a.constraint_name=b.constraint_name",
        "select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
        "USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME "
        "and a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME='PK_DEPT'",
        "select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PK_DEPT'",
        "SELECT COUNT(*) FROM (select * from emp where deptno = 10)",
        "SELECT * FROM \"EMP\"",
        "SELECT * FROM SCOTT.EMP",
        "select * from emp where empno = 7369",
        "select ename || ' works in ' || dname from emp_dept",
        "select nvl(comm, 0), concat(ename, job) from emp order by 1",
        "select case when sal > 1000 then 'high' else '' end from emp",
        "select * from alltypes",
        "select cl, bl, ts, rw from alltypes where id = 1",
        "select 1 -- comment\nfrom dual",
        "select /* note */ sysdate from dual",
        "select 'it''s' from dual",
        "select * from emp;",
        "insert into emp values (1)",
        "select 'open from dual",
        "select a @ b from t",
        "select deptno, count(*) from emp group by deptno having count(*) > 0",
        "select * from emp e, dept d where e.deptno = d.deptno(+)",
        "select ename from emp where ename like 'S%' escape '\\'",
        "select ename from emp union all select dname from dept",
    ]):
        queries.add("query_%02d" % i, query)


def text_corpora():
    profiles = corpus("profile")
    profiles.add("all_sections",
                 "[Generic settings]\nsrc=ORCL\ndest=/out/dbf\nlogfile=p.log\nmode=1\n"
                 "only definitions=0\nskip indexes=yes\nBLOB to text=1\n"
                 "[Oracle settings]\nhost=db.example\nport=1522\nuser=scott\npassword=tiger\n"
                 "[Selected Tables]\nEMP\nDEPT=DEPARTMENTS\n"
                 "[Available Queries]\nQ1=SELECT 1 FROM DUAL\n")
    profiles.add("spaces_and_bare_lines",
                 "  [Generic settings]  \r\n  key  =  value with space  \nkey=second\n\n   \n"
                 "[ Spaced ]\nbare line\n=empty key\n[Generic settings]\nmore=1\n[]\nx\n")
    profiles.add("utf8", "[Selected Tables]\n\u041a\u041b\u0418\u0415\u041d\u0422\u042b\n"
                 "Caf\u00e9=\u041a\u0430\u0444\u0435\n")
    profiles.add("entry_before_section", "key=value\n[Generic settings]\n")
    profiles.add("long_line", "[S]\nk=" + "v" * 4093 + "\r\n")
    profiles.add("modes", "[Generic settings]\nmode=22\nMode=2\nBLOB to text=\n")

    tables = corpus("tab_file")
    tables.add("plain", "EMP\nDEPT\nSALGRADE\n")
    tables.add("blank_lines_crlf", "EMP\r\n\r\n\r\nDEPT\r\nEMP\r\n")
    tables.add("utf8_bom", b"\xef\xbb\xbfCaf\xc3\xa9\nKUNDEN\n")
    tables.add("ansi", b"Caf\xe9\nGR\xdc\xdfE\n")
    tables.add("bom_alone", b"\xef\xbb\xbf\nEMP\n")
    tables.add("spaces_kept", " EMP \nMY TABLE\n")
    tables.add("longest_name", "T" * 254 + "\n")
    tables.add("control_character", "EM\tP\n")

    args = corpus("cmd_line")
    for i, vector in enumerate([
        ["--src=ORCL", "--dest=/data/dbf", "--oraclu=scott", "--oraclp=tiger", "--mode=1",
         "--blob2memo", "--tab_def"],
        ["--dest=a", "--src=x", "--dest=b b", "--mode=2", "--mode=0", "--src=--dest=y"],
        ["--profile=profile.ini"],
        ["--profile=profile.ini", "--src=other", "--dest=/x"],
        ["--tab_file=tables.txt", "--src=ORCL", "--dest=/d"],
        ["--tab_file=bom.txt", "--tab_file=tables.txt", "--src=ORCL", "--dest=/d"],
        ["--logfile=run.log", "--src=ORCL", "--dest=/d"],
        ["--silent", "--help"],
        ["--help"],
        ["--mode=01", "--src=a", "--dest=b"],
        ["--mode=3"],
        ["--src", "--dest=d"],
        ["--src=ORCL"],
        ["--dest=d"],
        ["x"] * 21,
    ]):
        args.add("args_%02d" % i, "\0".join(vector))

    # The value texts of the bounded value tests, each under a few tags (the
    # first byte indexes the tag list of fuzz_ole_variant.cpp).
    value_texts = [
        "123.45", ".5", "-.5", "1E3", "1.5E-3", "-0.001", "12345678901234567890.123456789",
        "1.0E+40", "79228162514264337593543950335", "0x41FF", "41FF", "3,5", "1,234.5",
        "TRUE", "No", "20040115103000", "20040115", "10:30:05.5", "15.01.2004 10:20:30",
        "3:15:00 PM", "12:00 AM", "2004/01/15 10:20:30", "0000-00-00 10:30:00", "Inf", "-Nan",
        "(5)", "5-", "9223372036854775808", "18446744073709551615", "1e-400", "1e400",
        "  42  ", "2004-01-15",
    ]
    tags = {"i2": 2, "i4": 3, "r4": 4, "r8": 5, "cy": 6, "date": 7, "bstr": 8, "bool": 11,
            "decimal": 14, "i1": 15, "ui4": 18, "i8": 19, "ui8": 20, "int": 21, "binary": 28}
    values = corpus("ole_variant")
    for i, text in enumerate(value_texts):
        for tag in ("decimal", "r8", "i4", "date"):
            values.add("%s_%02d" % (tag, i), bytes([tags[tag]]) + text.encode())
    for tag, index in sorted(tags.items()):
        values.add("%s_sample" % tag, bytes([index]) + b"123.5")
    dates = corpus("ole_date")
    for i, text in enumerate(value_texts):
        if re.search(r"[0-9][-/.:][0-9]|^[0-9]{8}", text):
            dates.add("date_%02d" % i, text)
    dates.add("record", struct.pack("<8H", 2004, 1, 4, 15, 10, 30, 5, 500))
    dates.add("midnight_pm", "12:00:00 PM")


def main():
    dbf_corpora()
    ocilite_corpora()
    text_corpora()


if __name__ == "__main__":
    main()
