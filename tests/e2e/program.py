"""The real GebotsfalkePlus in a program folder and settings folder of its own, what its windows
show (read through the window-dump plugin), and a user who works it with mouse and keyboard."""

import json
import glob
import os
import signal
import subprocess
import time

from session import Failure, Skip, check, has_sys_time, no_buses, stop_process, wait_for, \
    without_clock_right

SECTION = "Gebotsfalke%2B"  # the section "Gebotsfalke+" as the INI file spells it
SETTINGS_FILE = "Rotbart eBay-Tools.ini"
ENDPOINT_KEYS = ("OfferHost", "ItemHost", "OfferHostDe", "ItemHostDe", "TimeHost", "VendorServer")


def lines(text):
    """A shown text with its line breaks as LF (the program joins lines with CR LF)."""
    return text.replace("\r\n", "\n")


class Window:
    """One top-level window as the program shows it."""

    def __init__(self, data):
        self.data = data
        self.name = data["name"]
        self.title = data["title"]
        self.id = data["winId"]
        self.controls = {c["name"]: c for c in data["controls"] if c["name"]}
        self.unnamed = [c for c in data["controls"] if not c["name"]]

    def control(self, name):
        check(name in self.controls, "the window %s has no control %s" % (self.name, name))
        return self.controls[name]

    def text(self, name):
        return lines(self.control(name)["text"])

    def shown(self, name):
        return name in self.controls and self.controls[name]["visible"]

    def label_text(self):
        """What the window's labels say, named or not (a message box's text), one per line."""
        return "\n".join(lines(c["text"]) for c in self.unnamed + list(self.controls.values())
                         if c["class"] == "QLabel" and c["text"])

    def button(self, text):
        """A visible button (named or not) with this caption."""
        for c in list(self.controls.values()) + self.unnamed:
            if c["visible"] and c["text"] == text and "Button" in c["class"]:
                return c
        raise Failure("no button %r in the window %s" % (text, self.name))


def ini_value(raw):
    """A value as QSettings writes it to an INI file: quoted when needed, with escapes."""
    raw = raw.strip()
    if len(raw) >= 2 and raw[0] == raw[-1] == '"':
        raw = raw[1:-1]
    out, i = [], 0
    simple = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}
    while i < len(raw):
        c = raw[i]
        if c == "\\" and i + 1 < len(raw):
            n = raw[i + 1]
            if n == "x":
                j = i + 2
                while j < len(raw) and j < i + 6 and raw[j] in "0123456789abcdefABCDEF":
                    j += 1
                out.append(chr(int(raw[i + 2:j], 16)))
                i = j
                continue
            out.append(simple.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def lagging_clock(command, lag, env):
    """The command with its wall clock `lag` seconds behind, through Debian's libfaketime.
    Only the wall clock: Qt's timers run on CLOCK_MONOTONIC, which FAKETIME_DONT_FAKE_MONOTONIC
    leaves real (otherwise libfaketime would put the faked wall clock in its place). The
    library is preloaded directly rather than through the faketime command, which would stay
    in between as the parent and take the signals meant for the program."""
    found = glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1")
    if not found:
        raise Skip("libfaketime is not installed (scripts/install-deps installs faketime)")
    env.update(LD_PRELOAD=found[0], FAKETIME="%+.3f" % -lag, FAKETIME_DONT_FAKE_MONOTONIC="1")
    # libfaketime reads the fraction with the program's own number format: keep it the dot.
    env["LC_NUMERIC"] = "C"
    return command


class Program:
    """GebotsfalkePlus with GEBOTSFALKE_HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR in workdir,
    German time (TZ=Europe/Berlin), endpoints.ini pointing at the simulator and trusting its
    update key, and the window-dump plugin loaded. It never holds the right to set the clock."""

    def __init__(self, build, xserver, workdir, sim_url, vendor_key, executable=None, home=None):
        self.build = build
        self.x = xserver
        self.executable = executable or build.program
        self.home = home or os.path.join(workdir, "home")
        # Where the program finds its folder: GEBOTSFALKE_HOME names it, unless a run wants the
        # program to choose it itself; then user_home, when given, is its HOME.
        self.home_variable = True
        self.user_home = None
        # A Wayland desktop with XWayland, where no Qt platform is named: the program must pick
        # X11 itself (there is no Wayland compositor here to fall back from).
        self.wayland_session = False
        self.config = os.path.join(workdir, "config")
        self.runtime = os.path.join(workdir, "run")
        for folder in (self.home, self.config, self.runtime):
            os.makedirs(folder, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        # Seconds the computer's clock runs behind the real one, for the program only (through
        # libfaketime); None: the real clock.
        self.clock_lag = None
        self.dump_file = os.path.join(workdir, "windows.json")
        # The desktop's buses (session and system): none unless a run brings its own.
        self.buses = no_buses(workdir)
        self.output = os.path.join(workdir, "program.out")
        self.proc = None
        self.extra_env = {}  # further environment of a run (PATH with a stand-in xdg-open)
        with open(os.path.join(self.home, "endpoints.ini"), "w") as f:
            f.write("[Endpoints]\n")
            for key in ENDPOINT_KEYS:
                f.write("%s=%s\n" % (key, sim_url))
            f.write("VendorKey=%s\n" % vendor_key)  # updates signed by the simulator

    @property
    def settings_path(self):
        return os.path.join(self.config, SETTINGS_FILE)

    @property
    def log_path(self):
        return os.path.join(self.home, "gebotsfalke.log")

    def write_settings(self, values):
        """Settings as a previous run would have left them."""
        fd = os.open(self.settings_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "w") as f:
            f.write("[%s]\n" % SECTION)
            for key, value in values.items():
                f.write("%s=%s\n" % (key, value))

    def start(self):
        env = dict(self.x.env, TZ="Europe/Berlin", GEBOTSFALKE_HOME=self.home,
                   XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=self.runtime,
                   QT_QPA_PLATFORM="xcb", QT_PLUGIN_PATH=self.build.plugins,
                   QT_QPA_GENERIC_PLUGINS="gfwindowdump:" + self.dump_file, **self.buses)
        env.update(self.extra_env)
        if not self.home_variable:
            del env["GEBOTSFALKE_HOME"]
        if self.wayland_session:
            del env["QT_QPA_PLATFORM"]
            env.update(WAYLAND_DISPLAY="wayland-0", XDG_SESSION_TYPE="wayland")
        if self.user_home:
            env["HOME"] = self.user_home
        if os.path.exists(self.dump_file):
            os.remove(self.dump_file)
        command = [self.executable]
        if self.clock_lag is not None:
            command = lagging_clock(command, self.clock_lag, env)
        out = open(self.output, "a")
        self.proc = subprocess.Popen(without_clock_right(command), env=env,
                                     stdout=out, stderr=out, cwd=self.home)
        out.close()
        wait_for(lambda: os.path.exists(self.dump_file) or self.proc.poll() is not None, 30,
                 "the program's first window dump (see %s; QT_DEBUG_PLUGINS=1 tells whether "
                 "the gfwindowdump plugin loads)" % self.output)
        check(self.proc.poll() is None, "the program ended at start (see %s)" % self.output)
        if has_sys_time(self.proc.pid):
            self.kill()
            raise Skip("the program would hold the right to set the clock; not run")
        self.wait_window("Form1", lambda w: w.id, 20, "the main window")

    @property
    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def _read_dump(self):
        try:
            with open(self.dump_file) as f:
                return json.load(f)
        except (OSError, ValueError):
            return None

    def dump(self):
        """What the windows show right now."""
        check(self.running, "the program is not running")
        before = (self._read_dump() or {}).get("seq", 0)
        self.proc.send_signal(signal.SIGUSR1)
        return wait_for(lambda: (lambda d: d if d and d["seq"] > before else None)(
            self._read_dump()), 10, "the window dump", interval=0.02)

    def windows(self, dump=None):
        """The visible top-level windows, topmost position in the program's list first."""
        dump = dump or self.dump()
        return [Window(w) for w in dump["windows"] if w["visible"]]

    def window(self, name, dump=None):
        """A visible window by its name, or by its class for nameless ones (message boxes)."""
        for w in self.windows(dump):
            if w.name == name or (not w.name and w.data["class"] == name):
                return w
        return None

    def wait_window(self, name, probe=None, timeout=10, what=None):
        """The window once it is shown and probe(window) holds."""
        def look():
            w = self.window(name)
            return w if w and (probe is None or probe(w)) else None
        return wait_for(look, timeout, what or "the window " + name, interval=0.15)

    def log(self):
        """The log's lines as their six fields, decoded from Windows-1252."""
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, "rb") as f:
            text = f.read().decode("cp1252")
        check(not text or text.endswith("\r\n"), "the log's last line is not ended by CR LF")
        return [line.split("\t") for line in text.split("\r\n") if line]

    def messages(self):
        return [fields[-1] for fields in self.log()]

    def wait_log(self, message, timeout):
        return wait_for(lambda: message in self.messages(), timeout,
                        "the log line %r" % message, interval=0.2)

    def terminate(self):
        """SIGTERM, which closes the main window like its close button; the exit code."""
        check(self.running, "the program ended before it was closed")
        self.proc.send_signal(signal.SIGTERM)
        try:
            return self.proc.wait(20)
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure("the program did not end within 20 s of SIGTERM")

    def settings(self):
        """The program's settings section as a dict."""
        values, inside = {}, False
        with open(self.settings_path, encoding="utf-8") as f:
            for raw in f:
                line = raw.rstrip("\n")
                if line.startswith("["):
                    inside = line.strip() == "[%s]" % SECTION
                elif inside and "=" in line:
                    key, value = line.split("=", 1)
                    values[key.strip()] = ini_value(value)
        return values

    def kill(self):
        stop_process(self.proc, signal.SIGKILL)


class User:
    """Mouse and keyboard on the program's windows, through xdotool."""

    def __init__(self, xserver, program):
        self.x = xserver
        self.program = program

    def xdotool(self, *args):
        result = self.x.run("xdotool", *args)
        check(result.returncode == 0, "xdotool %s failed: %s" % (args, result.stderr.strip()))
        return result.stdout

    def activate(self, window):
        self.xdotool("windowactivate", "--sync", window.id)
        time.sleep(0.1)

    def click_control(self, control):
        check(control["visible"], "%s is not visible" % (control["name"] or control["text"]))
        x = control["x"] + control["w"] // 2
        y = control["y"] + control["h"] // 2
        self.move(x, y)
        self.xdotool("click", "1")
        time.sleep(0.1)

    def move(self, x, y):
        # "mousemove --sync" waits for a movement, so it would hang when the mouse is there.
        here = dict(line.split("=") for line in
                    self.xdotool("getmouselocation", "--shell").split())
        if (int(here["X"]), int(here["Y"])) != (x, y):
            self.xdotool("mousemove", "--sync", x, y)
        time.sleep(0.05)

    def rest_mouse(self, window):
        """Moves the mouse onto the window's own background (its margin), as a hand passes
        over it on the way from one control to the next."""
        self.move(window.data["x"] + 3, window.data["y"] + 3)

    def click(self, window_name, control_name):
        """Brings the window to the front and clicks the middle of one of its controls."""
        window = self.program.window(window_name)
        check(window, "the window %s is not shown" % window_name)
        self.activate(window)
        window = self.program.window(window_name)  # where the window manager has put it
        check(window, "the window %s closed" % window_name)
        self.rest_mouse(window)
        self.click_control(window.control(control_name))

    def type(self, text):
        self.xdotool("type", "--delay", "30", text)

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def replace_text(self, window_name, control_name, text):
        """Clicks into a text box, selects all it holds and types the new text over it."""
        self.click(window_name, control_name)
        self.key("ctrl+a")
        self.type(text)
        shown = self.program.window(window_name).control(control_name)
        expected = "*" * len(text) if control_name == "Txt_Pass" else text
        check(shown["text"] == expected, "%s shows %r after typing %r" % (
            control_name, shown["text"], expected))
