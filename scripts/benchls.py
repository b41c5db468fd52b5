#!/usr/bin/env python3
"""Times zepls's diagnostics after a change of a 5,000-line script.

    benchls.py ZEPLS GENERATOR WORK [CHANGES]

GENERATOR is scripts/benchgen.py, which writes the script (bench.otd with
the stubs it includes) into WORK. The script is opened, then changed
CHANGES times (default 1000), each change breaking or mending one line in
its middle; the time from sending a change to receiving its diagnostics is
measured each time. Prints the median and 90th percentile, and the
server's resident memory after the first tenth of the changes and at the
end. Targets: a median within 50 ms, memory flat.
"""
import json
import os
import statistics
import subprocess
import sys
import time


def framed(message):
    body = json.dumps(dict(message, jsonrpc="2.0")).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


def receive(stream):
    header = b""
    while not header.endswith(b"\r\n\r\n"):
        byte = stream.read(1)
        if not byte:
            raise EOFError("zepls ended")
        header += byte
    length = int(header.split(b":")[1].split(b"\r")[0])
    return json.loads(stream.read(length))


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    zepls, generator, work = (os.path.abspath(argument) for argument in sys.argv[1:4])
    changes = int(sys.argv[4]) if len(sys.argv) > 4 else 1000
    subprocess.run([sys.executable, generator, "0.17", work], check=True)
    path = os.path.join(work, "bench.otd")
    with open(path) as script:
        text = script.read()
    lines = text.split("\n")
    middle = len(lines) // 2
    while not lines[middle].strip().startswith("CALL "):
        middle += 1
    broken = lines[:middle] + [lines[middle].replace(";", "", 1)] + lines[middle + 1:]
    texts = [text, "\n".join(broken)]
    server = subprocess.Popen([zepls], cwd=work, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    uri = "file://" + os.path.realpath(path)

    def send(message):
        server.stdin.write(framed(message))
        server.stdin.flush()

    def diagnostics():
        while True:
            message = receive(server.stdout)
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]

    send({"id": 1, "method": "initialize", "params": {"capabilities": {}}})
    receive(server.stdout)
    send({"method": "textDocument/didOpen", "params": {"textDocument": {"uri": uri, "version": 0, "text": text}}})
    if diagnostics():
        print("zepls bench: the generated script is not clean")
        return 1
    times, early = [], 0
    for change in range(1, changes + 1):
        started = time.perf_counter()
        send({"method": "textDocument/didChange", "params": {"textDocument": {"uri": uri, "version": change},
                                                             "contentChanges": [{"text": texts[change % 2]}]}})
        got = diagnostics()
        times.append((time.perf_counter() - started) * 1000)
        if bool(got) != (change % 2 == 1):
            print(f"zepls bench: change {change} gave {len(got)} diagnostics")
            return 1
        if change == changes // 10:
            early = resident_kb(server.pid)
    late = resident_kb(server.pid)
    send({"id": 2, "method": "shutdown"})
    receive(server.stdout)
    send({"method": "exit"})
    server.wait(timeout=10)
    times.sort()
    median = statistics.median(times)
    print(f"zepls: {len(lines)}-line script, {changes} changes: diagnostics after a change in "
          f"{median:.1f} ms median, {times[int(len(times) * 0.9)]:.1f} ms at the 90th percentile "
          f"(target 50 ms: {'met' if median <= 50 else 'missed'})")
    print(f"zepls: resident memory {early} kB after {changes // 10} changes, {late} kB after {changes} "
          f"({late - early:+d} kB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
