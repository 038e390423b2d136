#!/usr/bin/python3
"""Writes the small quirk tables of this folder, each named after its quirk.

    /usr/bin/python3 make_quirk_tables.py [FOLDER]

The files are committed; this script documents how they were made and
rewrites them byte for byte.  Every table is laid out by hand from the
published layouts (dBASE III/IV, Visual FoxPro, dBASE Level 7), with fixed
dates so that the output never changes.
"""
import os
import struct
import sys


def descriptor32(name, kind, width, decimals=0, displacement=0, flags=0):
    raw = name if isinstance(name, bytes) else name.encode('ascii')
    return (raw.ljust(11, b'\0')[:11] + kind.encode('ascii') +
            struct.pack('<I', displacement) + bytes([width, decimals, flags]) + bytes(13))


def table(version, fields, records, mark=0, flags=0, backlink=0, record_length=None,
          deleted=()):
    """A 32-byte-descriptor table.  fields: descriptor tuples (name, type,
    width byte, decimals byte, storage width); records: lists of field bytes."""
    header_length = 32 + 32 * len(fields) + 1 + backlink
    if record_length is None:
        record_length = 1 + sum(f[4] for f in fields)
    head = struct.pack('<BBBBIHH', version, 124, 12, 7, len(records), header_length,
                       record_length)
    head += bytes(16) + bytes([flags, mark]) + bytes(2)
    body = b''
    displacement = 1
    for name, kind, width, decimals, storage in fields:
        body += descriptor32(name, kind, width, decimals, displacement)
        displacement += storage
    out = head + body + b'\r' + bytes(backlink)
    for i, values in enumerate(records):
        row = (b'*' if i in deleted else b' ') + b''.join(values)
        out += row.ljust(record_length, b' ')
    return out


def level7_table(fields, records, language_driver=b'DBWINUS0'):
    """A dBASE Level 7 table (version 0x04): 68-byte header, 48-byte
    descriptors.  fields: (name, type, width); records: lists of field bytes."""
    header_length = 68 + 48 * len(fields) + 1
    record_length = 1 + sum(f[2] for f in fields)
    head = struct.pack('<BBBBIHH', 0x04, 124, 12, 7, len(records), header_length,
                       record_length)
    head += bytes(20) + language_driver.ljust(32, b'\0') + bytes(4)
    body = b''
    for name, kind, width in fields:
        body += (name.encode('ascii').ljust(32, b'\0') + kind.encode('ascii') +
                 bytes([width, 0]) + bytes(13))
    out = head + body + b'\r'
    for values in records:
        out += b' ' + b''.join(values)
    return out


def sortable_double(value):
    """dBASE 7's 'O' form: big-endian, sign bit flipped for positive numbers,
    every bit inverted for negative ones."""
    bits = struct.unpack('>Q', struct.pack('>d', value))[0]
    bits = bits ^ 0xFFFFFFFFFFFFFFFF if bits >> 63 else bits ^ (1 << 63)
    return struct.pack('>Q', bits)


def c(text, width, encoding='ascii'):
    return text.encode(encoding).ljust(width, b' ')


def n(text, width):
    return text.encode('ascii').rjust(width, b' ')


def level7_double():
    values = [-199.99, 0.0, 1.5, 123456789.125, -1e-300, 1.7976931348623157e308]
    names = ['minus', 'zero', 'one half', 'money', 'tiny', 'largest']
    records = [[c(name, 10), sortable_double(v)] for name, v in zip(names, values)]
    records.append([c('never set', 10), bytes(8)])
    return level7_table([('NAME', 'C', 10), ('AMOUNT', 'O', 8)], records)


def char_decimals_in_byte17():
    # A spreadsheet program's C fields: byte 17 holds a decimal count, so the
    # 16-bit width (2 * 256 + 10, 1 * 256 + 8) does not fit the record.
    fields = [('NAME', 'C', 10, 2, 10), ('QTY', 'N', 5, 0, 5), ('CITY', 'C', 8, 1, 8)]
    records = [[c('Alpha', 10), n('12', 5), c('Paris', 8)],
               [c('Beta', 10), n('-3', 5), c('Oslo', 8)]]
    return table(0x03, fields, records)


def char_field_past_record():
    # The second field fits neither as 16 bits (300) nor as byte 16 (44).
    fields = [('NAME', 'C', 10, 0, 10), ('NOTE', 'C', 44, 1, 44)]
    return table(0x03, fields, [[c('Alpha', 10), c('x', 44)[:20]]], record_length=31)


def no_descriptor_fits():
    # Corrupt descriptors: none of them fits the 12-byte record.
    fields = [('A', 'N', 90, 0, 90), ('B', 'D', 80, 0, 80)]
    return table(0x03, fields, [[b'x' * 11], [b'y' * 11]], record_length=12)


def fpt_header(next_block, block_size):
    return struct.pack('>IHH', next_block, 0, block_size).ljust(512, b'\0')


def fpt_block(kind, data, block_size):
    raw = struct.pack('>II', kind, len(data)) + data
    return raw.ljust(-(-len(raw) // block_size) * block_size, b'\0')


def fpt_memos(memos, block_size=64):
    """The .fpt image of (type, bytes) memos and the block of each."""
    out = b''
    blocks = []
    block = 512 // block_size
    for kind, data in memos:
        blocks.append(block)
        raw = fpt_block(kind, data, block_size)
        out += raw
        block += len(raw) // block_size
    return fpt_header(block, block_size) + out, blocks


def fpt_binary_memo():
    picture = b'\x89PNG\r\n\x1a\n' + bytes(range(256)) + b'\0\0\0\0IEND'
    memos = [(1, b'first line\0second line'), (0, picture), (1, b'x' * 120 + b'\0end'),
             (1, b'plain')]
    fpt, blocks = fpt_memos(memos)
    ref = lambda b: struct.pack('<I', b)
    fields = [('NAME', 'C', 10, 0, 10), ('NOTES', 'M', 4, 0, 4), ('PIC', 'P', 4, 0, 4)]
    records = [[c('one', 10), ref(blocks[0]), ref(blocks[1])],
               [c('two', 10), ref(blocks[2]), ref(0)],
               [c('three', 10), ref(blocks[3]), ref(0)]]
    return table(0x30, fields, records, mark=0x03, flags=0x02, backlink=263), fpt


def float_fields():
    # dBASE IV 'F' fields are decimal text like 'N'.
    fields = [('BIG', 'F', 20, 0, 20), ('FRACTION', 'F', 20, 10, 20), ('NUM', 'N', 10, 2, 10)]
    records = [[n('123456789', 20), n('0.1000000000', 20), n('1234567.89', 10)],
               [n('12345678901234567', 20), n('-3.1415926536', 20), n('-0.01', 10)],
               [n('1.5E+40', 20), n('2.5e-5', 20), n('0', 10)],
               [n('', 20), n('', 20), n('', 10)]]
    return table(0x03, fields, records)


def numeric_blank_point():
    # A blank number as some writers store it: spaces and a decimal point.
    fields = [('PRICE', 'N', 8, 2, 8), ('RATE', 'F', 10, 3, 10), ('QTY', 'N', 4, 0, 4)]
    records = [[n('.', 8), n('.', 10), n('', 4)],
               [n('12.50', 8), n('-.5', 10), b'\0\0\0\0'],
               [n('-', 8), b'   .      ', n('7', 4)]]
    return table(0x03, fields, records)


def zero_width_field():
    fields = [('A', 'C', 5, 0, 5), ('EMPTY', 'C', 0, 0, 0), ('B', 'N', 4, 0, 4),
              ('C', 'C', 3, 0, 3)]
    records = [[c('one', 5), b'', n('1', 4), c('x', 3)],
               [c('two', 5), b'', n('22', 4), c('yz', 3)]]
    return table(0x03, fields, records)


def memo_block_past_end():
    # dBASE III memo file with blocks 1 and 2; the second record refers to
    # block 9, past the end of the file.
    dbt = struct.pack('<I', 3).ljust(512, b'\0')
    dbt += (b'first memo' + b'\x1a\x1a').ljust(512, b'\0')
    dbt += b'third memo\x1a\x1a'
    fields = [('NAME', 'C', 10, 0, 10), ('NOTES', 'M', 10, 0, 10), ('QTY', 'N', 4, 0, 4)]
    records = [[c('one', 10), n('1', 10), n('1', 4)],
               [c('two', 10), n('9', 10), n('2', 4)],
               [c('three', 10), n('2', 10), n('3', 4)],
               [c('four', 10), c('', 10), n('4', 4)]]
    return table(0x83, fields, records), dbt


def memo_file_corrupt():
    # A Visual FoxPro table whose .fpt gives block size 0.
    fpt = struct.pack('>IHH', 9, 0, 0).ljust(512, b'\0') + fpt_block(1, b'lost', 64)
    ref = lambda b: struct.pack('<I', b)
    fields = [('NAME', 'C', 10, 0, 10), ('NOTES', 'M', 4, 0, 4), ('QTY', 'N', 4, 0, 4)]
    records = [[c('one', 10), ref(8), n('1', 4)], [c('two', 10), ref(0), n('2', 4)]]
    return table(0x30, fields, records, mark=0x03, flags=0x02, backlink=263), fpt


def gbk_mark_7a():
    # Mark 0x7A: code page 936 (GBK), for the texts and the field names.
    fields = [('名称'.encode('gbk'), 'C', 12, 0, 12), ('ID', 'N', 3, 0, 3)]
    records = [[c('测试中文', 12, 'gbk'), n('1', 3)], [c('北京', 12, 'gbk'), n('2', 3)]]
    return table(0x03, fields, records, mark=0x7A)


def ansi_mark_57():
    # Mark 0x57, as GIS programs write it for Western (1252) texts.
    fields = [('CITY', 'C', 16, 0, 16), ('NOTE', 'C', 12, 0, 12)]
    records = [[c('Zürich', 16, 'cp1252'), c('Øre €5', 12, 'cp1252')],
               [c('São Paulo', 16, 'cp1252'), c('Œuvre «x»', 12, 'cp1252')]]
    return table(0x03, fields, records, mark=0x57)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    files = {
        'level7_double.dbf': level7_double(),
        'char_decimals_in_byte17.dbf': char_decimals_in_byte17(),
        'char_field_past_record.dbf': char_field_past_record(),
        'no_descriptor_fits.dbf': no_descriptor_fits(),
        'float_fields.dbf': float_fields(),
        'numeric_blank_point.dbf': numeric_blank_point(),
        'zero_width_field.dbf': zero_width_field(),
        'gbk_mark_7a.dbf': gbk_mark_7a(),
        'ansi_mark_57.dbf': ansi_mark_57(),
    }
    files['fpt_binary_memo.dbf'], files['fpt_binary_memo.fpt'] = fpt_binary_memo()
    files['memo_block_past_end.dbf'], files['memo_block_past_end.dbt'] = memo_block_past_end()
    files['memo_file_corrupt.dbf'], files['memo_file_corrupt.fpt'] = memo_file_corrupt()
    for name, data in sorted(files.items()):
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
        print('%-28s %6d bytes' % (name, len(data)))


if __name__ == '__main__':
    main()
