# tarnwick-export --summary=json: stdin is the run's stdout, argv the CSV file and the exit status.
# Every field is read again from the CSV and the log the summary names.
import csv, json, os, sys
lines = sys.stdin.read().split("\n")
assert len(lines) == 2 and lines[1] == "", lines
s = json.loads(lines[0])
rows = list(csv.reader(open(sys.argv[1], newline="", encoding="utf-8")))
log = open(s["log"], encoding="utf-8", newline="").read().split("\r\n")
log = log[[l.startswith("Starting process at:") for l in log].index(True):]  # the header names both markers
expected = {"rows": len(rows) - 1, "owners": sum(l.startswith("[") and " of " in l for l in log),
            "lists": sum(l.startswith("        Processing private list=") for l in log),
            "errors": sum("(error)" in l.lower() for l in log), "warnings": sum("(warning)" in l.lower() for l in log),
            "failures": 0, "csv": os.path.abspath(sys.argv[1]), "log": s["log"], "status": int(sys.argv[2])}
assert s == expected, (s, expected)
assert os.path.dirname(s["log"]).endswith("logs") and s["rows"] > 0 and s["lists"] > 0, s
