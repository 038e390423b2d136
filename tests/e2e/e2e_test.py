#!/usr/bin/python3
"""End-to-end tests: the built kslagent converting ocilite databases.

Environment (set by CTest): KSLAGENT, OCILITE_LOAD, SAMPLES (the folder of
hr.db, scott.db and co.db).  Each test works in a folder of its own.
"""
import os
import random
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_compare as cmp  # noqa: E402

import dbfread  # noqa: E402

KSLAGENT = os.environ.get('KSLAGENT', 'build/bin/kslagent')
OCILITE_LOAD = os.environ.get('OCILITE_LOAD', 'build/bin/ocilite-load')
SAMPLES = os.environ.get('SAMPLES', 'build/examples')

SAMPLE_USERS = {'hr': ('HR', 'hr'), 'scott': ('SCOTT', 'TIGER'), 'co': ('CO', 'co')}


class Result:
    def __init__(self, proc):
        self.status = proc.returncode
        self.out = proc.stdout
        self.err = proc.stderr


class agent_case(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix='kslagent_e2e_')
        self.dest = os.path.join(self.folder, 'dbf')

    def tearDown(self):
        for root, dirs, _ in os.walk(self.folder):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_agent(self, *args, timeout=600):
        env = dict(os.environ, KESTREL_CODEPAGE='1252')
        proc = subprocess.run([KSLAGENT] + list(args), capture_output=True, text=True,
                              env=env, timeout=timeout, cwd=self.folder)
        return Result(proc)

    def sample(self, name):
        return os.path.join(SAMPLES, name + '.db')

    def convert_sample(self, name, *more):
        user, password = SAMPLE_USERS[name]
        return self.run_agent('--src=' + self.sample(name), '--oraclu=' + user,
                              '--oraclp=' + password, '--dest=' + self.dest, *more)

    def write(self, name, text, mode='w'):
        path = os.path.join(self.folder, name)
        with open(path, mode) as f:
            f.write(text)
        return path

    def make_db(self, name, script, user='T/t'):
        path = os.path.join(self.folder, name)
        sql = self.write(name + '.sql', script)
        subprocess.run([OCILITE_LOAD, '--user', user, path, sql], check=True,
                       capture_output=True)
        return path

    def dbf_files(self):
        return sorted(os.listdir(self.dest))

    def assert_tables_equal_source(self, db_path, tables=None, names=None):
        db = cmp.open_db(db_path)
        problems = []
        tables = tables or cmp.source_tables(db)
        for table in tables:
            cmp.compare_table(db, self.dest, table, problems,
                              dbf_name=(names or {}).get(table))
        db.close()
        self.assertEqual(problems[:40], [])


class samples(agent_case):
    """HR, SCOTT and CO converted in full and compared value by value."""

    def check_sample(self, name):
        r = self.convert_sample(name)
        self.assertEqual(r.status, 0, r.out + r.err)
        self.assertEqual(r.err, '')
        db = cmp.open_db(self.sample(name))
        tables = cmp.source_tables(db)
        counts = {t: db.execute('SELECT COUNT(*) FROM "%s"' % t).fetchone()[0] for t in tables}
        db.close()
        expected = 'Converting database  (%d tables)\n' % len(tables)
        for t in sorted(tables):
            expected += 'Converting table %s (%d records)\n' % (t, counts[t])
        expected += '%d tables converted, 0 with errors, 0 skipped\n' % len(tables)
        self.assertEqual(r.out, expected)
        self.assertEqual(self.dbf_files(), sorted(
            [t.lower() + '.dbf' for t in tables] +
            [f for f in os.listdir(self.dest) if f.endswith('.dbt')]))
        self.assert_tables_equal_source(self.sample(name))

    def test_hr(self):
        self.check_sample('hr')

    def test_scott(self):
        self.check_sample('scott')

    def test_co(self):
        self.check_sample('co')


class vfp_samples(agent_case):
    """HR, SCOTT and CO converted into Visual FoxPro tables (KESTREL_DBF_FORMAT,
    no profile) and read back by python3-dbfread, python3-dbf, GDAL and
    LibreOffice, each without an encoding or parser option: every value
    equals the source except where the reader matrix records that reader's
    limit for the field kind (printed)."""

    def check_sample(self, name):
        user, password = SAMPLE_USERS[name]
        env = dict(os.environ, KESTREL_CODEPAGE='1252', KESTREL_DBF_FORMAT='vfp')
        proc = subprocess.run([KSLAGENT, '--src=' + self.sample(name), '--oraclu=' + user,
                               '--oraclp=' + password, '--dest=' + self.dest],
                              capture_output=True, text=True, env=env, timeout=600,
                              cwd=self.folder)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        files = self.dbf_files()
        self.assertFalse([f for f in files if f.endswith('.dbt')], files)
        for f in files:
            if f.endswith('.dbf'):
                with open(os.path.join(self.dest, f), 'rb') as table:
                    head = table.read(32)
                self.assertEqual((head[0], head[29]), (0x30, 0x03), f)
        readers = ['dbfread', 'dbf']
        if shutil.which('ogr2ogr'):
            readers.append('GDAL')
        elif os.environ.get('CI'):
            self.fail('CI is set but GDAL (gdal-bin) is not installed')
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'dbf'))
        import reader_matrix
        if reader_matrix.reader_available('LibreOffice'):
            readers.append('LibreOffice')
        elif os.environ.get('CI'):
            self.fail('CI is set but LibreOffice (libreoffice-calc-nogui, '
                      'libreoffice-base-drivers) is not installed')
        else:
            print('LibreOffice is not installed: not read with it', file=sys.stderr)
        db = cmp.open_db(self.sample(name))
        problems, limits = [], {}
        for table in cmp.source_tables(db):
            cmp.compare_with_readers(db, self.dest, table, readers, problems, limits)
        db.close()
        for (reader, kind, how), count in sorted(limits.items()):
            print('%s: %s, %s: %d values (%s)' % (name, reader, kind, count, how),
                  file=sys.stderr)
        self.maxDiff = None
        self.assertEqual(problems[:40], [])

    def test_hr(self):
        self.check_sample('hr')

    def test_scott(self):
        self.check_sample('scott')

    def test_co(self):
        self.check_sample('co')


class modes(agent_case):
    def prepare(self):
        os.makedirs(self.dest)
        r = self.convert_sample('scott', '--mode=0')
        self.assertEqual(r.status, 0, r.out)
        shutil.copy(os.path.join(self.dest, 'emp.dbf'), os.path.join(self.dest, 'old.dbf'))
        self.write('dbf/readme.txt', 'not a table')
        # DEPT's header counts no records: a run that replaces it restores them.
        with open(os.path.join(self.dest, 'dept.dbf'), 'r+b') as f:
            f.seek(4)
            f.write(b'\0\0\0\0')
        self.stamp = os.path.getmtime(os.path.join(self.dest, 'dept.dbf'))

    def test_mode_0_empties_the_folder_of_tables_only(self):
        self.prepare()
        tables = self.write('tables.txt', 'DEPT\n')
        r = self.convert_sample('scott', '--mode=0', '--tab_file=' + tables)
        self.assertEqual(r.status, 0, r.out)
        self.assertEqual(self.dbf_files(), ['dept.dbf', 'readme.txt'])
        self.assert_tables_equal_source(self.sample('scott'), ['DEPT'])

    def test_mode_1_replaces_the_converted_tables_only(self):
        self.prepare()
        tables = self.write('tables.txt', 'DEPT\n')
        r = self.convert_sample('scott', '--mode=1', '--tab_file=' + tables)
        self.assertEqual(r.status, 0, r.out)
        self.assertIn('old.dbf', self.dbf_files())
        self.assertIn('emp.dbf', self.dbf_files())
        self.assertIn('readme.txt', self.dbf_files())
        self.assert_tables_equal_source(self.sample('scott'), ['DEPT'])

    def test_mode_2_skips_existing_files(self):
        self.prepare()
        os.remove(os.path.join(self.dest, 'bonus.dbf'))
        r = self.convert_sample('scott', '--mode=2')
        self.assertEqual(r.status, 0, r.out)
        self.assertTrue(r.out.endswith('1 tables converted, 0 with errors, 3 skipped\n'), r.out)
        self.assertEqual(os.path.getmtime(os.path.join(self.dest, 'dept.dbf')), self.stamp)
        self.assertEqual(cmp.complete_records(os.path.join(self.dest, 'dept.dbf'))[0], 0)
        self.assertIn('bonus.dbf', self.dbf_files())


class selection(agent_case):
    def test_tab_file_subset_and_missing_table(self):
        tables = self.write('tables.txt', 'EMPLOYEES\n\nnowhere\nREGIONS\nEMPLOYEES\n')
        r = self.convert_sample('hr', '--tab_file=' + tables)
        self.assertEqual(r.status, 1, r.out + r.err)
        self.assertEqual(r.err, 'Table nowhere not exists\n')
        self.assertEqual(r.out,
                         'Converting database  (4 tables)\n'
                         'Converting table EMPLOYEES (107 records)\n'
                         'Converting table REGIONS (5 records)\n'
                         '2 tables converted, 1 with errors, 0 skipped\n')
        self.assertEqual(self.dbf_files(), ['employees.dbf', 'regions.dbf'])
        self.assert_tables_equal_source(self.sample('hr'), ['EMPLOYEES', 'REGIONS'])

    # The Oracle catalog holds JOBS; a name that Oracle would quote as "jobs"
    # names no table.
    def test_tab_file_lower_case_name_is_missing(self):
        tables = self.write('tables.txt', 'jobs\nREGIONS\n')
        r = self.convert_sample('hr', '--tab_file=' + tables)
        self.assertEqual(r.err, 'Table jobs not exists\n')
        self.assertEqual(r.status, 1, r.out + r.err)
        self.assertEqual(self.dbf_files(), ['regions.dbf'])

    def test_tab_def_creates_tables_without_records(self):
        r = self.convert_sample('scott', '--tab_def')
        self.assertEqual(r.status, 0, r.out)
        self.assertIn('Converting table EMP (14 records)\n', r.out)
        for name in self.dbf_files():
            if name.endswith('.dbf'):
                self.assertEqual(cmp.complete_records(os.path.join(self.dest, name)), (0, 0))
                self.assertEqual(len(cmp.read_records(os.path.join(self.dest, name))), 0)

    def test_silent_with_logfile(self):
        log = os.path.join(self.folder, 'run.log')
        r = self.convert_sample('scott', '--silent', '--logfile=' + log)
        self.assertEqual((r.status, r.out, r.err), (0, '', ''))
        with open(log, 'rb') as f:
            text = f.read().decode('utf-8')
        self.assertIn('Conversion started on ', text)
        self.assertIn('Converting table EMP (14 records)\r\n', text)
        self.assertIn('Conversion ended on ', text)
        self.assertNotIn('parse_cmd_line', text)  # level 1 and 2 lines stay out
        self.assert_tables_equal_source(self.sample('scott'))

    def test_profile_alone_and_with_options(self):
        profile = self.write('job.ini',
                             '[Generic settings]\nsrc=%s\ndest=%s\nmode=0\n'
                             '[Oracle settings]\nuser=SCOTT\npassword=TIGER\n'
                             '[Selected Tables]\nEMP\nDEPT\n' % (self.sample('scott'), self.dest))
        r = self.run_agent('--profile=' + profile)
        self.assertEqual(r.status, 0, r.out + r.err)
        self.assertEqual(r.out,
                         'Converting database %s (2 tables)\n'
                         'Converting table DEPT (4 records)\n'
                         'Converting table EMP (14 records)\n'
                         '2 tables converted, 0 with errors, 0 skipped\n' % self.sample('scott'))
        self.assertEqual(self.dbf_files(), ['dept.dbf', 'emp.dbf'])

        # Options after the profile override it; its tables and the
        # table-names file's add up.
        other = os.path.join(self.folder, 'other')
        tables = self.write('tables.txt', 'SALGRADE\n')
        r = self.run_agent('--profile=' + profile, '--dest=' + other, '--tab_def',
                           '--tab_file=' + tables, '--src=ignored', '--oraclp=wrong')
        self.assertEqual(r.status, 0, r.out + r.err)
        self.assertEqual(sorted(os.listdir(other)), ['dept.dbf', 'emp.dbf', 'salgrade.dbf'])
        self.assertEqual(cmp.complete_records(os.path.join(other, 'emp.dbf')), (0, 0))

    def test_example_profile_in_the_repository(self):
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..',
                              'examples', 'hr_profile.ini')
        with open(source) as f:
            text = f.read()
        text = text.replace('src=build/examples/hr.db', 'src=' + self.sample('hr'))
        text = text.replace('dest=/tmp/hr-dbf-profile', 'dest=' + self.dest)
        r = self.run_agent('--profile=' + self.write('p.ini', text))
        self.assertEqual(r.status, 0, r.out + r.err)
        self.assertEqual(self.dbf_files(), ['departments.dbf', 'employees.dbf', 'jobs.dbf'])


ODD_SCHEMA = """
CREATE TABLE "ODD NAME" (ID NUMBER(4), TXT VARCHAR2(10));
INSERT INTO "ODD NAME" VALUES (1, 'first');
CREATE TABLE ODD_NAME (ID NUMBER(4), TXT VARCHAR2(10));
INSERT INTO ODD_NAME VALUES (2, 'second');
INSERT INTO ODD_NAME VALUES (3, 'third');
CREATE TABLE SKIPPED_TYPES (
  ID NUMBER(6),
  AT_ZONE TIMESTAMP(9) WITH TIME ZONE,
  SPAN INTERVAL DAY(2) TO SECOND(6),
  NAME VARCHAR2(20),
  LONG_TEXT CLOB);
INSERT INTO SKIPPED_TYPES VALUES (1, NULL, NULL, 'kept', 'memo text');
CREATE TABLE NO_ROWS (ID NUMBER(3), D DATE);
CREATE TABLE WIDE (ID NUMBER(3), BIG NUMBER(20), N VARCHAR2(5));
INSERT INTO WIDE VALUES (1, 12345678901234, 'a');
INSERT INTO WIDE VALUES (2, -99999999999999999999, 'b');
INSERT INTO WIDE VALUES (3, -42, 'c');
INSERT INTO WIDE VALUES (4, 99999999999999999999, 'd');
COMMIT;
"""


class odd_tables(agent_case):
    def test_names_skipped_types_empty_tables_and_a_record_that_fails(self):
        db = self.make_db('odd.db', ODD_SCHEMA)
        r = self.run_agent('--src=' + db, '--oraclu=T', '--oraclp=t', '--dest=' + self.dest)
        # A negative twenty-digit number does not fit into its 20 places:
        # record 2 of WIDE.
        self.assertEqual(r.status, 1, r.out + r.err)
        self.assertIn('Error:\nWIDE, record #2: Value does not fit into field BIG', r.out)
        self.assertTrue(r.out.endswith('4 tables converted, 1 with errors, 0 skipped\n'), r.out)
        self.assertIn('Converting table NO_ROWS (0 records)\n', r.out)
        # "ODD NAME" gets a generated name that does not take ODD_NAME's.
        self.assertEqual(self.dbf_files(),
                         ['no_rows.dbf', 'odd_name.dbf', 'odd_name000.dbf', 'skipped_types.dbf',
                          'skipped_types.dbt', 'wide.dbf'])
        self.assert_tables_equal_source(db, ['ODD NAME', 'ODD_NAME', 'SKIPPED_TYPES', 'NO_ROWS'],
                                        names={'ODD NAME': 'ODD_NAME000'})
        fields = [f.name for f in dbfread.DBF(os.path.join(self.dest, 'skipped_types.dbf'),
                                              ignore_missing_memofile=True).fields]
        self.assertEqual(fields, ['ID', 'NAME', 'LONG_TEXT'])
        wide = cmp.read_records(os.path.join(self.dest, 'wide.dbf'))
        self.assertEqual([str(w['ID']) for w in wide], ['1', '2', '3', '4'])
        self.assertEqual(str(wide[0]['BIG']), '12345678901234')
        self.assertEqual(wide[1]['BIG'], '*' * 20)
        self.assertEqual(str(wide[2]['BIG']), '-42')
        self.assertEqual(str(wide[3]['BIG']), '99999999999999999999')
        self.assertEqual([w['N'] for w in wide], ['a', 'b', 'c', 'd'])


class connection(agent_case):
    def test_wrong_password_and_unknown_database(self):
        r = self.run_agent('--src=' + self.sample('scott'), '--oraclu=SCOTT', '--oraclp=tiger',
                           '--dest=' + self.dest)
        self.assertEqual((r.status, r.out, r.err), (255, 'Error:\nInvalid user name or password.\n', ''))
        r = self.run_agent('--src=' + os.path.join(self.folder, 'none.db'), '--oraclu=SCOTT',
                           '--oraclp=TIGER', '--dest=' + self.dest)
        self.assertEqual((r.status, r.err), (255, ''))
        self.assertEqual(r.out, 'Error:\nOracle data source does not exist. Check to verify the '
                                'correct name was given.\n')
        self.assertFalse(os.path.exists(self.dest))


class bad_input(agent_case):
    def scott(self, dest, *more):
        return self.run_agent('--src=' + self.sample('scott'), '--oraclu=SCOTT',
                              '--oraclp=TIGER', '--dest=' + dest, *more)

    def test_destination_that_is_a_file_or_below_one(self):
        file = self.write('plain.txt', 'x')
        r = self.scott(file)
        self.assertEqual((r.status, r.err), (255, ''))
        self.assertEqual(r.out, 'Error:\nYou should enter path to FoxPro/DBase database, not a '
                                'file name\n')
        r = self.scott(os.path.join(file, 'sub', 'dbf'))
        self.assertEqual(r.status, 255)
        self.assertTrue(r.out.startswith('Error:\nCannot create folder '), r.out)
        r = self.scott(os.path.join(self.folder, 'new', 'deeper', 'dbf'))
        self.assertEqual(r.status, 0, r.out)
        self.assertEqual(len(os.listdir(os.path.join(self.folder, 'new', 'deeper', 'dbf'))), 4)

    def test_read_only_destination(self):
        os.makedirs(self.dest)
        mounted = False
        if os.geteuid() == 0:
            # Permission bits do not stop root; a read-only file system does.
            if subprocess.run(['mount', '-t', 'tmpfs', '-o', 'ro,size=64k', 'tmpfs', self.dest],
                              capture_output=True).returncode != 0:
                self.skipTest('no read-only file system can be mounted here')
            mounted = True
        else:
            os.chmod(self.dest, 0o555)
        try:
            r = self.scott(self.dest, '--mode=1')
        finally:
            if mounted:
                subprocess.run(['umount', self.dest])
        self.assertEqual(r.status, 255, r.out)
        self.assertEqual(r.out, 'Converting database  (4 tables)\n'
                                'Error:\nBONUS: Error opening file\n'
                                '0 tables converted, 1 with errors, 0 skipped\n')

    def test_full_disk(self):
        mount = os.path.join(self.folder, 'small')
        os.makedirs(mount)
        if subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=96k', 'tmpfs', mount],
                          capture_output=True).returncode != 0:
            self.skipTest('no small file system can be mounted here')
        try:
            r = self.run_agent('--src=' + self.sample('co'), '--oraclu=CO', '--oraclp=co',
                               '--dest=' + mount)
            self.assertEqual(r.status, 255, r.out)
            self.assertIn(': Cannot write into file\n', r.out)
            self.assertRegex(r.out, r'\d+ tables converted, 1 with errors, 0 skipped\n$')
            for name in os.listdir(mount):
                if name.endswith('.dbf'):
                    path = os.path.join(mount, name)
                    count, complete = cmp.complete_records(path)
                    self.assertEqual(count, complete, name)
                    self.assertEqual(len(cmp.read_records(path)), count)
        finally:
            subprocess.run(['umount', mount])

    def test_profiles_that_are_odd(self):
        cases = {
            'folder': (os.path.join(self.folder, 'adir'), 255,
                       'Error:\nProfile does not exist. Please verify the correct path/name was '
                       'given.\n'),
            'huge line': ('[Generic settings]\nsrc=' + 'x' * 5000 + '\n', 255,
                          'Error:\nProfile line 2 is longer than 4095 characters.\n'),
        }
        os.makedirs(os.path.join(self.folder, 'adir'))
        for name, (content, status, out) in cases.items():
            with self.subTest(name):
                path = content if name == 'folder' else self.write('p.ini', content)
                r = self.run_agent('--profile=' + path)
                self.assertEqual((r.status, r.out), (status, out))
        fifo = os.path.join(self.folder, 'fifo.ini')
        os.mkfifo(fifo)
        r = self.run_agent('--profile=' + fifo, timeout=20)
        self.assertEqual(r.status, 255)
        # Odd lines are passed over: spaces, bare lines, unknown keys, a
        # section continued, "=" in a value.
        profile = self.write('odd.ini',
                             '   \n[Generic settings]\n  src = %s\nunknown=1\n\n'
                             '[Oracle settings]\nuser=SCOTT\n[Generic settings]\n'
                             'dest=%s\n[Oracle settings]\npassword=TIGER\n[Selected Tables]\n'
                             'DEPT\nBONUS=\n[Extra]\nkey=a=b\nbare line\n'
                             % (self.sample('scott'), self.dest))
        r = self.run_agent('--profile=' + profile)
        # " src = x" keeps the space after "=": the database " path" does not exist.
        self.assertEqual(r.status, 255, r.out)
        self.assertIn('Oracle data source does not exist', r.out)
        with open(profile) as f:
            text = f.read().replace('  src = ', 'src=')
        self.write('odd.ini', text)
        r = self.run_agent('--profile=' + profile)
        self.assertEqual(r.status, 0, r.out + r.err)
        self.assertEqual(self.dbf_files(), ['bonus.dbf', 'dept.dbf'])


PERF_TABLE = """
CREATE TABLE PERF_ROWS (ID NUMBER(10) NOT NULL PRIMARY KEY, NAME VARCHAR2(40),
  AMOUNT NUMBER(12,2), CREATED DATE, REMARK CLOB);
COMMIT;
"""

PERF_FILL = """
PRAGMA journal_mode = OFF;
BEGIN;
WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < %d)
INSERT INTO PERF_ROWS SELECT i, 'Name ' || i, i * 3,
  datetime(1262304000 + i * 61, 'unixepoch'),
  CASE WHEN i %% 10 < 4 THEN NULL ELSE substr(replace(hex(zeroblob(400)), '00', 'memo ' || i || ' '),
                                               1, 1 + (i * 31) %% 600) END
FROM g;
COMMIT;
"""


class interrupted(agent_case):
    def test_sigkill_leaves_readable_tables(self):
        db = self.make_db('perf.db', PERF_TABLE, user='PERF/perf')
        sqlite3.connect(db).executescript(PERF_FILL % 200000)
        # How long a whole run takes, to kill within it.
        start = time.monotonic()
        r = self.run_agent('--src=' + db, '--oraclu=PERF', '--oraclp=perf', '--dest=' + self.dest,
                           '--silent')
        duration = time.monotonic() - start
        self.assertEqual(r.status, 0)
        print('full run: %.2f s' % duration, file=sys.stderr)
        rng = random.Random(20240601)
        midway = 0
        for attempt in range(6):
            shutil.rmtree(self.dest, ignore_errors=True)
            delay = rng.uniform(0.05, max(0.1, duration * 0.9))
            env = dict(os.environ, KESTREL_CODEPAGE='1252')
            proc = subprocess.Popen([KSLAGENT, '--src=' + db, '--oraclu=PERF', '--oraclp=perf',
                                     '--dest=' + self.dest, '--silent'], env=env)
            time.sleep(delay)
            proc.send_signal(signal.SIGKILL)
            proc.wait()
            print('killed after %.2f s' % delay, file=sys.stderr)
            with self.subTest(delay=delay):
                path = os.path.join(self.dest, 'perf_rows.dbf')
                if not os.path.exists(path):
                    continue  # killed before the table was created
                count, complete = cmp.complete_records(path)
                self.assertEqual(count, complete)
                midway += 0 < count < 200000
                records = cmp.read_records(path)
                self.assertEqual(len(records), count)
                for i, rec in enumerate(records):
                    self.assertEqual(rec['ID'], i + 1)
                    n = i + 1
                    if n % 10 >= 4:
                        self.assertEqual(len(rec['REMARK']), 1 + (n * 31) % 600, n)
        # The kills must have met the copy itself, not only its start or end.
        self.assertGreater(midway, 0)


if __name__ == '__main__':
    unittest.main()
