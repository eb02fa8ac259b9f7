#!/usr/bin/env python3
"""zix in real terminal emulators under Xvfb: the terminal is left as found.

Each run starts a terminal emulator with this script inside it (--inside),
which reads the terminal's state through the terminal's own answers, runs
zix as a shell would, waits until the terminal has answered a cursor query
sent after the run (so it has digested everything), and reads the state
again: UTF-8 or not (how far U+00E7 moves the cursor), the DEC and ANSI modes
(DECRQM, where the terminal answers it), the tab stops, the windows' titles
(xwininfo). A run that changed any of them, or left bytes on the shell's
input, changed the terminal.

    real_terminals_test.py ZIX [--setups S,...] [--runs N] [--commands "ARGS|ARGS"]

By default: xterm in UTF-8, with zix in a C locale, and in its 8-bit mode
with zix in a UTF-8 locale; st, and st with zix in a C locale; each after
zix -c 100000 1 255 and zix -a, once. More setups: urxvt, vte (sakura),
screen and tmux (each in xterm). A setup whose terminal is missing is skipped;
the status is 77 when none ran.
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
CURSOR_ANSWER = rb"\x1b\[(\d+);(\d+)R"
DEFAULT_SETUPS = "xterm-utf8,xterm-c-locale,xterm-8bit,st,st-c-locale"
DEFAULT_COMMANDS = "-c 100000 1 255|-a"


# ---- inside the terminal ----------------------------------------------------

class Terminal:
    def __init__(self):
        self.fd = os.open("/dev/tty", os.O_RDWR)
        self.shell_modes = termios.tcgetattr(self.fd)

    def raw(self, on=True):
        modes = termios.tcgetattr(self.fd) if on else self.shell_modes
        if on:
            modes[3] &= ~(termios.ICANON | termios.ECHO)
            modes[6][termios.VMIN], modes[6][termios.VTIME] = 0, 0
        termios.tcsetattr(self.fd, termios.TCSANOW, modes)

    def write(self, data):
        while data:
            data = data[os.write(self.fd, data):]

    def ask(self, query, answer, seconds=1.0):
        """Sends query; what came before the answer and the answer's match
        (None when it did not come within seconds)."""
        self.write(query)
        got, deadline = b"", time.monotonic() + seconds
        while not re.search(answer, got):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                return got, None
            got += os.read(self.fd, 4096)
        found = re.search(answer, got)
        return got[:found.start()], found

    def column(self):
        found = self.ask(b"\x1b[6n", CURSOR_ANSWER)[1]
        return int(found.group(2)) if found else None

    def utf8(self):
        self.write(b"\r\x1b[K")
        start = self.column()
        self.write(b"\xc3\xa7")
        end = self.column()
        self.write(b"\r\x1b[K")
        if start is None or end is None:
            return "no answer"
        return {1: "UTF-8", 2: "8-bit"}.get(end - start, "moved %d" % (end - start))

    def modes(self):
        found = {}
        for mark, numbers in ((b"?", DEC_MODES), (b"", ANSI_MODES)):
            for number in numbers:
                answer = self.ask(b"\x1b[%s%d$p" % (mark, number),
                                  rb"\x1b\[%s%d;(\d+)\$y" % (re.escape(mark), number))[1]
                if answer is None and not found:
                    return "no DECRQM"
                found[mark.decode() + str(number)] = answer.group(1).decode() if answer else None
        return found

    def tab_stops(self):
        self.write(b"\r")
        stops = [1]
        while True:
            self.write(b"\t")
            column = self.column()
            if column is None or column <= stops[-1]:
                break
            stops.append(column)
        self.write(b"\r\x1b[K")
        return stops

    def state(self):
        self.raw()
        titles = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True,
                                text=True, errors="replace").stdout
        state = {"UTF-8": self.utf8(), "modes": self.modes(), "tab stops": self.tab_stops(),
                 "title": sorted(set(re.findall(r'^\s+0x\w+ "(.*)":', titles, re.M)))}
        self.raw(False)
        return state


def inside(result_path, command):
    # The driver tells a terminal that never ran the check from one that
    # ended in the middle of it.
    open(result_path + ".started", "w").close()
    try:
        terminal = Terminal()
        before = terminal.state()
        status = subprocess.run(command).returncode
        terminal.raw()
        # The terminal answers in order: what it sent before its answer to
        # a query made after the run came from what zix wrote.
        typed, answer = terminal.ask(b"\x1b[6n", CURSOR_ANSWER, 120)
        if answer is None:
            typed += b" (no answer to the cursor query)"
        terminal.raw(False)
        result = {"before": before, "after": terminal.state(), "status": status,
                  "input": typed.hex(" ")}
    except Exception:  # the driver reports what went wrong in the terminal
        import traceback
        result = {"error": traceback.format_exc()}
    with open(result_path, "w") as out:
        json.dump(result, out)


# ---- the driver ------------------------------------------------------------

def setup_argv(name, work, inner):
    """The terminal's environment and its command line around inner(zix's
    environment); None when its terminal is not installed."""
    utf8 = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}
    c = {"LANG": "C", "LC_ALL": "C"}
    xterm = ["xterm", "-geometry", "100x40+0+0"]
    st = ["stterm", "-g", "100x40+0+0"]
    terminal_env, argv, zix_env, around = {
        "xterm-utf8": (utf8, xterm, utf8, []),
        "xterm-c-locale": (utf8, xterm, c, []),
        "xterm-8bit": (c, xterm + ["+u8", "-lc"], utf8, []),
        "st": (utf8, st, utf8, []),
        "st-c-locale": (utf8, st, c, []),
        "urxvt": (utf8, ["urxvt", "-geometry", "100x40+0+0"], utf8, []),
        "vte": (utf8, ["sakura", "-c", "100", "-r", "40"], utf8, []),
        "screen": (utf8, xterm, utf8, ["screen", "-U", "-c", "/dev/null", "-S", "zix-%d" % os.getpid()]),
        "tmux": (utf8, xterm, utf8, ["tmux", "-S", os.path.join(work, "tmux"), "-f", "/dev/null",
                                     "new-session"]),
    }[name]
    if not all(shutil.which(tool) for tool in [argv[0]] + around[:1]):
        return None
    command = around + inner(zix_env)
    if name in ("tmux", "vte"):  # they take the command as one shell line
        command = around + [" ".join("'" + w.replace("'", "'\\''") + "'" for w in inner(zix_env))]
    return terminal_env, argv + (["-x"] if name == "vte" else ["-e"]) + command


def start_display():
    """An Xvfb display of its own: the server, and the display's name."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"],
                              pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n") and select.select([read_end], [], [], 30)[0]:
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    return server, ":" + number.decode().strip() if number.strip() else None


def run_in_terminal(display, work, setup, zix, args, tries=2):
    """One run: None when the terminal is missing, else what changed. A
    terminal that never started the check (nothing of zix was seen) gets a
    second try."""
    result_path = os.path.join(work, "result.json")
    for stale in (result_path, result_path + ".started"):
        if os.path.exists(stale):
            os.remove(stale)
    found = setup_argv(setup, work, lambda zix_env: [
        sys.executable, os.path.abspath(__file__), "--inside", result_path, "env"] +
        ["%s=%s" % pair for pair in zix_env.items()] + [zix] + args)
    if found is None:
        return None
    terminal_env, argv = found
    env = {k: v for k, v in os.environ.items() if k not in ("TMUX", "STY")}
    env.update(terminal_env, DISPLAY=display)
    log_path = os.path.join(work, "terminal.log")
    try:
        with open(log_path, "w") as log:
            ended = subprocess.run(argv, env=env, timeout=300, stdout=log, stderr=log, cwd=work)
    except subprocess.TimeoutExpired:
        return ["the terminal did not end within 300 s"]
    if not os.path.exists(result_path):
        started = os.path.exists(result_path + ".started")
        if not started and tries > 1:
            print("    %s: the terminal did not start the check; once more" % setup)
            return run_in_terminal(display, work, setup, zix, args, tries - 1)
        with open(log_path, errors="replace") as log:
            said = " ".join(log.read().split())[-300:]
        return ["no result: the terminal (status %d) %s the check: %s" % (
            ended.returncode, "ended during" if started else "did not start", said)]
    with open(result_path) as f:
        result = json.load(f)
    if "error" in result:
        return ["the check failed in the terminal: " + result["error"]]
    changed = [k for k in result["before"] if result["before"][k] != result["after"][k]]
    changed += ["input: " + result["input"][:120]] if result["input"] else []
    changed += ["zix's status %d" % result["status"]] if result["status"] else []
    if changed:
        changed.append("before: %s; after: %s" % (result["before"], result["after"]))
    return changed


def main(argv):
    if len(argv) > 1 and argv[1] == "--inside":
        inside(argv[2], argv[3:])
        return 0
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    zix = os.path.abspath(argv[1])
    options = dict(zip(argv[2::2], argv[3::2]))
    runs = int(options.get("--runs", "1"))
    if not shutil.which("Xvfb"):
        print("SKIP: Xvfb is not installed (scripts/setup terminals installs it)")
        return 77
    server, display = start_display()
    if display is None:
        print("SKIP: Xvfb did not start")
        return 77
    passed = failed = 0
    try:
        with tempfile.TemporaryDirectory(prefix="zix-terminals-") as work:
            for setup in options.get("--setups", DEFAULT_SETUPS).split(","):
                for args in options.get("--commands", DEFAULT_COMMANDS).split("|"):
                    changed_runs = 0
                    for _ in range(runs):
                        changed = run_in_terminal(display, work, setup, zix, args.split())
                        if changed is None:
                            break
                        if changed:
                            changed_runs += 1
                            print("    %s, zix %s: %s" % (setup, args, "; ".join(changed)))
                    if changed is None:
                        print("SKIP: %s: its terminal is not installed (scripts/setup terminals)"
                              % setup)
                        break
                    print("%-16s zix %-20s %d/%d runs changed the terminal%s" % (
                        setup, args, changed_runs, runs, "  FAILED" if changed_runs else ""))
                    failed += bool(changed_runs)
                    passed += not changed_runs
    finally:
        server.terminate()
        server.wait()
    print("%d passed, %d failed" % (passed, failed))
    if passed + failed == 0:
        return 77
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
