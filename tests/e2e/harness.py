"""What an end-to-end journey stands on: the build's executables, a private X server with openbox
(scripts/xserver.sh), the auction simulator with its request log, the real program in folders of
its own and never with the right to set the clock, what its windows show (the window-dump
plugin), a user with mouse and keyboard (xdotool), private D-Bus buses with the fake desktop
services, a real browser, and the packages of scripts/package."""

import configparser
import datetime
import glob
import html
import json
import os
import re
import shutil
import signal
import subprocess
import time
import urllib.parse
import urllib.request
import zoneinfo

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VERSION = "1.3.6"
BERLIN = zoneinfo.ZoneInfo("Europe/Berlin")
ITEM = "1234567890"
TITLE = "Märklin Dampflok BR 01, Spur H0, OVP"
ACCOUNT, PASSWORD, RIVAL = "demo_bieter", "geheim123", "sammler_44"
AMOUNT, AMOUNT_ON_WIRE = "20,00", "20"  # typed as a German user types it
WON = "Sie haben\ndas höchste\nGebot abgegeben."
ITEM_TITLE_LENGTH = 38  # the program takes this many characters of the title as its caption
ENDPOINT_KEYS = ("OfferHost", "ItemHost", "OfferHostDe", "ItemHostDe", "TimeHost", "VendorServer")
CAP_SYS_TIME = 25
APP_ID = "org.example.GebotsfalkePlus"
PORTABLE = "GebotsfalkePlus"  # the portable archive's program folder


def skip(reason):
    """Ends a journey that cannot run on this machine; it counts as skipped."""
    import pytest  # here only: the headless demo runs without it
    pytest.skip(reason)


def wait_for(probe, timeout, what, interval=0.1):
    """Calls probe until it returns something true; that value, or a failure after timeout."""
    end = time.monotonic() + timeout
    while not (value := probe()):
        assert time.monotonic() < end, "timed out after %.0f s waiting for %s" % (timeout, what)
        time.sleep(interval)
    return value


def stop_process(proc, sig=signal.SIGTERM):
    if proc is not None and proc.poll() is None:
        proc.send_signal(sig)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def read_ini(path, section):
    """One group of an INI file (QSettings', a desktop entry's) as a dict, keys as spelt."""
    parser = configparser.ConfigParser(interpolation=None, delimiters=("=",), strict=False)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return dict(parser[section]) if parser.has_section(section) else {}


def berlin_text(epoch):
    return datetime.datetime.fromtimestamp(epoch, BERLIN).strftime("%d.%m.%Y %H:%M:%S")


def end_epoch(title):
    """The end of an auction as Unix seconds, from the item page's title
    "... (endet dd.MM.yy HH:mm:ss MEZ) - ..." (MEZ = UTC+1, MESZ = UTC+2)."""
    m = re.search(r"\(endet (\d\d)\.(\d\d)\.(\d\d) (\d\d):(\d\d):(\d\d) (MESZ|MEZ)\)", title)
    assert m, "no end time in the title %r" % title
    d, mo, y, h, mi, s = (int(g) for g in m.groups()[:6])
    zone = datetime.timezone(datetime.timedelta(hours=2 if m.group(7) == "MESZ" else 1))
    return datetime.datetime(2000 + y, mo, d, h, mi, s, tzinfo=zone).timestamp()


def clock_right(pid="self", sets=("CapEff", "CapPrm", "CapInh", "CapAmb")):
    """Whether a process holds the right to set the clock (CAP_SYS_TIME) in one of the sets."""
    with open("/proc/%s/status" % pid) as f:
        caps = dict(line.split(":") for line in f if line.startswith("Cap"))
    return any(int(caps[k], 16) & (1 << CAP_SYS_TIME) for k in sets)


class Build:
    """The executables of a build folder."""

    def __init__(self, root):
        self.root = os.path.abspath(root)
        self.program = os.path.join(self.root, "src", "gebotsfalkeplus")
        self.sim = os.path.join(self.root, "sim", "auction-sim")
        self.pageview = os.path.join(self.root, "tools", "pageview", "pageview")
        self.plugins = os.path.join(self.root, "tools", "plugins")
        self.doupdate = os.path.join(self.root, "installer", "doupdate")
        self.vendorsign = os.path.join(self.root, "tools", "vendorsign", "vendorsign")
        self.fakedesktop = os.path.join(self.root, "tests", "fakedesktop")
        for path in (self.program, self.sim, self.pageview, self.doupdate, self.vendorsign,
                     os.path.join(self.plugins, "generic", "libgfwindowdump.so")):
            assert os.path.exists(path), "not built: %s" % path


class XServer:
    """A private Xvfb with openbox, started by scripts/xserver.sh as the test scripts start
    theirs; the shell holding them ends both when its input closes (also when this one dies)."""

    def __init__(self, workdir):
        missing = [t for t in ("Xvfb", "openbox", "xdotool", "xprop") if not shutil.which(t)]
        if missing:
            skip("not installed: %s (scripts/install-deps)" % ", ".join(missing))
        # Every client of this server keeps its caches and settings in the work folder.
        self.env = dict(os.environ, **{"XDG_%s_HOME" % kind.upper(): os.path.join(workdir, kind)
                                       for kind in ("cache", "config", "data")})
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        self.shell = subprocess.Popen(
            ["bash", "-c", '. "$0"; gf_start_xserver; echo "${DISPLAY:-}"; read -r _',
             os.path.join(ROOT, "scripts", "xserver.sh")],
            env=self.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.env["DISPLAY"] = self.shell.stdout.readline().strip()
        if self.env["DISPLAY"] == "":
            self.stop()
            skip("no X server could be started")
        wait_for(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
                 .stdout, 15, "openbox to manage the screen")

    def run(self, *args, timeout=15):
        return subprocess.run([str(a) for a in args], env=self.env, capture_output=True,
                              text=True, timeout=timeout)

    def active_window(self):
        out = self.run("xdotool", "getactivewindow").stdout.strip()
        return int(out) if out.isdigit() else None

    def stop(self):
        self.shell.stdin.close()
        self.shell.wait(20)


class Simulator:
    """auction-sim on 127.0.0.1 with its request log in the work folder. It signs updates with
    a key pair made for this run; vendor_key is the public key the program is told to trust."""

    def __init__(self, build, workdir, args):
        self.request_log = os.path.join(workdir, "requests.jsonl")
        key_file = os.path.join(workdir, "vendor.key")
        self.vendor_key = subprocess.run([build.vendorsign, "keygen", key_file], check=True,
                                         capture_output=True, text=True).stdout.strip()
        with open(os.path.join(workdir, "sim.err"), "w") as err:
            self.proc = subprocess.Popen(
                [build.sim, "--port", "0", "--request-log", self.request_log,
                 "--vendor-key", key_file] + list(args), stdout=subprocess.PIPE, stderr=err,
                text=True)
        line = self.proc.stdout.readline()
        match = re.match(r"listening on (\d+)", line)
        if not match:
            self.proc.kill()
        assert match, "auction-sim did not start: %r (see sim.err)" % line
        self.base_url = "http://127.0.0.1:%s" % match.group(1)

    def item_url(self, item):
        return self.base_url + "/ws/eBayISAPI.dll?ViewItem&item=" + item

    def item_page(self, item):
        """The item page's title and its table of facts (price, high bidder, ...)."""
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        with opener.open(self.item_url(item), timeout=10) as reply:
            page = reply.read().decode("cp1252")
        title = re.search(r"<title>(.*?)</title>", page, re.S).group(1)
        facts = re.findall(r"<tr><td>(.*?):</td><td>(.*?)</td></tr>", page)
        return html.unescape(title), {k: html.unescape(v) for k, v in facts}

    def requests(self):
        if not os.path.exists(self.request_log):
            return []
        with open(self.request_log) as f:
            return [json.loads(line) for line in f if line.strip()]

    def bid_requests(self):
        return [r for r in self.requests()
                if r["method"] == "POST" and r["path"] == "/ws/eBayISAPI.dll"]

    def stop(self):
        stop_process(self.proc)


def header(request, name):
    return {k.lower(): v for k, v in request["headers"].items()}.get(name.lower())


def form_fields(body):
    """An application/x-www-form-urlencoded body as a dict (Windows-1252)."""
    return dict(urllib.parse.parse_qsl(body, keep_blank_values=True, encoding="cp1252"))


def lines(text):
    """A shown text with its line breaks as LF (the program joins lines with CR LF)."""
    return text.replace("\r\n", "\n")


class Window:
    """One top-level window as the program shows it: its controls by name, and the unnamed."""

    def __init__(self, data):
        self.data, self.name, self.title, self.id = data, data["name"], data["title"], data["winId"]
        self.controls = {c["name"]: c for c in data["controls"] if c["name"]}
        self.all = [c for c in data["controls"] if not c["name"]] + list(self.controls.values())

    def control(self, name):
        assert name in self.controls, "the window %s has no control %s" % (self.name, name)
        return self.controls[name]

    def text(self, name):
        return lines(self.control(name)["text"])

    def shown(self, name):
        return name in self.controls and self.controls[name]["visible"]

    def label_text(self):
        """What the window's labels say (a message box's text), one per line."""
        return "\n".join(lines(c["text"]) for c in self.all if c["class"] == "QLabel" and c["text"])

    def button(self, text):
        return next(c for c in self.all
                    if c["visible"] and c["text"] == text and "Button" in c["class"])


class Program:
    """GebotsfalkePlus with GEBOTSFALKE_HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR in the work
    folder, German time, endpoints.ini pointing at the simulator and trusting its update key,
    the window-dump plugin loaded, and bus addresses that lead nowhere unless a journey brings
    its own. `name` keeps the files of a second process of the program apart."""

    def __init__(self, build, x, workdir, sim, executable=None, home=None, name="program"):
        self.build, self.x, self.executable = build, x, executable or build.program
        self.home = home or os.path.join(workdir, "home")
        self.home_variable = True  # False: the program finds its folder itself
        self.user_home = None  # its HOME, when given
        self.wayland_session = False  # XWayland with no Qt platform named: it must pick X11
        self.clock_lag = None  # seconds its wall clock runs behind (libfaketime)
        self.config, self.runtime = os.path.join(workdir, "config"), os.path.join(workdir, "run")
        for folder in (self.home, self.config, self.runtime):
            os.makedirs(folder, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        self.dump_file = os.path.join(workdir, name + "-windows.json")
        self.output = os.path.join(workdir, name + ".out")
        nowhere = "unix:path=" + os.path.join(workdir, "no-bus")
        self.buses = {"DBUS_SESSION_BUS_ADDRESS": nowhere, "DBUS_SYSTEM_BUS_ADDRESS": nowhere}
        self.proc = None
        self.extra_env = {}  # further environment (PATH with a stand-in xdg-open)
        with open(os.path.join(self.home, "endpoints.ini"), "w") as f:
            f.write("[Endpoints]\n" + "".join("%s=%s\n" % (k, sim.base_url) for k in ENDPOINT_KEYS)
                    + "VendorKey=%s\n" % sim.vendor_key)

    settings_path = property(lambda self: os.path.join(self.config, "Rotbart eBay-Tools.ini"))
    log_path = property(lambda self: os.path.join(self.home, "gebotsfalke.log"))

    def write_settings(self, values):
        """Settings as a previous run would have left them."""
        fd = os.open(self.settings_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "w") as f:
            f.write("[Gebotsfalke%2B]\n" + "".join("%s=%s\n" % kv for kv in values.items()))

    def settings(self):
        return read_ini(self.settings_path, "Gebotsfalke%2B")

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
        if self.clock_lag is not None:
            # Only the wall clock: Qt's timers keep the real CLOCK_MONOTONIC. Preloaded directly,
            # as the faketime command would stay in between and take the program's signals.
            found = glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1")
            if not found:
                skip("libfaketime is not installed (scripts/install-deps)")
            env.update(LD_PRELOAD=found[0], FAKETIME="%+.3f" % -self.clock_lag,
                       FAKETIME_DONT_FAKE_MONOTONIC="1", LC_NUMERIC="C")
        command = [self.executable]
        if clock_right() or (os.geteuid() == 0 and clock_right(sets=("CapBnd",))):
            command = ["setpriv", "--bounding-set", "-sys_time", "--inh-caps", "-sys_time",
                       "--ambient-caps", "-sys_time", "--"] + command
        if os.path.exists(self.dump_file):
            os.remove(self.dump_file)
        with open(self.output, "a") as out:
            self.proc = subprocess.Popen(command, env=env, stdout=out, stderr=out, cwd=self.home)
        wait_for(lambda: os.path.exists(self.dump_file) or self.proc.poll() is not None, 30,
                 "the program's first window dump (see %s)" % self.output)
        if self.proc.poll() is not None:
            with open(self.output) as f:
                said = f.read()
            if command[0] == "setpriv" and "setpriv:" in said:
                skip("the right to set the clock cannot be dropped here: " + said)
            assert False, "the program ended at start (see %s)" % self.output
        if clock_right(self.proc.pid):
            self.kill()
            skip("the program would hold the right to set the clock; not run")
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

    def windows(self):
        """The visible top-level windows, as they are right now (SIGUSR1 asks for a dump)."""
        assert self.running, "the program is not running"
        before = (self._read_dump() or {}).get("seq", 0)
        self.proc.send_signal(signal.SIGUSR1)
        dump = wait_for(lambda: (lambda d: d if d and d["seq"] > before else None)(
            self._read_dump()), 10, "the window dump", interval=0.02)
        return [Window(w) for w in dump["windows"] if w["visible"]]

    def window(self, name):
        """A visible window by its name, or by its class for nameless ones (message boxes)."""
        return next((w for w in self.windows()
                     if w.name == name or (not w.name and w.data["class"] == name)), None)

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
        assert not text or text.endswith("\r\n"), "the log's last line is not ended by CR LF"
        return [line.split("\t") for line in text.split("\r\n") if line]

    def messages(self):
        return [fields[-1] for fields in self.log()]

    def wait_log(self, message, timeout):
        return wait_for(lambda: message in self.messages(), timeout,
                        "the log line %r" % message, interval=0.2)

    def terminate(self):
        """SIGTERM, which closes the main window like its close button; the exit code."""
        assert self.running, "the program ended before it was closed"
        self.proc.send_signal(signal.SIGTERM)
        try:
            return self.proc.wait(20)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("the program did not end within 20 s of SIGTERM")

    def kill(self):
        stop_process(self.proc, signal.SIGKILL)
