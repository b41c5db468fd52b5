#!/usr/bin/env python3
"""Drives zepls over pipes as an editor does, and checks its answers against
zepprepro's own messages on the same files.

usage: client_test.py ZEPLS ZEPPREPRO
"""
import json
import os
import re
import subprocess
import sys
import tempfile

BASE = """TEST CLASS Base (who)
{
   PROC greet (name)
   {
      PRINT ("hello", name);
   }
   TEST CASE Hello
   {
      CALL greet (who);
   }
   RUN { Hello; }
}

STUB approve : bool approve(int x)
{
   #return true;
}
"""

MENDED = """INCLUDE "base.otd";

TEST CLASS Derived (who) : Base (who)
{
   TEST CASE Twice
   {
      CALL greet (who);
      CHECK STUB approve
      {
         CHECK (x == 1);
      }
      CHECK STUB deny;
   }
   RUN { Hello; Twice; }
}

RUN { Derived ("Ada"); }
INCLUDE "more.stb";
"""

MORE = """STUB deny : bool deny(int x)
{
   #return false;
}
"""

# A CALL without its ';', and the errors that follow from it.
BROKEN = MENDED.replace("CALL greet (who);", "CALL greet (who)")

# An included file with an error of its own: its message belongs to it.
USES_BAD = 'INCLUDE "bad.otd";\n'
BAD = "TEST SUITE S\n{\n   TEST CASE c { PRINT (1) }\n}\n"

CONTRACTS = """CLASS Lift : public Device
{
   WRAP int move(int to_floor) REQUIRE (to_floor >= 0)
   INVARIANT (floor() < 100);
   STATE Idle { (speed == 0) }
}
SINGLE CLASS Door
{
   STATE Open { (is_open) }
}
"""

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


class Client:
    def __init__(self, command, directory):
        self.process = subprocess.Popen([command], cwd=directory, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        env={"PATH": os.environ["PATH"], "LANG": "C"})
        self.next_id = 0
        self.notifications = []

    def write(self, raw):
        self.process.stdin.write(raw)
        self.process.stdin.flush()

    def send(self, message):
        body = json.dumps(dict(message, jsonrpc="2.0")).encode()
        self.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def receive(self):
        header = b""
        while not header.endswith(b"\r\n\r\n"):
            byte = self.process.stdout.read(1)
            if not byte:
                raise EOFError("zepls closed its output")
            header += byte
        length = int(re.search(rb"Content-Length: *(\d+)", header).group(1))
        return json.loads(self.process.stdout.read(length))

    def reply(self):
        """The next message that is no notification."""
        while True:
            message = self.receive()
            if "method" not in message:
                return message
            self.notifications.append(message)

    def request(self, method, params=None):
        self.next_id += 1
        self.send({"id": self.next_id, "method": method, "params": params or {}})
        while True:
            message = self.receive()
            if message.get("id") == self.next_id and "method" not in message:
                return message
            self.notifications.append(message)

    def diagnostics(self, uri):
        """The latest diagnostics published for uri, waiting for them."""
        while True:
            for message in reversed(self.notifications):
                if message["params"]["uri"] == uri:
                    self.notifications = []
                    return message["params"]["diagnostics"]
            self.notifications.append(self.receive())

    def notify(self, method, params):
        self.send({"method": method, "params": params})


def translator_messages(zepprepro, directory, script):
    """(file, line, text) of each message zepprepro prints for script."""
    os.makedirs(os.path.join(directory, "lib", "locale"), exist_ok=True)
    run = subprocess.run([zepprepro, "-G", "C++", "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.tdf", script],
                         cwd=directory, capture_output=True, text=True,
                         env={"PATH": os.environ["PATH"], "LANG": "C", "PROBAXDIR": directory})
    found = []
    for line in run.stderr.splitlines():
        match = re.match(r"zepprepro - [a-z ]+: (\S+?):(\d+): (.*)$", line)
        if match:
            found.append((os.path.normpath(match.group(1)), int(match.group(2)), match.group(3)))
    return found


def as_messages(diagnostics, name):
    return [(name, d["range"]["start"]["line"] + 1, d["message"]) for d in diagnostics]


def position(text, line, word):
    return {"line": line, "character": text.splitlines()[line].index(word) + 1}


def main():
    zepls, zepprepro = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    directory = os.path.realpath(tempfile.mkdtemp())
    files = {"base.otd": BASE, "main.otd": BROKEN, "uses.otd": USES_BAD, "bad.otd": BAD, "more.stb": MORE}
    for name, text in files.items():
        with open(os.path.join(directory, name), "w") as out:
            out.write(text)
    uri = lambda name: "file://" + os.path.join(directory, name)
    main_uri, doc = uri("main.otd"), {"uri": uri("main.otd")}
    client = Client(zepls, directory)

    check(client.request("textDocument/hover", {})["error"]["code"] == -32002, "a request before initialize")
    result = client.request("initialize", {"processId": None, "rootUri": uri(""), "capabilities": {}})["result"]
    check(result["capabilities"]["textDocumentSync"]["change"] == 1, "full document sync")
    client.notify("initialized", {})

    # The unsaved text is checked, not the file: the disk holds the mended one.
    client.notify("textDocument/didOpen", {"textDocument": dict(doc, languageId="otd", version=1, text=BROKEN)})
    expected = translator_messages(zepprepro, directory, "main.otd")
    with open(os.path.join(directory, "main.otd"), "w") as out:
        out.write(MENDED)
    got = as_messages(client.diagnostics(main_uri), "main.otd")
    check(expected and got == expected, f"diagnostics {got} against zepprepro's {expected}")

    # Without resolution, a name leads to the first element of its kind so named.
    answer = client.request("textDocument/definition", {"textDocument": doc, "position": position(BROKEN, 2, "Base")})
    check((answer.get("result") or {}).get("uri") == uri("base.otd"), f"definition in a broken script: {answer}")

    client.notify("textDocument/didChange", {"textDocument": dict(doc, version=2), "contentChanges": [{"text": MENDED}]})
    check(client.diagnostics(main_uri) == [], "the mended text has no diagnostics")

    symbols = client.request("textDocument/documentSymbol", {"textDocument": doc})["result"]
    check([(s["name"], s["detail"]) for s in symbols] == [("Derived", "TEST CLASS")], f"top symbols {symbols}")
    check([c["name"] for c in symbols[0].get("children", [])] == ["Twice"], "TEST CASE under its TEST CLASS")

    # Each name that refers to an element of base.otd leads there.
    for line, word, target_line, file in [(2, "Base", 0, "base.otd"), (7, "approve", 13, "base.otd"),
                                          (6, "greet", 2, "base.otd"), (13, "Hello", 6, "base.otd"),
                                          (11, "deny", 0, "more.stb")]:
        answer = client.request("textDocument/definition", {"textDocument": doc, "position": position(MENDED, line, word)})
        target = answer.get("result") or {}
        check(target.get("uri") == uri(file) and target["range"]["start"]["line"] == target_line,
              f"definition of {word}: {answer}")
    include = client.request("textDocument/definition", {"textDocument": doc, "position": {"line": 0, "character": 12}})
    check((include.get("result") or {}).get("uri") == uri("base.otd"), f"definition of the include: {include}")
    hover = client.request("textDocument/hover", {"textDocument": doc, "position": position(MENDED, 6, "greet")})
    value = ((hover.get("result") or {}).get("contents") or {}).get("value", "")
    check("PROC" in value and "greet" in value and "base.otd:3" in value, f"hover on greet: {hover}")
    # A reserved word: its summary from the language reference.
    for line, word, summary in [(4, "CASE", "**TEST CASE** the unit that runs its statements and passes or fails"),
                                (7, "STUB", "**CHECK STUB** passes when its TEST CASE or PROC calls the STUB named; "
                                            "its checks run in the stub")]:
        hover = client.request("textDocument/hover", {"textDocument": doc, "position": position(MENDED, line, word)})
        check(((hover.get("result") or {}).get("contents") or {}).get("value") == summary, f"hover on {word}: {hover}")

    labels = lambda at: [i["label"] for i in client.request("textDocument/completion", {"textDocument": doc, "position": at})["result"]]
    check("CHECK STUB" in labels({"line": 9, "character": 6}) and "TEST CLASS" not in labels({"line": 9, "character": 6}),
          "completion in a TEST CASE")
    check("TEST CASE" in labels({"line": 3, "character": 1}), "completion in a TEST CLASS")
    check("INCLUDE" not in labels({"line": 1, "character": 0}) and "include" in labels({"line": 1, "character": 0}),
          "completion at the top level")

    lift = {"uri": uri("lift.otc")}
    client.notify("textDocument/didOpen", {"textDocument": dict(lift, languageId="otc", version=1, text=CONTRACTS)})
    check(client.diagnostics(lift["uri"]) == [], "a clean OTC script")
    tree = lambda symbols: [(s["detail"], tree(s.get("children", []))) for s in symbols]
    got = tree(client.request("textDocument/documentSymbol", {"textDocument": lift})["result"])
    check(got == [("CLASS", [("WRAP", []), ("INVARIANT", []), ("UMLSTATE", [])]), ("SINGLE CLASS", [("UMLSTATE", [])])],
          f"OTC symbols {got}")

    # An included file's message goes to that file.
    client.notify("textDocument/didOpen", {"textDocument": {"uri": uri("uses.otd"), "languageId": "otd", "version": 1,
                                                            "text": USES_BAD}})
    got = as_messages(client.diagnostics(uri("bad.otd")), "bad.otd")
    check(got and got == translator_messages(zepprepro, directory, "uses.otd"), f"included file's diagnostics {got}")

    # Bad input: answered with the protocol's errors, and the server goes on.
    client.write(b"Content-Length: 5\r\n\r\n{oops")
    check(client.reply()["error"]["code"] == -32700, "invalid JSON")
    client.write(b"Content-Type: nothing\r\n\r\n")
    check(client.request("textDocument/definition", {"textDocument": doc, "position": "here"})["error"]["code"] == -32602,
          "wrong parameter types")
    check(client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri("none.otd")}})["error"]["code"]
          == -32602, "an unknown document")
    check(client.request("workspace/unknown", {})["error"]["code"] == -32601, "an unknown method")
    # A request and its cancellation in one batch.
    cancel = json.dumps({"jsonrpc": "2.0", "method": "$/cancelRequest", "params": {"id": 99}}).encode()
    hover = json.dumps({"jsonrpc": "2.0", "id": 99, "method": "textDocument/hover",
                        "params": {"textDocument": doc, "position": {"line": 0, "character": 0}}}).encode()
    client.write(b"".join(b"Content-Length: %d\r\n\r\n%s" % (len(b), b) for b in (hover, cancel)))
    check(client.reply()["error"]["code"] == -32800, "a cancelled request")

    client.send({"id": 500, "method": "shutdown", "params": None})
    check(client.reply()["result"] is None, "shutdown with null params")
    check(client.request("textDocument/documentSymbol", {"textDocument": doc})["error"]["code"] == -32600,
          "a request after shutdown")
    client.send({"method": "exit", "params": None})
    check(client.process.wait(timeout=10) == 0, "exit after shutdown ends with status 0")
    alone = Client(zepls, directory)
    alone.send({"method": "exit"})
    check(alone.process.wait(timeout=10) == 1, "exit without shutdown ends with status 1")
    print("langserver client:", "FAILED" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
