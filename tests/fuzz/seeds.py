#!/usr/bin/env python3
"""Gathers the seed corpora of the fuzz targets from the project's own scripts.

    seeds.py ROOT DEST

ROOT is the repository, DEST a folder that gets one corpus folder per target
(scanner, otd, otc, include, reader, oti, trace, records). The scripts come
from the inputs of the case folders (tests/*/cases/*/input), the examples
and the script texts that the unit tests hand to parseText, translate, write,
parse and scan; the traces from the trace files of the case folders
(tests/*/cases/*/trace), for the records target each with the record files
of an end-to-end case; nothing is kept in the repository twice.
"""
import hashlib
import json
import pathlib
import re
import sys

OTD_ENDINGS = {".otd", ".stb", ".dcl"}
ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "\\": "\\", '"': '"', "'": "'", "?": "?"}


def c_literals(text, start):
    """The adjacent C string literals from start on, joined and unescaped."""
    joined = []
    at = start
    while True:
        while at < len(text) and text[at] in " \t\r\n":
            at += 1
        if at >= len(text) or text[at] != '"':
            break
        at += 1
        while at < len(text) and text[at] != '"':
            if text[at] == "\\" and at + 1 < len(text):
                joined.append(ESCAPES.get(text[at + 1], text[at + 1]))
                at += 2
            else:
                joined.append(text[at])
                at += 1
        at += 1
    return "".join(joined)


def test_scripts(root):
    """(name, text) of every script a parser test writes."""
    calls = re.compile(r'(?:\b(?:parseText|scan|translate)\(|\b(?:write|parse)\("([^"]+)",)')
    for source in sorted((root / "tests").glob("*/*_test.cpp")):
        text = source.read_text(encoding="utf-8", errors="replace")
        for match in calls.finditer(text):
            script = c_literals(text, match.end())
            if script:
                yield match.group(1) or "a.otd", script


def project_scripts(root):
    for path in sorted(root.glob("tests/*/cases/*/input/**/*")) + sorted((root / "examples").glob("*")):
        # Links stand for vanished or unreadable sources in the I/O cases.
        if path.is_file() and not path.is_symlink() and path.suffix.lower() in OTD_ENDINGS | {".otc"}:
            yield path.name, path.read_bytes().decode("latin-1")


def session(name, text):
    """A client's bytes for the reader target: open a script, ask about it,
    change it, shut down. The first byte feeds it whole to a server that
    waits for initialize."""
    uri = "file:///fuzz/" + name
    place = {"textDocument": {"uri": uri}, "position": {"line": 1, "character": 4}}
    messages = [
        {"id": 1, "method": "initialize", "params": {"capabilities": {}}},
        {"method": "textDocument/didOpen", "params": {"textDocument": {"uri": uri, "version": 1, "text": text}}},
        {"id": 2, "method": "textDocument/documentSymbol", "params": {"textDocument": {"uri": uri}}},
        {"id": 3, "method": "textDocument/definition", "params": place},
        {"id": 4, "method": "textDocument/hover", "params": place},
        {"id": 5, "method": "textDocument/completion", "params": place},
        {"method": "textDocument/didChange", "params": {"textDocument": {"uri": uri, "version": 2},
                                                        "contentChanges": [{"text": text[: len(text) // 2]}]}},
        {"id": 6, "method": "shutdown"},
        {"method": "exit"},
    ]
    framed = b""
    for message in messages:
        body = json.dumps(dict(message, jsonrpc="2.0")).encode("utf-8", errors="replace")
        framed += b"Content-Length: %d\r\n\r\n" % len(body) + body
    return b"\0" + framed


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    dest = pathlib.Path(sys.argv[2])
    corpora = {name: dest / name for name in ("scanner", "otd", "otc", "include", "reader", "oti", "trace", "records",
                                             "gcov")}
    for folder in corpora.values():
        folder.mkdir(parents=True, exist_ok=True)

    def keep(corpus, text):
        data = text.encode("latin-1", errors="replace")
        (corpora[corpus] / hashlib.sha1(data).hexdigest()).write_bytes(data)

    for trace in sorted(root.glob("tests/report/cases/*/trace")):
        keep("trace", re.sub(r"@CK:[^@]*@", "1 2", trace.read_text(encoding="utf-8")))
    otd = []
    for name, text in list(project_scripts(root)) + list(test_scripts(root)):
        keep("scanner", text)
        if len(text) < 4000:
            data = session(pathlib.PurePath(name).name, text)
            (corpora["reader"] / hashlib.sha1(data).hexdigest()).write_bytes(data)
        if pathlib.PurePath(name).suffix.lower() == ".otc":
            keep("otc", text)
        else:
            keep("otd", text)
            otd.append(text)
    # The instrumentation files the end-to-end cases expect.
    for path in sorted(root.glob("tests/e2e/cases/*/expected/*.oti")):
        keep("oti", path.read_text(encoding="latin-1"))
    # The include target reads a.otd, then b.otd after the NUL byte: every
    # script is tried as either file.
    for index, text in enumerate(otd):
        keep("include", 'include "b.otd";\n' + text + "\0" + otd[(index + 1) % len(otd)])
        keep("include", otd[(index + 3) % len(otd)] + '\ninclude "b.otd";\n' + "\0" + text)
    # The records target reads a trace, then an .ots and a .tsf file after NUL
    # bytes; the placeholders of the checksum pairs stay as they are.
    records = sorted(root.glob("tests/e2e/cases/*/expected/*.ots"))
    for index, trace in enumerate(sorted(root.glob("tests/*/cases/*/trace"))):
        ots = records[index % len(records)]
        tsf = ots.with_suffix(".tsf")
        if tsf.exists():
            keep("records", trace.read_bytes().decode("latin-1") + "\0" + ots.read_bytes().decode("latin-1") + "\0" +
                 tsf.read_bytes().decode("latin-1"))
    for seed in GCOV_SEEDS:
        keep("gcov", seed)
    return 0


# gcov's JSON, a coverage file and llvm-cov's export (first byte 0, 1, 2), for
# the gcov target.
GCOV_SEEDS = [
    "\0" + json.dumps({"format_version": "1", "current_working_directory": "/b", "files": [
        {"file": "a.cpp", "lines": [{"line_number": 3, "count": 2, "branches": [{"count": 1}, {"count": 0}]}],
         "functions": [{"name": "_Z1fv", "demangled_name": "f()", "start_line": 3, "execution_count": 2}]}]}),
    "\1ZEPCOV 1\nFILE 0 1a 2b\nSNAP B 1\nGCDA 4 /b/a.gcda\nadcg\nDONE\nSNAP E 1\nDONE\n",
    "\2" + json.dumps({"data": [{"files": [{"filename": "/p/m.cpp", "branches": [[4, 9, 4, 10, 1, 1, 0, 0, 4]],
                                            "mcdc_records": [[4, 9, 4, 15, 0, 5, [True, False]]],
                                            "summary": {"lines": {"count": 6, "covered": 5}}}]}]}),
]


if __name__ == "__main__":
    sys.exit(main())
