# tarnwick-export --summary=json: stdin is the run's stdout, argv the CSV file, the exit status and "safe" when the run
# had --formula-safe. Every field is read again from the CSV and the log the summary names; the cells counted as
# formulas are then opened in LibreOffice, which evaluates them unless they were made safe.
import csv, json, os, shutil, subprocess, sys, tempfile
lines = sys.stdin.read().split("\n")
assert len(lines) == 2 and lines[1] == "", lines
s = json.loads(lines[0])
rows = list(csv.reader(open(sys.argv[1], newline="", encoding="utf-8")))
log = open(s["log"], encoding="utf-8", newline="").read().split("\r\n")
log = log[[l.startswith("Starting process at:") for l in log].index(True):]  # the header names both markers
safe = sys.argv[3:] == ["safe"]
names = (0, 1, 3, 6, 7)  # owner alias and name, list name, member alias and name
def counted(cell):  # what a spreadsheet would evaluate, after the ' that --formula-safe puts before it
    if safe:
        cell = cell[1:] if cell.startswith("'") else ""
    return cell[:1] in ("=", "+", "-", "@", "\t", "\r")
formulas = [(r, c) for r in range(1, len(rows)) for c in names if counted(rows[r][c])]
expected = {"rows": len(rows) - 1, "owners": sum(l.startswith("[") and " of " in l for l in log),
            "lists": sum(l.startswith("        Processing private list=") for l in log), "formulaCells": len(formulas),
            "errors": sum("(error)" in l.lower() for l in log), "warnings": sum("(warning)" in l.lower() for l in log),
            "failures": 0, "csv": os.path.abspath(sys.argv[1]), "log": s["log"], "status": int(sys.argv[2])}
assert s == expected, (s, expected)
assert os.path.dirname(s["log"]).endswith("logs") and s["rows"] > 0 and s["lists"] > 0, s
if formulas and shutil.which("soffice"):
    with tempfile.TemporaryDirectory() as work:
        subprocess.run(["soffice", "--headless", "--norestore", "-env:UserInstallation=file://" + work + "/profile",
                        "--infilter=CSV:44,34,76", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                        "--outdir", work, sys.argv[1]], check=True, capture_output=True, timeout=300)
        opened = list(csv.reader(open(os.path.join(work, os.path.basename(sys.argv[1])), newline="", encoding="utf-8")))
    changed = {(r, c) for r in range(1, len(rows)) for c in names  # a line end inside a cell comes back as LF
               if opened[r][c] != rows[r][c].replace("\r\n", "\n")}
    # Made safe, every one reads as written; else some are evaluated, and only those counted.
    assert (not changed) if safe else (changed and changed <= set(formulas)), (changed, formulas)
