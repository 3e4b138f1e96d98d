# The change report against the same comparison done again with Python's csv module over the two exports.
# argv: previous export, new export, report, the code page's Python codec name. A file that begins with a
# UTF-8 byte-order mark is UTF-8, else it is read in the code page. Prints the counts per kind as JSON.
import csv, io, json, sys

def rows(path):
    data = open(path, "rb").read()
    text = data[3:].decode("utf-8") if data.startswith(b"\xef\xbb\xbf") else data.decode(sys.argv[4])
    found = [r for r in csv.reader(io.StringIO(text, newline="")) if r]
    return found[0], found[1:]

_, previous = rows(sys.argv[1])
_, current = rows(sys.argv[2])
header, report = rows(sys.argv[3])

lists, members = {}, {}  # first row wins; dicts keep the file's order
for r in previous:
    key = (r[0], r[4])
    lists.setdefault(key, r[3])
    members.setdefault((key, r[5], r[6]), r[8])

expected, names, seen = [], {}, set()
for r in current:
    key = (r[0], r[4])
    if key not in names:
        names[key] = r[3]
        if key not in lists:
            expected.append(["LIST ADDED", r[0], r[4], r[3], "", "", "", ""])
        elif lists[key] != r[3]:
            expected.append(["LIST RENAMED", r[0], r[4], r[3], "", "", lists[key], r[3]])
    member = (key, r[5], r[6])
    if key not in lists or member in seen:
        continue
    seen.add(member)
    if member not in members:
        expected.append(["MEMBER ADDED", r[0], r[4], r[3], r[5], r[6], "", r[8]])
    elif members[member] != r[8]:
        expected.append(["EXTENSION CHANGED", r[0], r[4], r[3], r[5], r[6], members[member], r[8]])
gone = set()
for (key, kind, alias), extension in members.items():
    if key not in names:
        if key not in gone:
            gone.add(key)
            expected.append(["LIST REMOVED", key[0], key[1], lists[key], "", "", "", ""])
    elif (key, kind, alias) not in seen:
        expected.append(["MEMBER REMOVED", key[0], key[1], names[key], kind, alias, extension, ""])

assert header == ["CHANGE", "OWNER_ALIAS", "LIST_ID", "LIST_NAME", "MEMBER_TYPE", "MEMBER_ALIAS", "PREVIOUS",
                  "CURRENT"], header
for i, (got, want) in enumerate(zip(report, expected)):
    assert got == want, (i + 2, got, want)
assert len(report) == len(expected), (len(report), len(expected))
counts = {}
for r in report:
    counts[r[0]] = counts.get(r[0], 0) + 1
print(json.dumps(counts, sort_keys=True))
