#!/usr/bin/env python3
"""zix in real terminal emulators under Xvfb: the terminal is left as found.

Each run starts one terminal emulator on a display of its own, with this
script inside it (--inside). There the script reads the terminal's state
through the terminal's own answers, runs zix as a shell would (the shell's
settings, zix in the foreground), waits for the terminal to digest
everything (it has answered a cursor query sent after the run), and reads
the state again:

  - UTF-8: the character U+00E7 in UTF-8 moves the cursor one column
    (UTF-8) or two (one byte a character);
  - modes: DECRQM for the DEC private and ANSI modes below, where the
    terminal answers it;
  - tab stops: the columns that TAB stops at across the line;
  - title: the names of the display's top-level windows (xwininfo);
  - the shell's input: nothing waiting there once zix has ended.

A run whose state after zix differs from the state before it, or that left
something on the shell's input, is a changed run.

    real_terminals_test.py ZIX                 the test: xterm (UTF-8, zix in
                                               a C locale, 8-bit) and st, each
                                               after zix -c 100000 1 255 and
                                               zix -a
    real_terminals_test.py ZIX --setups S,... --runs N --commands "ARGS|ARGS"
                                               the same for other terminals
                                               and commands, N runs each

Setups: xterm-utf8, xterm-c-locale, xterm-8bit, st, st-c-locale, urxvt, vte
(sakura), screen (in xterm), tmux (in xterm). A setup whose terminal is not
installed is skipped, and the status is 77 when none could run.
"""

import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import time

DEC_MODES = [1, 3, 5, 6, 7, 8, 12, 25, 45, 47, 66, 67, 69, 1000, 1002, 1003, 1004, 1005,
             1006, 1015, 1047, 1048, 1049, 2004]
ANSI_MODES = [2, 4, 12, 20]
UTF8_PROBE = b"\xc3\xa7"
ANSWER_SECONDS = 1.0
CATCH_UP_SECONDS = 120

DEFAULT_SETUPS = ["xterm-utf8", "xterm-c-locale", "xterm-8bit", "st", "st-c-locale"]
DEFAULT_COMMANDS = [["-c", "100000", "1", "255"], ["-a"]]


# ---- inside the terminal ----------------------------------------------------

class Terminal:
    def __init__(self):
        self.fd = os.open("/dev/tty", os.O_RDWR)
        self.shell_modes = termios.tcgetattr(self.fd)

    def raw(self):
        modes = termios.tcgetattr(self.fd)
        modes[3] &= ~(termios.ICANON | termios.ECHO)
        modes[6][termios.VMIN] = 0
        modes[6][termios.VTIME] = 0
        termios.tcsetattr(self.fd, termios.TCSANOW, modes)

    def cooked(self):
        termios.tcsetattr(self.fd, termios.TCSANOW, self.shell_modes)

    def write(self, data):
        while data:
            data = data[os.write(self.fd, data):]

    def catch_up(self):
        """Waits until the terminal has digested everything sent to it: it
        answers in order, so what it sent before its answer to a cursor
        query came from what was written before. Returns that, then what
        comes within a moment more."""
        self.write(b"\x1b[6n")
        got = b""
        deadline = time.monotonic() + CATCH_UP_SECONDS
        while not re.search(rb"\x1b\[\d+;\d+R", got):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                return got + b" (no answer to the cursor query)"
            got += os.read(self.fd, 4096)
        return re.sub(rb"\x1b\[\d+;\d+R", b"", got, count=1) + self.read_pending(0.5)

    def read_pending(self, seconds):
        """Everything the terminal sends within seconds of quiet."""
        got = b""
        while select.select([self.fd], [], [], seconds)[0]:
            chunk = os.read(self.fd, 4096)
            if not chunk:
                break
            got += chunk
        return got

    def ask(self, query, answer):
        """Sends query; the first match of the answer pattern, or None."""
        self.write(query)
        got = b""
        deadline = time.monotonic() + ANSWER_SECONDS
        while True:
            found = re.search(answer, got)
            if found:
                return found
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                return None
            got += os.read(self.fd, 4096)

    def column(self):
        found = self.ask(b"\x1b[6n", rb"\x1b\[(\d+);(\d+)R")
        return int(found.group(2)) if found else None

    def utf8(self):
        self.write(b"\r\x1b[K")
        start = self.column()
        self.write(UTF8_PROBE)
        end = self.column()
        self.write(b"\r\x1b[K")
        if start is None or end is None:
            return "no answer"
        return {1: "UTF-8", 2: "8-bit"}.get(end - start, "moved %d" % (end - start))

    def modes(self):
        found = {}
        for private, numbers in ((True, DEC_MODES), (False, ANSI_MODES)):
            mark = b"?" if private else b""
            for number in numbers:
                answer = self.ask(b"\x1b[" + mark + b"%d$p" % number,
                                  rb"\x1b\[" + re.escape(mark) + rb"%d;(\d+)\$y" % number)
                if answer is None and not found:
                    return "no DECRQM"
                key = ("?" if private else "") + str(number)
                found[key] = answer.group(1).decode() if answer else "no answer"
        return found

    def tab_stops(self):
        self.write(b"\r")
        stops = []
        last = 1
        while True:
            self.write(b"\t")
            column = self.column()
            if column is None or column <= last:
                break
            stops.append(column)
            last = column
        self.write(b"\r\x1b[K")
        return stops

    def state(self):
        self.raw()
        state = {"UTF-8": self.utf8(), "modes": self.modes(), "tab stops": self.tab_stops(),
                 "title": window_names()}
        self.cooked()
        return state


def window_names():
    try:
        tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True,
                              text=True, errors="replace", timeout=10).stdout
    except (OSError, subprocess.TimeoutExpired):
        return "unknown"
    return sorted(set(re.findall(r'^\s+0x[0-9a-f]+ "(.*)":', tree, re.M)))


def inside(result_path, command):
    try:
        check_inside(result_path, command)
    except Exception:  # the driver reports what went wrong in the terminal
        import traceback
        with open(result_path, "w") as out:
            json.dump({"error": traceback.format_exc()}, out)


def check_inside(result_path, command):
    # The driver tells a terminal that never ran the check from one that
    # ended in the middle of it.
    open(result_path + ".started", "w").close()
    terminal = Terminal()
    terminal.raw()
    left_before = terminal.read_pending(0.2)
    terminal.cooked()
    before = terminal.state()
    status = subprocess.run(command).returncode
    terminal.raw()
    typed = terminal.catch_up()
    terminal.cooked()
    after = terminal.state()
    with open(result_path, "w") as out:
        json.dump({"before": before, "after": after, "status": status,
                   "input": typed.hex(" "), "input before": left_before.hex(" ")}, out)


# ---- the driver ------------------------------------------------------------

def find(*names):
    for name in names:
        if shutil.which(name):
            return shutil.which(name)
    return None


def setup_argv(name, work, inner_for):
    """The terminal's environment and its command line, with the check
    inside it that inner_for(zix's environment) gives; None when its
    terminal is not installed."""
    utf8 = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}
    c = {"LANG": "C", "LC_ALL": "C"}
    xterm = find("xterm")
    geometry = ["-geometry", "100x40+0+0"]
    xterm_utf8 = [xterm] + geometry if xterm else None
    st = find("stterm", "st")
    table = {
        "xterm-utf8": (utf8, xterm_utf8, utf8),
        "xterm-c-locale": (utf8, xterm_utf8, c),
        "xterm-8bit": (c, [xterm, "+u8", "-lc"] + geometry if xterm else None, utf8),
        "st": (utf8, [st, "-g", "100x40+0+0"] if st else None, utf8),
        "st-c-locale": (utf8, [st, "-g", "100x40+0+0"] if st else None, c),
        "urxvt": (utf8, [find("urxvt")] + geometry if find("urxvt") else None, utf8),
        "vte": (utf8, [find("sakura"), "-c", "100", "-r", "40"] if find("sakura") else None, utf8),
    }
    screen, tmux = find("screen"), find("tmux")
    table["screen"] = (utf8, xterm_utf8 if screen else None, utf8)
    table["tmux"] = (utf8, xterm_utf8 if tmux else None, utf8)
    terminal_env, argv, zix_env = table[name]
    if argv is None or None in argv:
        return None
    inner = inner_for(zix_env)
    if name == "screen":
        inner = [screen, "-U", "-c", "/dev/null", "-S", "zix-" + str(os.getpid())] + inner
    elif name == "tmux":
        inner = [tmux, "-S", os.path.join(work, "tmux"), "-f", "/dev/null", "new-session"] + \
            [" ".join(shell_quote(word) for word in inner)]
    if name == "vte":
        argv = argv + ["-x", " ".join(shell_quote(word) for word in inner)]
    else:
        argv = argv + ["-e"] + inner
    return terminal_env, argv


def shell_quote(word):
    return "'" + word.replace("'", "'\\''") + "'"


def start_display():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1280x1024x24", "-nolisten", "tcp"], pass_fds=[write_end],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while select.select([read_end], [], [], 30)[0]:
        chunk = os.read(read_end, 16)
        if not chunk or chunk.endswith(b"\n"):
            number += chunk
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        server.kill()
        return None, None
    return server, ":" + number.decode().strip()


def differences(result):
    changed = [key for key in result["before"] if result["before"][key] != result["after"][key]]
    if result["input"]:
        changed.append("input: " + result["input"][:120])
    if result["status"] != 0:
        changed.append("zix's status %d" % result["status"])
    return changed


def run_once(display, work, setup, zix, args):
    """One run; a terminal that could not start the check at all (nothing of
    zix was seen) is started once more."""
    result = run_in_terminal(display, work, setup, zix, args)
    if result is not None and result.get("not started"):
        print("    %s: the terminal did not start the check; once more" % setup)
        result = run_in_terminal(display, work, setup, zix, args)
    return result


def run_in_terminal(display, work, setup, zix, args):
    result_path = os.path.join(work, "result.json")
    for stale in (result_path, result_path + ".started"):
        if os.path.exists(stale):
            os.remove(stale)
    found = setup_argv(setup, work, lambda zix_env: [
        sys.executable, os.path.abspath(__file__), "--inside", result_path, "--", "env"] +
        ["%s=%s" % pair for pair in zix_env.items()] + [zix] + args)
    if found is None:
        return None
    terminal_env, argv = found
    env = dict(os.environ, DISPLAY=display, **terminal_env)
    env.pop("TMUX", None)
    env.pop("STY", None)
    log_path = os.path.join(work, "terminal.log")
    try:
        with open(log_path, "w") as log:
            ended = subprocess.run(argv, env=env, timeout=300, stdout=log, stderr=log, cwd=work)
    except subprocess.TimeoutExpired:
        return {"changed": ["the terminal did not end within 300 s"]}
    if not os.path.exists(result_path):
        with open(log_path, errors="replace") as log:
            said = " ".join(log.read().split())[-300:]
        started = os.path.exists(result_path + ".started")
        return {"not started": not started,
                "changed": ["no result: the terminal (status %d) %s the check: %s" % (
                    ended.returncode, "ended during" if started else "did not start", said)]}
    with open(result_path) as f:
        result = json.load(f)
    if "error" in result:
        return {"changed": ["the check failed in the terminal: " + result["error"]]}
    result["changed"] = differences(result)
    return result


def main(argv):
    if len(argv) > 1 and argv[1] == "--inside":
        inside(argv[2], argv[4:])
        return 0
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    zix = os.path.abspath(argv[1])
    options = dict(zip(argv[2::2], argv[3::2]))
    setups = options.get("--setups", ",".join(DEFAULT_SETUPS)).split(",")
    runs = int(options.get("--runs", "1"))
    commands = [c.split() for c in options["--commands"].split("|")] \
        if "--commands" in options else DEFAULT_COMMANDS
    if not find("Xvfb"):
        print("SKIP: Xvfb is not installed (scripts/setup terminals installs it)")
        return 77
    server, display = start_display()
    if server is None:
        print("SKIP: Xvfb did not start")
        return 77
    passed = failed = ran = 0
    try:
        with tempfile.TemporaryDirectory(prefix="zix-terminals-") as work:
            for setup in setups:
                for args in commands:
                    changed_runs = 0
                    for _ in range(runs):
                        result = run_once(display, work, setup, zix, args)
                        if result is None:
                            break
                        ran += 1
                        if result["changed"]:
                            changed_runs += 1
                            print("    %s, zix %s: %s" % (setup, " ".join(args),
                                                           "; ".join(result["changed"])))
                            print("        before: %s" % json.dumps(result.get("before")))
                            print("        after:  %s" % json.dumps(result.get("after")))
                    if result is None:
                        print("SKIP: %s: its terminal is not installed (scripts/setup terminals)" % setup)
                        break
                    line = "%-16s zix %-20s %d/%d runs changed the terminal" % (
                        setup, " ".join(args), changed_runs, runs)
                    print(line + ("" if changed_runs == 0 else "  FAILED"))
                    if changed_runs:
                        failed += 1
                    else:
                        passed += 1
    finally:
        server.terminate()
        server.wait()
    print("%d passed, %d failed" % (passed, failed))
    if ran == 0:
        return 77
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
