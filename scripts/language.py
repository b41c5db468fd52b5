#!/usr/bin/env python3
"""Makes what is derived from the language reference docs/language.md:

  language.py man REFERENCE       the manual page zepprepro-language(7)
  language.py keywords REFERENCE  the reserved words and their summaries,
                                  as C++ initialisers for zepls's hover

Both are written to standard output; man/zepprepro-language.7 and
langserver/keywords.inc hold what they give, and the test docs.derived
fails when either is behind the reference.
"""
import re
import sys

ROW = re.compile(r"^\| `([A-Z ]+)` \| (.*) \|$")


def inline(text):
    """Markdown text as roff text: `code` in bold, backslashes escaped."""
    text = text.replace("\\", "\\e")
    return re.sub(r"`([^`]*)`", r"\\fB\1\\fR", text)


def literal(line):
    line = line.replace("\\", "\\e")
    return "\\&" + line if line.startswith((".", "'")) else line


def manual_page(lines):
    out = ['.TH ZEPPREPRO-LANGUAGE 7 2026-12-09 "zepprepro @PROJECT_VERSION@" "zepprepro Manual"', ".SH NAME",
           "zepprepro-language \\- the OTD and OTC script languages of zepprepro", ".SH DESCRIPTION"]
    at, paragraph = 0, False
    while at < len(lines):
        line = lines[at]
        at += 1
        if line.startswith("# "):
            continue
        if line.startswith("## "):
            out.append(".SH " + inline(line[3:].upper()))
            paragraph = False
        elif line.startswith("### "):
            out.append(".SS " + inline(line[4:]))
            paragraph = False
        elif line.startswith("```") or line.startswith("    "):
            fenced = line.startswith("```")
            block = [] if fenced else [line[4:]]
            while at < len(lines) and (not lines[at].startswith("```") if fenced else lines[at].startswith("    ")):
                block.append(lines[at] if fenced else lines[at][4:])
                at += 1
            at += 1 if fenced else 0
            out += [".PP", ".RS 4", ".nf"] + [literal(code) for code in block] + [".fi", ".RE"]
            paragraph = False
        elif ROW.match(line):
            word, meaning = ROW.match(line).groups()
            out += [".TP", "\\fB" + word + "\\fR", inline(meaning)]
        elif line.startswith("|"):
            continue
        elif line.startswith("- "):
            out += [".IP \\(bu 2", inline(line[2:])]
            paragraph = True
        elif not line.strip():
            paragraph = False
        else:
            if not paragraph and not out[-1].startswith((".SH", ".SS")):
                out.append(".PP")
            out.append(inline(line.strip()))
            paragraph = True
    out += [".SH SEE ALSO", ".BR zepprepro (1),", ".BR zepreport (1),", ".BR zepls (1)"]
    return out


def keywords(lines):
    return ['{"%s", "%s"},' % match.groups() for match in map(ROW.match, lines) if match]


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("man", "keywords"):
        sys.exit(__doc__)
    with open(sys.argv[2]) as source:
        lines = source.read().splitlines()
    print("\n".join(manual_page(lines) if sys.argv[1] == "man" else keywords(lines)))


if __name__ == "__main__":
    main()
