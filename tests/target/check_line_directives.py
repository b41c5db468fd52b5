#!/usr/bin/env python3
"""Checks that every #line directive leading back into a generated file
names the number of the line that follows it, so that compiler messages
about generated code point at the right place.

    check_line_directives.py FILE...       the generated files themselves
    check_line_directives.py --e2e DIR     every DIR/*/expected/*.cc

A directive leads back when the file it names has the checked file's name
(the expected files of the end-to-end cases name a scratch directory)."""
import glob
import os
import re
import sys

DIRECTIVE = re.compile(r'#line (\d+) "((?:[^"\\]|\\.)*)"$')


def unescape(text):
    return re.sub(r'\\(.)', r'\1', text)


def check(path):
    """Returns the problems of one file and how many back directives it has."""
    problems, back = [], 0
    name = os.path.basename(path)
    with open(path, encoding='utf-8', errors='surrogateescape') as stream:
        lines = stream.read().split('\n')
    for number, line in enumerate(lines, start=1):
        found = DIRECTIVE.match(line)
        if not found or os.path.basename(unescape(found.group(2))) != name:
            continue
        back += 1
        if int(found.group(1)) != number + 1:
            problems.append(f'{path}:{number}: #line {found.group(1)} is followed by line {number + 1}')
    return problems, back


def main(arguments):
    if arguments[:1] == ['--e2e'] and len(arguments) == 2:
        files = sorted(glob.glob(os.path.join(arguments[1], '*', 'expected', '*.cc')))
        if not files:
            print(f'no generated files under {arguments[1]}')
            return 1
    elif arguments and not arguments[0].startswith('--'):
        files = arguments
    else:
        print(__doc__)
        return 2
    problems, back = [], 0
    for path in files:
        found, count = check(path)
        problems += found
        back += count
    for problem in problems:
        print(problem)
    # The expected files of the end-to-end cases are mostly written with
    # directives; finding none means this check looks at the wrong thing.
    if arguments[0] == '--e2e' and back == 0:
        print(f'no #line directive leads back into any of {len(files)} files')
        return 1
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
