"""The desktop around the program: a real web browser (Chromium or Firefox ESR, as Debian packages
them) and the desktop's D-Bus services (fakes, on private buses)."""

import json
import os
import shutil
import signal
import subprocess
import time

from harness import skip, stop_process, wait_for

# Start-up of a browser on a busy machine with two cores: generous, and still far from the
# scenario's time-out.
START_TIMEOUT = 40

CHROMIUM_FLAGS = [
    "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--disable-gpu", "--disable-dev-shm-usage",
    "--disable-features=Translate,MediaRouter", "--password-store=basic",
    "--window-position=0,0", "--window-size=1000,700",
]

# A fresh Firefox profile asks nothing and shows no page of its own. The tabs in the title bar
# (browser.tabs.inTitlebar) with client-side decorations make it draw its own title bar and ask
# the window manager for none, as it does on GNOME.
FIREFOX_PREFS = {
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "startup.homepage_welcome_url": "",
    "startup.homepage_welcome_url.additional": "",
    "browser.aboutwelcome.enabled": False,
    "trailhead.firstrun.didSeeAboutWelcome": True,
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "app.normandy.enabled": False,
    "app.update.auto": False,
    "extensions.update.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "browser.safebrowsing.downloads.enabled": False,
    "browser.translations.enable": False,
    "browser.tabs.inTitlebar": 1,
}

NAMES = {"chromium": ["chromium"], "firefox": ["firefox-esr", "firefox"]}


class Browser:
    """One browser showing url on the test's X server: a fresh profile and home folder in the
    work folder, nothing that reaches beyond the machine, and its own process group, so that
    it ends with the journey."""

    def __init__(self, kind, xserver, workdir, url):
        executable = next(filter(None, (shutil.which(n) for n in NAMES[kind])), None)
        if not executable:
            skip("%s is not installed (scripts/install-deps)" % kind)
        self.kind = kind
        self.x = xserver
        folder = os.path.join(workdir, kind)
        home = os.path.join(folder, "home")
        profile = os.path.join(folder, "profile")
        os.makedirs(home)
        os.makedirs(profile)
        env = dict(xserver.env, HOME=home)
        if kind == "chromium":
            # Chromium refuses to run as root inside its sandbox; a normal user keeps it.
            sandbox = ["--no-sandbox"] if os.geteuid() == 0 else []
            command = [executable] + sandbox + CHROMIUM_FLAGS + [
                "--user-data-dir=" + profile, url]
        else:
            with open(os.path.join(profile, "user.js"), "w") as f:
                f.write("".join("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v))
                                for k, v in FIREFOX_PREFS.items()))
            env.update(MOZ_GTK_TITLEBAR_DECORATION="client", MOZ_ENABLE_WAYLAND="0")
            command = [executable, "--no-remote", "-profile", profile, url]
        self.log = open(os.path.join(folder, "browser.log"), "w")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(command, env=env, stdout=self.log, stderr=self.log,
                                     stdin=subprocess.DEVNULL, start_new_session=True)

    def wait_page(self, title_pattern):
        """Waits for the browser's window titled with the page; the window's whole title."""
        def look():
            assert self.proc.poll() is None, "%s ended at start (see %s)" % (
                self.kind, self.log.name)
            for window in self.x.run("xdotool", "search", "--onlyvisible", "--name",
                                     title_pattern).stdout.split():
                title = self.x.run("xdotool", "getwindowname", window).stdout.rstrip("\n")
                if title:
                    return window, title
        self.window, title = wait_for(look, START_TIMEOUT, "%s to show the page (see %s)" % (
            self.kind, self.log.name), interval=0.25)
        return title

    def draws_own_title_bar(self):
        """Whether the window asks the window manager for no decorations (_MOTIF_WM_HINTS with
        the decorations flag and none of them), as a browser drawing its own title bar does."""
        out = self.x.run("xprop", "-id", self.window, "_MOTIF_WM_HINTS").stdout
        values = [int(v, 16) for v in out.partition("=")[2].replace(",", " ").split()]
        return len(values) >= 3 and bool(values[0] & 2) and values[2] == 0

    def stop(self):
        """Ends the browser with every process it started (its process group)."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(self.proc.pid, sig)
                self.proc.wait(10)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        # Helpers that outlived the main process (Chromium's zygote, Firefox's content
        # processes) are still in its group: the SIGKILL reached them too.
        self.log.close()


class DesktopBuses:
    """A private session bus and a private "system" bus (two dbus-daemons) with the fake logind
    and notification server (tests/fakedesktop) on them. env points a program at them; state()
    is what the fake services were asked for; click() clicks the last notification."""

    def __init__(self, build, workdir):
        if not shutil.which("dbus-daemon"):
            skip("dbus-daemon is not installed (scripts/install-deps)")
        self.log = open(os.path.join(workdir, "buses.log"), "w")
        self.procs, self.state_file = [], os.path.join(workdir, "desktop.json")
        # No service is started on demand: a keyring daemon activated by the program would ask
        # for a new keyring's password on the test's screen.
        config = os.path.join(workdir, "bus.conf")
        with open(config, "w") as f:
            f.write('<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>'
                    'EXTERNAL</auth><policy context="default"><allow send_destination="*" '
                    'eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>'
                    '</busconfig>\n')
        try:
            self.env = {"DBUS_%s_BUS_ADDRESS" % bus: self._start(
                ["dbus-daemon", "--config-file", config, "--nofork", "--nopidfile",
                 "--print-address"]) for bus in ("SESSION", "SYSTEM")}
            assert self._start([build.fakedesktop, "--session",
                                self.env["DBUS_SESSION_BUS_ADDRESS"], "--system",
                                self.env["DBUS_SYSTEM_BUS_ADDRESS"], "--state",
                                self.state_file]) == "ready"
        except BaseException:
            self.stop()
            raise

    def _start(self, command):
        """Starts a process; the first line it writes (a bus address, "ready")."""
        self.procs.append(subprocess.Popen(command, stdout=subprocess.PIPE, stderr=self.log,
                                           text=True))
        line = self.procs[-1].stdout.readline().strip()
        assert line, "%s did not start (see buses.log)" % command[0]
        return line

    def state(self):
        """{"locks": [{what, who, why, mode, released}], "notifications": [{summary, body,
        icon, image, actions}]}"""
        try:
            with open(self.state_file) as f:
                return json.load(f)
        except (OSError, ValueError):
            return {"locks": [], "notifications": []}

    def click(self):
        self.procs[-1].send_signal(signal.SIGUSR1)

    def stop(self):
        for proc in reversed(self.procs):
            stop_process(proc)
        self.log.close()
