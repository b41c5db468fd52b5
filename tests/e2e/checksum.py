#!/usr/bin/env python3
"""Checks the running checksum of every pair of record files in a directory
and replaces what varies from run to run by placeholders, so that the files
can be compared with expected ones written by hand.

For each pair NAME##.tsf / NAME##.ots the checksum is computed again from
the records themselves: headers first, then per element its .tsf lines and
then its .ots lines, in the order of element identifiers, which is the order
the elements were written in. The CK and ID records must both carry the
result; they become "CK @CHECKSUM@" and "ID @CHECKSUM@". The DP line must
have the layout of asctime and becomes "DP @DATE@". A pair left with its
headers only, when a later record file could not be created, has no
checksum to check; only its date is replaced.
"""
import re
import sys
from pathlib import Path

MASK = 0xFFFFFFFF
MESSAGE_BASE, TEXT_BASE, STATE_BASE = 1000000, 2000000, 3000000
DATE = re.compile(r"^DP (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                  r"[ 123]\d \d\d:\d\d:\d\d \d{4}$")


def fold(state, data):
    a, b = state
    for byte in data:
        signed = byte - 256 if byte >= 128 else byte
        a = ((a + signed) * 2) & MASK
        b ^= a
    return a, b


def lines_of(path):
    data = path.read_bytes()
    parts = data.split(b"\n")
    assert parts[-1] == b"", f"{path.name}: no final line feed"
    return [part + b"\n" for part in parts[:-1]]


def number(field):
    return int(field.rstrip(b"h;"), 16)


def tsf_owner(line):
    """The element a numbered .tsf line belongs to, or None."""
    fields = line.split(b" ")
    if line.startswith(b"IN \""):
        quoted = line.split(b"\" ", 1)[1]
        return number(quoted.split(b" ", 1)[0])
    if fields[0] == b"MS":
        return number(fields[1]) - MESSAGE_BASE
    if fields[0] == b"TX":
        return number(fields[1]) - TEXT_BASE
    return None


PAIR_NUMBER = re.compile(r"(\d\d+)\.tsf$")
ADD_SOURCE = re.compile(rb"_ZEP_FileIdList\[0x([0-9a-f]+)\] = _zep_add_source_file\(0x([0-9a-f]+), 0x([0-9a-f]+)\);")
CLASS_SUM = re.compile(rb"@CSU@ \n0x([0-9a-f]+) 0x([0-9a-f]+)\n")


def check_generated(directory, pairs, errors):
    for path in sorted(p for p in directory.glob("*.cc") if p.is_file()):
        data = path.read_bytes()

        def source(match):
            index, a, b = (int(group, 16) for group in match.groups())
            if pairs.get(index + 1) != (a, b):
                errors.append(f"{path.name}: file {index + 1} has the pair {a:x} {b:x}, checksum gives {pairs.get(index + 1)}")
            return b"_ZEP_FileIdList[0x%x] = _zep_add_source_file(@CHECKSUM@);" % index
        path.write_bytes(ADD_SOURCE.sub(source, data))
    for path in sorted(directory.glob("*.oti")):
        data = path.read_bytes()

        def class_sum(match):
            pair = tuple(int(group, 16) for group in match.groups())
            if pair not in pairs.values():
                errors.append(f"{path.name}: class checksum {pair} is no file's")
            return b"@CSU@ \n@CHECKSUM@\n"
        path.write_bytes(CLASS_SUM.sub(class_sum, data))


def check_pair(tsf_path, ots_path, errors):
    tsf, ots = lines_of(tsf_path), lines_of(ots_path)
    header_length = 9 if len(tsf) > 1 and tsf[1].startswith(b"SO ") else 7
    if len(tsf) == header_length and len(ots) == 4:
        # Headers only: a later record file could not be created.
        if not DATE.match(ots[3].decode("ascii", "replace").rstrip("\n")):
            errors.append(f"{ots_path.name}: DP line {ots[3]!r}")
        ots_path.write_bytes(b"".join(ots[:3] + [b"DP @DATE@\n"]))
        return None
    tsf_header, tsf_body, tsf_trailer = tsf[:header_length], tsf[header_length:-2], tsf[-2:]
    ots_header, date, ots_body, ots_trailer = ots[:3], ots[3], ots[4:-2], ots[-2:]
    if not DATE.match(date.decode("ascii", "replace").rstrip("\n")):
        errors.append(f"{ots_path.name}: DP line {date!r}")

    records = {}
    pending = []
    for line in tsf_body:
        pending.append(line)
        owner = tsf_owner(line)
        if owner is not None:
            records.setdefault(owner, ([], []))[0].extend(pending)
            pending = []
    if pending:
        errors.append(f"{tsf_path.name}: lines without an element: {pending!r}")
    for line in ots_body:
        fields = line.split(b" ")
        owner = number(fields[1])
        if fields[0] == b"OS":
            owner -= STATE_BASE
        records.setdefault(owner, ([], []))[1].append(line)

    state = (0, 0)
    for line in tsf_header + ots_header:
        state = fold(state, line)
    for owner in sorted(records):
        for line in records[owner][0] + records[owner][1]:
            state = fold(state, line)
    want = (state[0] & 0x7FFFFFFF, state[1] & 0x7FFFFFFF)
    expected_ck = b"CK %xh %xh\n" % want
    expected_id = b"ID %xh %xh\n" % want
    if ots_trailer != [b"\n", expected_ck]:
        errors.append(f"{ots_path.name}: trailer {ots_trailer!r}, checksum gives {expected_ck!r}")
    if tsf_trailer != [expected_id, b"ED\n"]:
        errors.append(f"{tsf_path.name}: trailer {tsf_trailer!r}, checksum gives {expected_id!r}")

    tsf_path.write_bytes(b"".join(tsf[:-2] + [b"ID @CHECKSUM@\n", b"ED\n"]))
    ots_path.write_bytes(b"".join(ots[:3] + [b"DP @DATE@\n"] + ots_body + [b"\n", b"CK @CHECKSUM@\n"]))
    return want


def main():
    directory = Path(sys.argv[1])
    errors = []
    pairs = {}
    # A directory in a record file's place is a case of its own, not a pair.
    for tsf_path in sorted(p for p in directory.glob("*.tsf") if p.is_file()):
        ots_path = tsf_path.with_suffix(".ots")
        if ots_path.is_dir():
            continue
        if not ots_path.exists():
            errors.append(f"{tsf_path.name}: no {ots_path.name}")
            continue
        pair = check_pair(tsf_path, ots_path, errors)
        number = PAIR_NUMBER.search(tsf_path.name)
        if number and pair is not None:
            pairs[int(number.group(1))] = pair
    check_generated(directory, pairs, errors)
    for error in errors:
        print("FAIL:", error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
