# Reads the exports of the fixtures back with readers nobody here wrote, and checks every cell against the
# database's own answer: one SQL statement run by sqlite3 (or psql), outside the program.
#
#   read_back.py BUILD_DIR SOURCE_DIR [--postgres PORT] [--per-row-queries]
#
# Each fixture (the demo organisation, and a small one whose every name is awkward) is exported with
# --all in both encodings under a UTF-8 and a Latin-1 locale. Every file is read whole by Python's csv
# module and, on SQLite, by LibreOffice (CSV -> XLSX -> CSV in UTF-8). Rows are compared per list as
# multisets; owner order and the grouping of a list's rows are checked too. Exit 77: a reader is missing.
import collections, csv, glob, io, itertools, json, os, shutil, subprocess, sys, tempfile, time

build, source = sys.argv[1], sys.argv[2]
pg_port = sys.argv[sys.argv.index("--postgres") + 1] if "--postgres" in sys.argv else None
# The export's reference path, one query per row, instead of its reads in sets.
EXTRA = ["--per-row-queries"] if "--per-row-queries" in sys.argv else []
SKIP = 77
HEADER = ("OWNER_ALIAS, OWNER_DISPLAY_NAME, OWNER_EXTENSION, LIST_NAME, LIST_ID, MEMBER_TYPE, MEMBER_ALIAS, "
          "MEMBER_DISPLAY_NAME, MEMBER_EXTENSION")
COLUMNS = HEADER.split(", ")
FIXTURES = {"demo": [], "awkward": ["--awkward-names", "--subscribers", "40"]}
LOCALES = {"C.UTF-8": "utf-8", "en_US.ISO-8859-1": "iso8859-1"}
LO_CHARSET = {"utf-8": 76, "iso8859-1": 12}  # LibreOffice's numbers for the two

# Differences the program is known to make and is being fixed for, as (why, test, also on PostgreSQL); a
# test takes (column, expected cell, cell read, row read). Each flips to a failure once the fault is gone.
NO_ROW = "<no row>"
EXPECTED_FAILURES = []

# The rows the export must write for the owners "All Subscribers" puts on the grid (of type 1 or 3, one
# row per id, one class of service), with the owner's place in that query and the list's id for grouping.
ORACLE = """
WITH chosen AS (
  SELECT SubscriberObjectID AS id, ROW_NUMBER() OVER () AS pos FROM vw_Subscriber WHERE SubscriberType IN (1, 3)),
owners AS (
  SELECT c.pos, c.id, COALESCE(s.Alias, '') AS alias, COALESCE(s.DisplayName, '') AS name,
         COALESCE(s.DTMFAccessID, '') AS ext
  FROM chosen c JOIN vw_Subscriber s ON s.SubscriberObjectID = c.id
  WHERE (SELECT COUNT(*) FROM vw_Subscriber x WHERE x.SubscriberObjectID = c.id) = 1
    AND (SELECT COUNT(*) FROM vw_COS k WHERE k.COSObjectID = s.COSObjectID) = 1)
SELECT o.pos AS c0, l.PersonalDListOBjectID AS c1, o.alias AS c2, o.name AS c3, o.ext AS c4,
  COALESCE(l.DisplayName, '') AS c5, COALESCE(l.DTMFAccessID, '') AS c6,
  CASE m.ObjectType WHEN 1 THEN 'SUBSCRIBER' ELSE 'PUBLIC LIST' END AS c7,
  COALESCE(m.Alias, '') AS c8, COALESCE(m.DisplayName, '') AS c9,
  COALESCE(CASE m.ObjectType
    WHEN 1 THEN (SELECT CASE WHEN COUNT(*) = 1 THEN {trim}(MAX(x.DTMFAccessID), ' ') END
                 FROM vw_Subscriber x WHERE x.SubscriberObjectID = m.ObjectID)
    ELSE (SELECT CASE WHEN COUNT(*) = 1 THEN MAX(d.DTMFAccessID) END
          FROM vw_DistributionList d WHERE d.SystemDListObjectID = m.ObjectID) END, '') AS c10
FROM owners o JOIN vw_PersonalDList l ON l.ParentObjectID = o.id
  JOIN vw_PersonalDListMember m ON m.ParentObjectID = l.PersonalDListOBjectID
WHERE m.ObjectType IN (1, 2)
"""
PG_OWNER = dict(os.environ, PGPASSWORD=os.environ.get("TARNWICK_PG_OWNER_PASSWORD", "tarnwick-owner"),
                PGCLIENTENCODING="UTF8")


def run(args, **kw):
    r = subprocess.run(args, capture_output=True, **kw)
    if r.returncode:
        sys.exit(f"{args[0]} failed ({r.returncode}): {r.stderr.decode(errors='replace')}")
    return r.stdout


def psql(database, *args):
    return run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", pg_port, "-U",
                "tarnwick_owner", "-d", database, *args], env=PG_OWNER)


def oracle(db):
    if pg_port:
        out = psql(db, "-c", "COPY (" + ORACLE.format(trim="btrim") + ") TO STDOUT WITH (FORMAT csv)")
        rows = list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))
    else:
        out = run(["sqlite3", "-json", db, ORACLE.format(trim="trim")]).decode("utf-8")
        rows = [[r[f"c{i}"] for i in range(11)] for r in (json.loads(out) if out.strip() else [])]
    return sorted(rows, key=lambda r: int(r[0]))  # owners in the query's order; inside an owner, as found


# The fixture in `folder` beside a copy of the program (its logs go there), reached as the program reaches
# "OrvaneDb": SQLite's file in the working folder, or a PostgreSQL copy of it through the driver map.
def make_fixture(folder, options):
    os.makedirs(folder)
    shutil.copy(os.path.join(build, "bin", "tarnwick-export"), folder)
    path = os.path.join(folder, "OrvaneDb")
    run([os.path.join(build, "bin", "tarnwick-demo-db"), path] + options)
    env = dict(os.environ, TARNWICK_REGISTRY=os.path.join(source, "demo", "registry.reg"),
               ODBCSYSINI=os.path.join(build, "odbc", "sqlite"))
    if not pg_port:
        return path, env
    # The name the program's fixed connection string gives; one fixture at a time (the suite locks the server).
    db = "OrvaneDb"
    psql("postgres", "-c", f'DROP DATABASE IF EXISTS "{db}" WITH (FORCE)', "-c", f'CREATE DATABASE "{db}"')
    psql(db, "-f", os.path.join(source, "demo", "schema.sql"))
    for table in ["Cos", "Subscriber", "DtmfAccess", "DistributionList", "PersonalDList", "PersonalDListMember"]:
        # A null as nothing, '' as ""; member types PostgreSQL's integer column cannot hold stay behind.
        where = " WHERE ObjectType = CAST(ObjectType AS INTEGER) AND abs(ObjectType) < 2147483648"
        data = run(["sqlite3", "-csv", path, f"SELECT * FROM {table}" + (where if "Member" in table else "")])
        run(["psql", "-X", "-q", "-h", "127.0.0.1", "-p", pg_port, "-U", "tarnwick_owner", "-d", db, "-c",
             f"\\copy {table} FROM STDIN WITH (FORMAT csv)"], input=data, env=PG_OWNER)
    psql(db, "-c", "GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader", "-c", "ANALYZE")
    # That string names no server, port or user: the driver takes them from libpq's variables.
    env.update(ODBCSYSINI=os.path.join(build, "odbc", "postgres"), PGHOST="127.0.0.1", PGPORT=pg_port,
               PGUSER="tarnwick_reader",
               PGPASSWORD=os.environ.get("TARNWICK_PG_READER_PASSWORD", "tarnwick-reader"))
    return db, env


def export(folder, env, locale, utf8, out):
    args = [os.path.join(folder, "tarnwick-export"), "--all", "-q", "--summary=json", "-o", out] + EXTRA
    r = subprocess.run(args + (["--encoding=utf-8"] if utf8 else []), cwd=folder, capture_output=True,
                       env=dict(env, LC_ALL=locale))
    if r.returncode != 0:
        sys.exit(f"export {out} ended with {r.returncode}: {r.stderr.decode(errors='replace')}")
    return json.loads(r.stdout)


def expected_cells(rows, codec, lo):
    """The oracle's nine cells per row as a reader should get them: a character the code page cannot hold
    is '?', and LibreOffice keeps one kind of line break in a cell (LF)."""
    def cell(v):
        v = v.encode(codec, "replace").decode(codec)
        return v.replace("\r\n", "\n").replace("\r", "\n") if lo else v
    return [tuple(cell(v) for v in r[2:]) for r in rows]


def lost_rows(rows, codec):
    """Rows with a character the code page cannot hold. A leading U+FEFF the program still drops (an expected
    failure above) costs nothing."""
    lost = lambda v: v.encode(codec, "replace").decode(codec) != v
    return sum(any(lost(v) for v in r[2:]) for r in rows)


def compare(expected, got):
    """Cells compared and the differences (column, expected, got): rows are matched per list as multisets,
    then leftovers that differ in one cell, then the rest in order."""
    key = lambda r: (r[0], r[3], r[4])  # owner alias, list name, list id
    e_groups, g_groups = collections.defaultdict(collections.Counter), collections.defaultdict(collections.Counter)
    for r in expected:
        e_groups[key(r)][r] += 1
    for r in got:
        g_groups[key(r)][r] += 1
    e_left, g_left, compared = [], [], 0
    for k in e_groups.keys() | g_groups.keys():
        common = e_groups[k] & g_groups[k]
        compared += 9 * sum(common.values())
        e_left += (e_groups[k] - common).elements()
        g_left += (g_groups[k] - common).elements()
    pairs = []
    for c in range(9):
        index = collections.defaultdict(list)
        for r in e_left:
            index[r[:c] + r[c + 1:]].append(r)
        rest = []
        for r in g_left:
            bucket = index.get(r[:c] + r[c + 1:])
            if bucket:
                pairs.append((bucket.pop(), r))
            else:
                rest.append(r)
        g_left, e_left = rest, [r for bucket in index.values() for r in bucket]
    pairs += itertools.zip_longest(sorted(e_left), sorted(g_left), fillvalue=(NO_ROW,) * 9)
    diffs = [(COLUMNS[i], a, b, g) for e, g in pairs for i, (a, b) in enumerate(zip(e, g)) if a != b]
    diffs += [("number of cells", str(len(e)), str(len(g)), g) for e, g in pairs if len(e) != len(g)]
    return compared + 9 * len(pairs), diffs


def order_faults(expected, got):
    """Owners in the order of the selection query, and each owner's lists as unbroken runs of rows."""
    blocks = [k for k, _ in itertools.groupby(got, key=lambda r: (r[0], r[3], r[4]))]
    owners = [k for k, _ in itertools.groupby(blocks, key=lambda b: b[0])]
    want = [k for k, _ in itertools.groupby(r[0] for r in expected)]
    faults = [] if owners == want else ["owners not in the selection query's order"]
    return faults + ([] if len(blocks) == len(set(blocks)) else ["a list's rows are not one run"])


def read_python(path, codec, utf8):
    raw = open(path, "rb").read()
    assert raw.startswith(b"\xef\xbb\xbf") == utf8, f"{path}: byte-order mark wrong at the start"
    text = raw.decode("utf-8-sig" if utf8 else codec)
    assert text.split("\r\n", 1)[0] == HEADER, f"{path}: header {text[:120]!r}"
    return [tuple(r) for r in csv.reader(io.StringIO(text, newline=""))][1:]


def read_libreoffice(files, work):
    """Every file to XLSX (one soffice run per code page, all columns text, quoted fields as text, no
    special numbers, formulas not evaluated) and back to CSV in UTF-8; the rows of each file."""
    profile = "file://" + os.path.join(work, "lo-profile")
    xlsx, back = os.path.join(work, "xlsx"), os.path.join(work, "back")
    text_columns = "/".join(f"{c}/2" for c in range(1, 10))
    for codec in sorted({codec for _, codec, _ in files}):
        group = [path for path, c, _ in files if c == codec]
        run(["soffice", f"-env:UserInstallation={profile}", "--headless", "--convert-to", "xlsx",
             f"--infilter=CSV:44,34,{LO_CHARSET[codec]},1,{text_columns},0,true,false,false,false,false,0,false",
             "--outdir", xlsx] + group)
    run(["soffice", f"-env:UserInstallation={profile}", "--headless", "--convert-to",
         "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false", "--outdir", back] +
        sorted(glob.glob(os.path.join(xlsx, "*.xlsx"))))
    out = {}
    for path, _, _ in files:
        name = os.path.join(back, os.path.basename(path))
        with open(name, encoding="utf-8", newline="") as f:
            rows = [tuple(r) for r in csv.reader(f)]
        out[path] = [r + ("",) * (9 - len(r)) for r in rows[1:]]  # LibreOffice ends a row at its last cell
    return out


def main():
    if not shutil.which("sqlite3") or (pg_port and not shutil.which("psql")):
        print("SKIP: the oracle needs sqlite3 (and psql for PostgreSQL); scripts/install-deps.sh installs them")
        return SKIP
    lo = not pg_port and shutil.which("soffice")
    plain = lambda name: name.lower().replace("-", "")
    have = {plain(name) for name in run(["locale", "-a"]).decode().split()}
    missing = [locale for locale in LOCALES if plain(locale) not in have]
    for locale in missing:  # the program would fall back to ASCII, and every file would differ
        del LOCALES[locale]
    work = tempfile.mkdtemp(prefix="tarnwick-read-back-")
    table, failures, files = [], [], []
    try:
        for fixture, options in FIXTURES.items():
            folder = os.path.join(work, fixture)
            db, env = make_fixture(folder, options)
            rows = oracle(db)
            assert len(rows) > 100, f"{fixture}: the oracle found {len(rows)} rows"
            for locale, codec in LOCALES.items():
                warnings = {}
                for utf8 in (False, True):
                    encoding = "utf-8" if utf8 else "code page"
                    out = os.path.join(folder, f"{fixture}-{locale}-{'utf8' if utf8 else 'cp'}.csv")
                    warnings[utf8] = export(folder, env, locale, utf8, out)["warnings"]
                    file_codec = "utf-8" if utf8 else codec
                    files.append((out, file_codec, (fixture, encoding, locale, rows)))
                    got = read_python(out, codec, utf8)
                    expected = expected_cells(rows, file_codec, False)
                    table.append((fixture, encoding, locale, "python csv", expected, got))
                    failures += [f"{out}: {f}" for f in order_faults(expected, got)]
                # One more warning line in the log for each row that lost a character to the code page.
                if warnings[False] - warnings[True] != lost_rows(rows, codec):
                    failures.append(f"{fixture}, {locale}: warnings {warnings}, {lost_rows(rows, codec)} rows lost")
        if lo:
            started = time.monotonic()
            read = read_libreoffice(files, work)
            print(f"LibreOffice read {len(files)} files in {time.monotonic() - started:.1f} s")
            for path, file_codec, (fixture, encoding, locale, rows) in files:
                expected = expected_cells(rows, file_codec, True)
                table.append((fixture, encoding, locale, "LibreOffice", expected, read[path]))
    finally:
        if pg_port:
            psql("postgres", "-c", 'DROP DATABASE IF EXISTS "OrvaneDb" WITH (FORCE)')
        if os.environ.get("TARNWICK_KEEP_READ_BACK") != "1":
            shutil.rmtree(work, ignore_errors=True)

    print(f"{'fixture':8} {'encoding':9} {'locale':17} {'reader':11} {'cells':>8} {'different':>9}  expected")
    seen_expected = set()
    for fixture, encoding, locale, reader, expected, got in table:
        compared, diffs = compare(expected, got)
        known = []
        for d in diffs:
            why = next((why for why, test, _ in EXPECTED_FAILURES if test(*d)), None)
            if why:
                seen_expected.add(why)
                known.append(d)
        print(f"{fixture:8} {encoding:9} {locale:17} {reader:11} {compared:8} {len(diffs):9}  {len(known)}")
        for column, want, have, _ in [d for d in diffs if d not in known][:5]:
            failures.append(f"{fixture}, {encoding}, {locale}, {reader}: {column} {want!r} read as {have!r}")
    for why, _, on_postgres in EXPECTED_FAILURES:
        if why not in seen_expected and (on_postgres or not pg_port):
            failures.append(f"expected failure now passes, remove it from the list: {why}")
    for why in sorted(seen_expected):
        print(f"XFAIL: {why}")
    for f in failures:
        print("FAIL:", f)
    if failures:
        return 1
    if not lo and not pg_port:
        print("SKIP: LibreOffice (soffice) not found; install libreoffice-calc-nogui (scripts/install-deps.sh)")
    if missing:
        print(f"SKIP: locale {', '.join(missing)} not found; scripts/install-deps.sh makes it")
    return SKIP if missing or (not lo and not pg_port) else 0


sys.exit(main())
