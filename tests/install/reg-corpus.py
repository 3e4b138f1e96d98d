#!/usr/bin/env python3
"""Writes registry files of many shapes for the differential test against Wine's regedit.

    reg-corpus.py OUTDIR [COUNT]

Each file NN.reg keeps to its own keys, below HKEY_LOCAL_MACHINE\\SOFTWARE\\TarnwickCorpus\\NN or
HKEY_CURRENT_USER\\Software\\TarnwickCorpus\\NN, so that all of them import into one Wine prefix. The files
hold both headers, UTF-16LE and 8-bit text, every line end, comments wherever the registry editor lets one
stand, long hex lists over several lines, deletions of keys and values, every value type, default values,
escapes, and lines the registry editor drops. Seeded: the same corpus every run.

Left out, because Wine's regedit goes wrong on them (each tried by hand):
- "\\0" in a quoted text, or a backslash ending a line inside one: the rest of the file is not imported;
- blanks after the last comma of a list's last line, when that is not its first line: the value is dropped
  (not so on the first line, nor with a comment after them);
- text-type hex data of an odd length in a UTF-16 file, or none at all before a comment: regedit crashes;
- hex(4) of other than four bytes: exported as dword:, reading four bytes whatever there are;
- non-ASCII text and hex(1), hex(2), hex(7) in an 8-bit 5.00 file: Wine reads them in the code page, we read
  such a file as UTF-8 and its text-type hex as UTF-16LE, as in a UTF-16 file;
- bytes 0x80 to 0x9F in 8-bit files: Wine's code page is 1252, the test's locale ISO-8859-1;
- forms we accept and Wine refuses: a UTF-8 byte-order mark, the header in other letter case or with blanks
  after it, HKLM for HKEY_LOCAL_MACHINE, and a key line without "]" (Wine puts the values after it into the
  key before; we drop them with a warning).
"""
import pathlib
import random
import sys

ROOTS = ["HKEY_LOCAL_MACHINE\\SOFTWARE\\TarnwickCorpus", "HKEY_CURRENT_USER\\Software\\TarnwickCorpus"]
V5, V4 = "Windows Registry Editor Version 5.00", "REGEDIT4"
# Header, encoding, line end.
FORMS = [(V5, "utf-16-le", "\r\n"), (V4, "latin-1", "\r\n"), (V5, "ascii", "\n"), (V4, "latin-1", "\n"),
         (V5, "utf-16-le", "\n"), (V4, "latin-1", "\r"), (V5, "ascii", "\r\n")]
SPECIAL = ' \\";[]=%@,\t'
WIDE = {"utf-16-le": "üßé€жλ中😀", "latin-1": "àéüßñ©°½ÿ", "ascii": ""}
COMMENTS = [" ; comment", ";c", "\t; tab then comment", " ;", " ; [not a key] \"x\"=\"y\""]
DROPPED = ['{n}=dword:00000005\\', '{n}=""%1" %*"', '{n}="a" junk', '{n}=DWORD:00000001', '{n}=hex:01 ,02',
           '{n}=dword:123456789', '{n}=hex(2 ):41,00', '{n}=-x', '{n}=dword:0x5', '{n}="x" # not a comment']


class File:
    def __init__(self, index):
        self.index = index
        self.rng = random.Random(index)
        self.header, self.encoding, self.eol = FORMS[index % len(FORMS)]
        self.root = ROOTS[index % 3 == 2] + "\\%02d" % index
        self.lines = [self.header, ""]
        self.names = 0

    def comment(self):
        return self.rng.choice(COMMENTS) if self.rng.random() < 0.4 else ""

    def text(self, length):
        alphabet = "abcXYZ019" + SPECIAL + "\n\r" + WIDE[self.encoding]
        return "".join(self.rng.choice(alphabet) for _ in range(length))

    def quoted(self, text):
        out = ""
        for ch in text:
            if ch in '\\"':
                out += "\\" + ch
            elif ch in "\n\r":
                out += "\\n" if ch == "\n" else "\\r"
            elif ch in "fqxz" and self.rng.random() < 0.5:
                out += "\\" + ch  # an unknown escape stands for the letter itself
            else:
                out += ch
        return '"' + out + '"'

    def name(self):
        self.names += 1
        if self.rng.random() < 0.1:
            return "@"
        return self.quoted(self.text(self.rng.randint(0, 6)) + "fq#%d" % self.names)

    def hex_lines(self, prefix, data):
        """prefix + the bytes, wrapped as people and editors wrap them."""
        rng, items = self.rng, []
        for b in data:
            items.append(rng.choice(["%02x", "%02X", "%03x"]) % b if rng.random() < 0.2 else "%02x" % b)
        lines, line = [], prefix
        for i, item in enumerate(items):
            line += item + ("," if i + 1 < len(items) or rng.random() < 0.2 else "")
            if i + 1 < len(items) and rng.random() < 0.15:
                lines.append(line + rng.choice(["\\", "\\", " \\", "\\ ; continued", "\\\t;"]))
                if rng.random() < 0.3:
                    lines.append(rng.choice(["", "; between the lines of a list", "  "]))
                line = rng.choice(["  ", "", "\t"])
            elif i + 1 < len(items) and rng.random() < 0.1:
                line += " "
        return lines + [line + self.comment()]

    def text_bytes(self, kind):
        items = [self.text(self.rng.randint(0, 5)) for _ in range(self.rng.randint(1, 3) if kind == 7 else 1)]
        data = "\0".join(items) + ("\0\0" if kind == 7 else "\0")
        if self.rng.random() < 0.15 and len(data) > 1:
            data = data[:-1]  # without its zero: Wine adds one, the test tolerates exactly that
        return data.encode(self.encoding if self.header == V4 else "utf-16-le")

    def value(self, name):
        rng, eq = self.rng, self.rng.choice(["=", "=", " = ", "= ", "\t="])
        shape = rng.choice(["sz", "sz", "dword", "hex", "text", "typed", "delete", "dropped"])
        if shape == "text" and self.header == V5 and self.encoding == "ascii":
            shape = "hex"
        if shape == "sz":
            return [name + eq + self.quoted(self.text(rng.randint(0, 30))) + self.comment()]
        if shape == "dword":
            digits = rng.choice(["%08x", "%08X", "%x", "%X"]) % rng.getrandbits(rng.choice([4, 16, 32]))
            return [name + eq + "dword:" + rng.choice(["", " ", "\t"]) + digits + self.comment()]
        if shape == "hex":
            return self.hex_lines(name + eq + "hex:", rng.randbytes(rng.choice([0, 1, 4, 30, 70])))
        if shape == "text":
            kind = rng.choice([1, 2, 7])
            return self.hex_lines(name + eq + "hex(%d):" % kind, self.text_bytes(kind))
        if shape == "typed":
            kind = rng.choice(["0", "3", "5", "6", "8", "b", "00000004", "100", "ffffffff"])
            size = 4 if kind in ("5", "00000004") else 8 if kind == "b" else rng.randint(0, 12)
            return self.hex_lines(name + eq + "hex(%s):" % kind, rng.randbytes(size))
        if shape == "delete":  # a value, then its removal
            return [name + eq + '"gone"', name + eq + "-" + self.comment()]
        # A line both drop, after a value of the same name that must stay; the line after it stays a line.
        return [name + '="stays"', rng.choice(DROPPED).format(n=name), self.quoted("after%d" % self.names) + '="x"']

    def key(self, path, values):
        lines = ["[" + self.root + path + "]" + self.comment()]
        for _ in range(values):
            if self.rng.random() < 0.15:
                lines.append(self.rng.choice(["", "; a comment line", "  ; indented comment"]))
            lines += [self.rng.choice(["", "  "]) + line for line in self.value(self.name())]
        self.lines += lines + [""]

    def write(self, folder):
        rng = self.rng
        self.key("", rng.randint(3, 8))
        subkeys = ["\\Sub key", "\\odd]name", "\\trail\\", "\\double\\\\sep", "\\" + (WIDE[self.encoding][:3] or "plain")]
        for path in rng.sample(subkeys, 3):
            self.key(path, rng.randint(2, 8))
        # A key with a subkey, deleted whole; sometimes made again.
        self.key("\\Doomed\\Child", 2)
        self.lines.append("[-" + self.root + "\\Doomed]" + self.comment())
        if rng.random() < 0.5:
            self.key("\\Doomed", 1)
        self.lines.append("[-" + self.root + "\\Never there]")
        text = self.eol.join(self.lines) + self.eol
        data = ("\ufeff" + text).encode("utf-16-le") if self.encoding == "utf-16-le" else text.encode(self.encoding)
        (folder / ("%02d.reg" % self.index)).write_bytes(data)


def main():
    folder = pathlib.Path(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 36
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("*.reg"):
        old.unlink()
    for index in range(1, count + 1):
        File(index).write(folder)
    print("reg-corpus: %d files in %s" % (count, folder))


if __name__ == "__main__":
    main()
