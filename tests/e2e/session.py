"""The ground an end-to-end run of GebotsfalkePlus stands on: the build's executables, a
private X server with openbox, the auction simulator and its request log, and the means to run
the program without the right to set the system clock (no run ever changes it)."""

import datetime
import html
import json
import os
import re
import select
import shutil
import signal
import subprocess
import time
import urllib.parse
import urllib.request

CAP_SYS_TIME = 25
SKIP = 77  # CTest's skip code for these tests


class Skip(Exception):
    """The run cannot take place on this machine (said why)."""


class Failure(AssertionError):
    """The program did not behave as a user expects."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def say(text):
    print(text, flush=True)


def wait_for(probe, timeout, what, interval=0.1):
    """Calls probe until it returns something true; that value, or Failure after timeout."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


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
        plugin = os.path.join(self.plugins, "generic", "libgfwindowdump.so")
        for path in (self.program, self.sim, self.pageview, plugin, self.doupdate,
                     self.vendorsign):
            if not os.path.exists(path):
                raise Failure("not built: %s" % path)


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


# ---- capabilities -------------------------------------------------------------------------------

def capabilities(pid="self"):
    """The capability sets of a process: {'CapEff': int, ...}."""
    caps = {}
    with open("/proc/%s/status" % pid) as f:
        for line in f:
            if line.startswith("Cap"):
                name, value = line.split(":")
                caps[name] = int(value, 16)
    return caps


def has_sys_time(pid="self"):
    caps = capabilities(pid)
    bit = 1 << CAP_SYS_TIME
    return any(caps.get(k, 0) & bit for k in ("CapEff", "CapPrm", "CapInh", "CapAmb"))


def without_clock_right(command):
    """The command, run so that it can never set the system clock."""
    bounded = capabilities().get("CapBnd", 0) & (1 << CAP_SYS_TIME)
    if not has_sys_time() and (os.geteuid() != 0 or not bounded):
        return command  # neither held nor obtainable (the executables carry no file rights)
    drop = [shutil.which("setpriv") or "setpriv", "--bounding-set", "-sys_time",
            "--inh-caps", "-sys_time", "--ambient-caps", "-sys_time", "--"]
    # setpriv may report success without having dropped anything (no CAP_SETPCAP): look.
    reason = "setpriv left it in place"
    try:
        trial = subprocess.run(drop + ["cat", "/proc/self/status"], capture_output=True,
                               text=True, timeout=10)
        kept = trial.returncode != 0 or any(
            int(line.split(":")[1], 16) & (1 << CAP_SYS_TIME)
            for line in trial.stdout.splitlines() if line.startswith("Cap"))
        if trial.returncode != 0:
            reason = trial.stderr.strip()
    except (OSError, subprocess.TimeoutExpired) as e:
        kept, reason = True, str(e)
    if kept:
        raise Skip("the right to set the clock (CAP_SYS_TIME) cannot be dropped here: " + reason)
    return drop + command


def kill_leftovers(folder):
    """Ends, by process id, every process whose executable lies inside folder: programs that a
    run started detached (the installer and what it starts) and that outlived it."""
    inside = os.path.realpath(folder) + os.sep
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/exe" % pid).startswith(inside):
                os.kill(int(pid), signal.SIGKILL)
        except OSError:
            pass


# ---- X server -----------------------------------------------------------------------------------

class XServer:
    """A private Xvfb (it picks a free display itself) with openbox as window manager."""

    ATTEMPTS = 3

    def __init__(self, workdir):
        self.log = open(os.path.join(workdir, "x.log"), "w")
        missing = [t for t in ("Xvfb", "openbox", "xdotool", "xprop") if not shutil.which(t)]
        if missing:
            raise Skip("not installed: %s (scripts/install-deps installs them)"
                       % ", ".join(missing))
        self.xvfb = self.openbox = None
        # Every client of this server (openbox, the viewer, the program) keeps its caches and
        # settings in the work folder.
        self.base_env = dict(os.environ, **{"XDG_%s_HOME" % kind.upper():
                                            os.path.join(workdir, kind)
                                            for kind in ("cache", "config", "data")})
        self.base_env.pop("WAYLAND_DISPLAY", None)
        # A server that another one, started at the same moment elsewhere on the machine, has
        # crossed is not worth waiting for: start afresh.
        for attempt in range(1, self.ATTEMPTS + 1):
            if self._start():
                return
            self.log.write("attempt %d failed: Xvfb %s, openbox %s\n" % (
                attempt, self.xvfb.poll(), self.openbox and self.openbox.poll()))
            self.log.flush()
            self.stop(close_log=False)
        self.log.close()
        raise Skip("no X server with a window manager could be started (see %s)"
                   % self.log.name)

    def _start(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], pass_fds=(write_end,), stdout=self.log, stderr=self.log)
        os.close(write_end)
        number = b""
        end = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < end:
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip():
            return False
        self.display = ":" + number.decode().strip()
        self.env = dict(self.base_env, DISPLAY=self.display)
        self.openbox = subprocess.Popen(["openbox"], env=self.env, stdout=self.log,
                                        stderr=self.log)
        end = time.monotonic() + 15
        while time.monotonic() < end:
            if self._wm_ready():
                return True
            if self.openbox.poll() is not None or self.xvfb.poll() is not None:
                return False
            time.sleep(0.1)
        return False

    def _wm_ready(self):
        out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                             capture_output=True, text=True).stdout
        return "window id" in out

    def run(self, *args, timeout=15):
        try:
            return subprocess.run([str(a) for a in args], env=self.env, capture_output=True,
                                  text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("%s did not finish within %d s" % (" ".join(map(str, args)), timeout))

    def screenshot(self, path, window_id=None):
        """A PNG of one window with its frame, or of the whole screen."""
        args = ["import", "-window", "root", path]
        if window_id:
            args = ["import", "-frame", "-window", str(window_id), path]
        result = self.run(*args, timeout=30)
        return path if result.returncode == 0 else None

    def stop(self, close_log=True):
        for proc in (self.openbox, self.xvfb):
            stop_process(proc)
        if close_log:
            self.log.close()


def stop_process(proc, sig=signal.SIGTERM, timeout=10):
    if proc is None or proc.poll() is not None:
        return
    proc.send_signal(sig)
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


# ---- desktop buses ------------------------------------------------------------------------------

class DesktopBuses:
    """A private session bus and a private "system" bus (two dbus-daemons), with the fake
    logind and notification server (tests/fakedesktop) on them unless services is False. env
    points a program at them; state() is what the fake services were asked for."""

    def __init__(self, build, workdir, services=True):
        if not shutil.which("dbus-daemon"):
            raise Skip("dbus-daemon is not installed (scripts/install-deps installs it)")
        self.log = open(os.path.join(workdir, "buses.log"), "w")
        self.daemons, self.fake = [], None
        self.state_file = os.path.join(workdir, "desktop.json")
        try:
            session, system = self._daemon(), self._daemon()
            self.env = {"DBUS_SESSION_BUS_ADDRESS": session, "DBUS_SYSTEM_BUS_ADDRESS": system}
            if services:
                fake = os.path.join(build.root, "tests", "fakedesktop")
                check(os.path.exists(fake), "not built: %s" % fake)
                self.fake = subprocess.Popen(
                    [fake, "--session", session, "--system", system, "--state", self.state_file],
                    stdout=subprocess.PIPE, stderr=self.log, text=True)
                check(self.fake.stdout.readline().strip() == "ready",
                      "the fake desktop services did not start (see %s)" % self.log.name)
        except BaseException:
            self.stop()
            raise

    def _daemon(self):
        # No service is started on demand: a keyring daemon activated by the program would ask
        # for a new keyring's password on the test's screen.
        config = os.path.join(os.path.dirname(self.state_file), "bus.conf")
        with open(config, "w") as f:
            f.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                    "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\""
                    " eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                    "</policy></busconfig>\n")
        proc = subprocess.Popen(["dbus-daemon", "--config-file", config, "--nofork",
                                 "--nopidfile", "--print-address"], stdout=subprocess.PIPE,
                                stderr=self.log, text=True)
        self.daemons.append(proc)
        address = proc.stdout.readline().strip()
        check(address, "dbus-daemon did not start (see %s)" % self.log.name)
        return address

    def state(self):
        """{"locks": [{what, who, why, mode, released}], "notifications": [{summary, body,
        icon, image, ...}]}"""
        try:
            with open(self.state_file) as f:
                return json.load(f)
        except (OSError, ValueError):
            return {"locks": [], "notifications": []}

    def click(self):
        """The user clicks the last notification."""
        self.fake.send_signal(signal.SIGUSR1)

    def stop(self):
        for proc in [self.fake] + self.daemons:
            stop_process(proc)
        self.log.close()


def no_buses(workdir):
    """Bus addresses that lead nowhere: a program run without a desktop's services (and never
    one of the machine's)."""
    nowhere = "unix:path=" + os.path.join(workdir, "no-bus")
    return {"DBUS_SESSION_BUS_ADDRESS": nowhere, "DBUS_SYSTEM_BUS_ADDRESS": nowhere}


# ---- simulator ----------------------------------------------------------------------------------

_no_proxy = urllib.request.build_opener(urllib.request.ProxyHandler({}))


class Simulator:
    """auction-sim on 127.0.0.1 with its request log in the work folder. It signs updates with
    a key pair made for this run in the work folder; vendor_key is its public key (base64),
    which the program is told to trust."""

    def __init__(self, build, workdir, args):
        self.request_log = os.path.join(workdir, "requests.jsonl")
        key_file = os.path.join(workdir, "vendor.key")
        self.vendor_key = subprocess.run([build.vendorsign, "keygen", key_file], check=True,
                                         capture_output=True, text=True).stdout.strip()
        self.stderr = open(os.path.join(workdir, "sim.err"), "w")
        self.proc = subprocess.Popen(
            [build.sim, "--port", "0", "--request-log", self.request_log,
             "--vendor-key", key_file] + list(args),
            stdout=subprocess.PIPE, stderr=self.stderr, text=True)
        line = self.proc.stdout.readline()
        match = re.match(r"listening on (\d+)", line)
        if not match:
            self.proc.kill()
            raise Failure("auction-sim did not start: %r (see %s)" % (line, self.stderr.name))
        self.port = int(match.group(1))
        self.base_url = "http://127.0.0.1:%d" % self.port

    def item_url(self, item):
        return self.base_url + "/ws/eBayISAPI.dll?ViewItem&item=" + item

    def fetch(self, path):
        with _no_proxy.open(self.base_url + path, timeout=10) as reply:
            return reply.read().decode("cp1252")

    def item_page(self, item):
        """The item page as text: its title and its table of facts (price, high bidder, ...)."""
        page = self.fetch("/ws/eBayISAPI.dll?ViewItem&item=" + item)
        title = re.search(r"<title>(.*?)</title>", page, re.S).group(1)
        facts = dict(re.findall(r"<tr><td>(.*?):</td><td>(.*?)</td></tr>", page))
        return unescape(title), {k: unescape(v) for k, v in facts.items()}

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
        self.stderr.close()


def unescape(text):
    return html.unescape(text)


def end_epoch(title):
    """The end of an auction as Unix seconds, from the item page's title
    "... (endet dd.MM.yy HH:mm:ss MEZ) - ..." (MEZ = UTC+1, MESZ = UTC+2)."""
    m = re.search(r"\(endet (\d\d)\.(\d\d)\.(\d\d) (\d\d):(\d\d):(\d\d) (MESZ|MEZ)\)", title)
    check(m, "no end time in the title %r" % title)
    d, mo, y, h, mi, s = (int(g) for g in m.groups()[:6])
    first = datetime.date.today().year - 50  # the year nearest to today: 50 back to 49 ahead
    year = first + (y - first) % 100
    zone = datetime.timezone(datetime.timedelta(hours=2 if m.group(7) == "MESZ" else 1))
    return int(datetime.datetime(year, mo, d, h, mi, s, tzinfo=zone).timestamp())


def form_fields(body):
    """An application/x-www-form-urlencoded body as a dict (Windows-1252)."""
    return dict(urllib.parse.parse_qsl(body, keep_blank_values=True, encoding="cp1252"))
