#!/usr/bin/env python3
"""Mutation testing of the core's rules: do the suites notice a small fault?

Each mutant is one small change to one source file (a comparison flipped, a
condition negated, a statement dropped, an integer constant moved by one).
The script applies it, builds only the test programs that reach the file,
runs those suites, records whether they failed (killed) or passed
(survived), and puts the file back. The sample is chosen from the sources
alone, by a seed, so two runs with different tests try the same mutants.

    python3 scripts/mutate.py --list                 # the sample, nothing run
    python3 scripts/mutate.py --limit 8              # the first 8 of it
    python3 scripts/mutate.py --only src/log/Logging.cpp --json /tmp/log.json
    python3 scripts/mutate.py --compare before.json after.json
"""

import argparse
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

# The rules under test, each with the fast suites that reach it (no
# PostgreSQL, Wine or window-manager suites: they are slow or need services)
# and, optionally, the functions the mutants are limited to.
RULES = {
    "src/select/NumberText.cpp": {"suites": ["tst_subscriberselection"]},
    "src/update/UpdateCheck.cpp": {
        "suites": ["tst_updatecheck"],
        "functions": ["textBefore", "isAsciiDigit", "widenPart", "PadVersionString"],
    },
    "src/install/OrvaneVersion.cpp": {"suites": ["tst_registry"]},
    "src/platform/RegFileRegistry.cpp": {"suites": ["tst_registry"]},
    "src/install/RegistryAPIRead.cpp": {"suites": ["tst_registry"]},
    "src/select/CsvSubscriberImport.cpp": {"suites": ["tst_subscriberselection"]},
    "src/export/PrivateListWalk.cpp": {"suites": ["tst_export"]},
    "src/log/Logging.cpp": {"suites": ["tst_logging", "tst_export"]},
    "src/platform/TextFileWriter.cpp": {"suites": ["tst_export", "tst_logging"]},
}

OPERATORS = ("comparison", "negation", "drop", "constant")
FILLER = "\x01"  # stands for the inside of a literal in the masked text


# ---------------------------------------------------------------- reading code


def mask_line(line):
    """The line with string and character literals filled and a // comment
    blanked, same length, so patterns only ever see code."""
    out = []
    i, n = 0, len(line)
    while i < n:
        c = line[i]
        if c == "/" and line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if c in "\"'":
            # A digit separator (1'000) is not a literal; none is used here.
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            j = min(j, n - 1)
            out.append(c + FILLER * (j - i - 1) + line[j])
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


def balance(code, opening, closing):
    return code.count(opening) - code.count(closing)


def function_lines(masked, names):
    """Line indexes of the named functions' definitions (a definition begins
    at column 0 and its body ends at the matching brace)."""
    wanted = set()
    pattern = re.compile(r"\b(?:\w+::)?(" + "|".join(map(re.escape, names)) + r")\(")
    i = 0
    while i < len(masked):
        line = masked[i]
        if line[:1].strip() and pattern.search(line) and not line.rstrip().endswith(";"):
            depth, started, j = 0, False, i
            while j < len(masked):
                depth += balance(masked[j], "{", "}")
                started = started or "{" in masked[j]
                if started and depth <= 0:
                    break
                j += 1
            wanted.update(range(i, j + 1))
            i = j
        i += 1
    return wanted


DECLARATION = re.compile(
    r"^(?:(?:const|constexpr|static|inline|thread_local|mutable|unsigned|signed|struct|enum)\s+)*"
    r"[A-Za-z_][\w:]*(?:\s*<.*>)?(?:\s*(?:\*|&|const\b))*\s+[*&]*[A-Za-z_][\w:]*\s*(?:=|\(|\{|;|\[|,)"
)
STATEMENT_WORDS = ("throw ", "delete ", "return;", "break;", "continue;", "emit ")
CONTROL = re.compile(r"^(?:\}\s*)?(?:else\s+)?(?:if|for|while)\s*\(.*\)$|^(?:\}\s*)?else$")


def statement_start_before(masked, i):
    """Whether line i begins a statement: the code line before it ends one,
    opens or closes a block, is a label, or heads an if/for/while/else."""
    j = i - 1
    while j >= 0 and not masked[j].strip():
        j -= 1
    if j < 0:
        return True
    prev = masked[j].strip()
    if prev.endswith((";", "{", "}", ":")):
        return True
    return bool(CONTROL.match(prev)) and balance(prev, "(", ")") == 0


def comparison_sites(code):
    swaps = {"<=": "<", ">=": ">", "==": "!=", "!=": "==", "<": "<=", ">": ">="}
    i = 0
    while i < len(code) - 1:
        two = code[i : i + 2]
        before = code[i - 1] if i else " "
        after = code[i + 2] if i + 2 < len(code) else " "
        if two in ("<=", ">=", "==", "!=") and before not in "<>=!" and after not in "=>":
            yield i, 2, two, swaps[two]
            i += 2
            continue
        # A bare < or > is a comparison only between blanks: templates,
        # casts and -> have none.
        if code[i] in "<>" and before == " " and code[i + 1] == " ":
            yield i, 1, code[i], swaps[code[i]]
        i += 1


CONSTANT = re.compile(r"(?<![\w.])(\d+)([uUlL]*)(?![\w.'])")


def candidates(root, rel):
    """Every mutant of one file: dicts with the line, the operator and the
    edits (line index -> new text)."""
    lines = (root / rel).read_bytes().decode("utf-8").split("\n")
    masked = [mask_line(line) for line in lines]
    rule = RULES.get(rel, {})
    region = function_lines(masked, rule["functions"]) if rule.get("functions") else range(len(lines))
    found = []

    def add(op, index, edits):
        found.append({"file": rel, "line": index + 1, "op": op, "edits": edits})

    for i in sorted(region):
        line, code = lines[i], masked[i]
        stripped = code.strip()
        if not stripped or stripped.startswith("#"):
            continue
        for pos, width, old, new in comparison_sites(code):
            add("comparison", i, {i: line[:pos] + new + line[pos + width :]})
        for m in CONSTANT.finditer(code):
            value = int(m.group(1))
            for moved in (value + 1, value - 1):
                if moved >= 0:
                    add("constant", i, {i: line[: m.start(1)] + str(moved) + line[m.end(1) :]})
        m = re.search(r"\bif \(", code)
        if m:
            # The condition may close on a later line.
            depth, open_at = 0, m.end() - 1
            for j in range(i, min(i + 6, len(lines))):
                start = open_at if j == i else 0
                close = None
                for k in range(start, len(masked[j])):
                    ch = masked[j][k]
                    depth += ch == "("
                    depth -= ch == ")"
                    if depth == 0 and ch == ")":
                        close = k
                        break
                if close is not None:
                    if j == i:
                        edits = {i: line[: m.end()] + "!(" + line[m.end() : close] + ")" + line[close:]}
                    else:
                        edits = {
                            i: line[: m.end()] + "!(" + line[m.end() :],
                            j: lines[j][:close] + ")" + lines[j][close:],
                        }
                    add("negation", i, edits)
                    break
        if (
            stripped.endswith(";")
            and not stripped.startswith(("}", "return ", "case ", "using ", "namespace", "typedef"))
            and not stripped.endswith(("= delete;", "= default;"))
            and (stripped.startswith(STATEMENT_WORDS) or not DECLARATION.match(stripped))
            and balance(stripped, "(", ")") == 0
            and balance(stripped, "{", "}") == 0
            and statement_start_before(masked, i)
        ):
            # An empty block, not nothing: the body of an if stays a body.
            indent = line[: len(line) - len(line.lstrip())]
            add("drop", i, {i: indent + "{}"})
    for c in found:
        key = "\0".join(
            [rel]
            + [lines[k].strip() + "\0" + text.strip() for k, text in sorted(c["edits"].items())]
        )
        c["before"] = lines[c["line"] - 1].strip()
        c["after"] = c["edits"][c["line"] - 1].strip()
        if len(c["edits"]) > 1:
            c["after"] += " ..."
        c["key"] = key
    # The same change on two identical lines gets an occurrence number, so an
    # id names one place and stays put when unrelated lines move.
    seen = {}
    for c in found:
        n = seen.get(c["key"], 0)
        seen[c["key"]] = n + 1
        c["id"] = hashlib.sha1(f"{c['key']}\0{n}".encode()).hexdigest()[:12]
        del c["key"]
    return found


def rank(seed, mutant_id):
    return hashlib.sha1(f"{seed}:{mutant_id}".encode()).hexdigest()


def file_queues(root, seed, files):
    """Per file, its mutants in the order the sample takes them: the
    operators in turn, each operator's mutants in seeded order."""
    queues = {}
    for rel in files:
        groups = {op: [] for op in OPERATORS}
        for c in candidates(root, rel):
            groups[c["op"]].append(c)
        for op in groups:
            groups[op].sort(key=lambda c: rank(seed, c["id"]))
        order = sorted(OPERATORS, key=lambda op: rank(seed, rel + op))
        queue = []
        while any(groups.values()):
            for op in order:
                if groups[op]:
                    queue.append(groups[op].pop(0))
        queues[rel] = queue
    return queues


def slots(count, files):
    """The sample's slots: the files in turn, so any prefix is spread over them."""
    return [files[k % len(files)] for k in range(count)]


# ---------------------------------------------------------------- running


class Stop(Exception):
    pass


def on_term(signum, frame):
    raise Stop(f"signal {signum}")


def end(proc):
    """Ends a command and everything it started; a build gets a moment to tidy up."""
    os.killpg(proc.pid, signal.SIGTERM)
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()


def run(cmd, cwd, log, timeout=None):
    started = time.monotonic()
    with open(log, "a", encoding="utf-8") as out:
        out.write("$ " + " ".join(cmd) + "\n")
        out.flush()
        proc = subprocess.Popen(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            end(proc)
            code = "timeout"
        except BaseException:
            # Interrupted: end what we started before the file is put back.
            end(proc)
            raise
    return code, time.monotonic() - started


class Runner:
    def __init__(self, root, build, workdir):
        self.root, self.build, self.workdir = root, build, workdir
        self.logs = workdir / "logs"
        self.logs.mkdir(parents=True, exist_ok=True)
        self.pending = workdir / "applied.json"  # survives a kill -9: the next start restores it
        self.timeouts = {}
        self.took = {}

    def recover(self):
        if not self.pending.exists():
            return
        saved = json.loads(self.pending.read_text())
        (self.root / saved["file"]).write_bytes(saved["original"].encode("utf-8"))
        self.pending.unlink()
        print(f"restored {saved['file']}, left mutated by an earlier run", file=sys.stderr)

    def clean(self, rel):
        return subprocess.run(["git", "diff", "--quiet", "--", rel], cwd=self.root).returncode == 0

    def build_targets(self, suites, log):
        code, seconds = run(["cmake", "--build", str(self.build), "-j", "2", "--target", *suites], self.root, log)
        return code == 0, seconds

    def run_suites(self, suites, log):
        """The first suite that fails, or None when all pass."""
        for suite in suites:
            code, seconds = run(
                ["ctest", "--test-dir", str(self.build), "--output-on-failure", "--no-tests=error", "-R", f"^{suite}$"],
                self.root,
                log,
                timeout=self.timeouts.get(suite, 600),
            )
            if code != 0:
                return suite + (" (timeout)" if code == "timeout" else "")
        return None

    def baseline(self, suites):
        """The unmutated suites must pass; their times set the timeouts."""
        log = self.logs / "baseline.log"
        log.write_text("")
        ok, _ = self.build_targets(suites, log)
        if not ok:
            raise SystemExit(f"the unmutated build fails; see {log}")
        for suite in suites:
            started = time.monotonic()
            if self.run_suites([suite], log):
                raise SystemExit(f"{suite} fails without any mutant; see {log}")
            took = time.monotonic() - started
            self.took[suite] = took
            # Loose enough for a busy machine, tight enough that a mutant
            # stuck in a loop costs little.
            self.timeouts[suite] = max(30.0, 4 * took)
            print(f"baseline {suite}: {took:.1f} s (timeout {self.timeouts[suite]:.0f} s)")

    def try_mutant(self, m):
        rel = m["file"]
        path = self.root / rel
        original = path.read_bytes().decode("utf-8")
        lines = original.split("\n")
        for k, text in m["edits"].items():
            lines[k] = text
        log = self.logs / f"{m['id']}.log"
        log.write_text(f"{rel}:{m['line']} {m['op']}\n- {m['before']}\n+ {m['after']}\n")
        # The quickest suite first: most mutants die there.
        suites = sorted(RULES[rel]["suites"], key=lambda s: self.took.get(s, 0))
        started = time.monotonic()
        self.pending.write_text(json.dumps({"file": rel, "original": original}))
        try:
            path.write_bytes("\n".join(lines).encode("utf-8"))
            built, build_seconds = self.build_targets(suites, log)
            if not built:
                status, by = "not built", None
            else:
                by = self.run_suites(suites, log)
                status = "killed" if by else "survived"
        finally:
            path.write_bytes(original.encode("utf-8"))
            self.pending.unlink()
            if not self.clean(rel):
                raise SystemExit(f"{rel} differs from git after restoring it; look before anything else")
        return {
            "status": status,
            "killed_by": by,
            "build_seconds": round(build_seconds, 1),
            "seconds": round(time.monotonic() - started, 1),
        }


# ---------------------------------------------------------------- reporting


def public(m):
    return {k: m[k] for k in ("id", "file", "line", "op", "before", "after")}


def table(results):
    files = sorted({r["file"] for r in results})
    width = max([len(f) for f in files] + [4])
    rows = [f"{'file':<{width}}  mutants  killed  survived  not built"]
    totals = [0, 0, 0, 0]
    for f in files:
        mine = [r for r in results if r["file"] == f]
        counts = [
            sum(r["status"] != "not built" for r in mine),
            sum(r["status"] == "killed" for r in mine),
            sum(r["status"] == "survived" for r in mine),
            sum(r["status"] == "not built" for r in mine),
        ]
        totals = [a + b for a, b in zip(totals, counts)]
        rows.append(f"{f:<{width}}  {counts[0]:7}  {counts[1]:6}  {counts[2]:8}  {counts[3]:9}")
    rows.append(f"{'total':<{width}}  {totals[0]:7}  {totals[1]:6}  {totals[2]:8}  {totals[3]:9}")
    return "\n".join(rows)


def describe(r):
    return f"{r['file']}:{r['line']} [{r['op']}, {r['id']}]  {r['before']}  ->  {r['after']}"


def report(results):
    print()
    print(table(results))
    survivors = [r for r in results if r["status"] == "survived"]
    if survivors:
        print("\nsurvivors (no suite failed):")
        for r in survivors:
            print("  " + describe(r))
    built = [r for r in results if r["status"] != "not built"]
    if built:
        mean = sum(r["seconds"] for r in built) / len(built)
        print(f"\n{len(built)} built mutants, {mean:.0f} s each on average")


def git(root, *args):
    return subprocess.run(["git", *args], cwd=root, capture_output=True, text=True).stdout.strip()


def save(path, args, root, results):
    data = {
        "seed": args.seed,
        "count": args.count,
        "commit": git(root, "rev-parse", "HEAD"),
        "tests_tree": git(root, "rev-parse", "HEAD:tests"),
        "tests_changed": bool(git(root, "status", "--porcelain", "--", "tests")),
        "rules": RULES,
        "mutants": results,
    }
    tmp = path.with_suffix(".tmp")
    tmp.write_text(json.dumps(data, indent=1) + "\n")
    tmp.replace(path)


def compare(a_path, b_path):
    a = json.loads(Path(a_path).read_text())
    b = json.loads(Path(b_path).read_text())
    b_by_id = {m["id"]: m for m in b["mutants"]}
    print(f"A: {a_path} (commit {a['commit'][:10]}, tests {a['tests_tree'][:10]})")
    print(f"B: {b_path} (commit {b['commit'][:10]}, tests {b['tests_tree'][:10]})")
    files = sorted({m["file"] for m in a["mutants"]} | {m["file"] for m in b["mutants"]})
    width = max(len(f) for f in files)
    print(f"\n{'file':<{width}}  mutants  killed A  killed B")
    for f in files:
        ma = [m for m in a["mutants"] if m["file"] == f and m["status"] != "not built"]
        mb = [m for m in b["mutants"] if m["file"] == f and m["status"] != "not built"]
        print(
            f"{f:<{width}}  {len(ma):7}  {sum(m['status'] == 'killed' for m in ma):8}"
            f"  {sum(m['status'] == 'killed' for m in mb):8}"
        )
    lost = []
    for m in a["mutants"]:
        if m["status"] != "killed":
            continue
        other = b_by_id.get(m["id"])
        if other is None or other["status"] != "killed":
            lost.append((m, "not tried" if other is None else other["status"]))
    if lost:
        print("\nkilled by A but not by B:")
        for m, why in lost:
            print(f"  {describe(m)}  (B: {why}; A: {m['killed_by']})")
    else:
        print("\nB kills every mutant A kills.")
    return 1 if lost else 0


# ---------------------------------------------------------------- main


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--count", type=int, default=54, help="mutants in the sample (default 54: six per file)")
    p.add_argument("--seed", default="1", help="chooses the sample (default 1)")
    p.add_argument("--only", action="append", metavar="FILE",
                   help="only the sample's mutants of FILE; repeat it for several files")
    p.add_argument("--limit", type=int, help="try at most N mutants of the sample, in order")
    p.add_argument("--list", action="store_true", help="print the sample without building anything")
    p.add_argument("--build", default="build", help="the configured build folder (default build)")
    p.add_argument("--json", help="result file (default BUILD/mutation/result-SEED.json)")
    p.add_argument("--resume", action="store_true", help="keep the results already in the JSON file")
    p.add_argument("--compare", nargs=2, metavar=("A.json", "B.json"), help="mutants A kills and B does not")
    args = p.parse_args()

    if args.compare:
        return compare(*args.compare)

    root = Path(git(Path(__file__).resolve().parent, "rev-parse", "--show-toplevel"))
    build = (root / args.build).resolve()
    files = list(RULES)
    if args.only:
        only = {os.path.relpath(Path(f).resolve(), root) if Path(f).exists() else str(Path(f)) for f in args.only}
        unknown = only - set(files)
        if unknown:
            raise SystemExit(f"not a rule file: {', '.join(sorted(unknown))}; known: {', '.join(files)}")
    queues = file_queues(root, args.seed, files)
    plan = [f for f in slots(args.count, files) if not args.only or f in only]
    if args.limit is not None:
        plan = plan[: args.limit]

    if args.list:
        taken = {f: 0 for f in files}
        for n, f in enumerate(plan, 1):
            queue = queues[f]
            if taken[f] < len(queue):
                m = queue[taken[f]]
                taken[f] += 1
                print(f"{n:3}  {describe(m)}")
        print(f"\n{len(plan)} mutants; one that does not compile is replaced by the next of its file.")
        for f in files:
            print(f"  {f}: {len(queues[f])} candidates")
        return 0

    workdir = build / "mutation"
    workdir.mkdir(parents=True, exist_ok=True)
    out = Path(args.json) if args.json else workdir / f"result-{args.seed}.json"
    runner = Runner(root, build, workdir)
    runner.recover()
    dirty = [f for f in files if not runner.clean(f)]
    if dirty:
        raise SystemExit(f"commit or stash these first, the script restores from git's view: {', '.join(dirty)}")

    if not plan:
        return 0
    previous = {}
    if args.resume and out.exists():
        previous = {m["id"]: m for m in json.loads(out.read_text())["mutants"]}
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, signal.default_int_handler)  # also when started in the background
    needed = sorted({s for f in set(plan) for s in RULES[f]["suites"]})
    results = []
    applied = stopped = False
    try:
        runner.baseline(needed)
        used = {f: 0 for f in files}
        for n, f in enumerate(plan, 1):
            while used[f] < len(queues[f]):
                m = queues[f][used[f]]
                used[f] += 1
                if m["id"] in previous:
                    r = previous[m["id"]]
                else:
                    print(f"[{n}/{len(plan)}] {describe(m)}", flush=True)
                    applied = True
                    r = {**public(m), **runner.try_mutant(m)}
                    print(f"        {r['status']}{' by ' + r['killed_by'] if r['killed_by'] else ''}"
                          f" ({r['seconds']:.0f} s)", flush=True)
                results.append(r)
                # A resumed file keeps what this run did not reach (another --only, say).
                tried = {x["id"] for x in results}
                save(out, args, root, results + [x for x in previous.values() if x["id"] not in tried])
                if r["status"] != "not built":
                    break
    except (KeyboardInterrupt, Stop) as e:
        stopped = True
        print(f"\nstopped ({str(e) or 'Ctrl+C'}); the file is restored, results so far in {out}", file=sys.stderr)
    finally:
        # The test programs hold the last mutant: build them again from the
        # restored sources so a later ctest runs what git holds.
        if applied:
            print("rebuilding the suites from the restored sources ...", file=sys.stderr)
            try:
                ok, _ = runner.build_targets(needed, runner.logs / "restore.log")
            except (KeyboardInterrupt, Stop):
                ok = False
            if not ok:
                print(f"the suites may still hold a mutant: build {', '.join(needed)} before running them",
                      file=sys.stderr)
    report(results)
    print(f"\nresults: {out}")
    return 130 if stopped else 0


if __name__ == "__main__":
    sys.exit(main())
