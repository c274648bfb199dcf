"""A real web browser (Chromium or Firefox ESR, as Debian packages them) showing a page of the
simulator on the test's X server: a fresh profile and home folder in the work folder, nothing
that reaches beyond the machine, and its own process group, so that it ends with the run."""

import os
import shutil
import signal
import subprocess
import time

from session import Failure, Skip, check, wait_for

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


def _user_js(prefs):
    def value(v):
        if isinstance(v, bool):
            return "true" if v else "false"
        if isinstance(v, int):
            return str(v)
        return '"%s"' % v
    return "".join('user_pref("%s", %s);\n' % (k, value(v)) for k, v in prefs.items())


class Browser:
    """One browser instance showing url; its window's title once it carries the page's."""

    def __init__(self, kind, xserver, workdir, url):
        executable = next(filter(None, (shutil.which(n) for n in NAMES[kind])), None)
        if not executable:
            raise Skip("%s is not installed (scripts/install-deps installs it)" % kind)
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
                f.write(_user_js(FIREFOX_PREFS))
            env.update(MOZ_GTK_TITLEBAR_DECORATION="client", MOZ_ENABLE_WAYLAND="0")
            command = [executable, "--no-remote", "-profile", profile, url]
        self.log = open(os.path.join(folder, "browser.log"), "w")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(command, env=env, stdout=self.log, stderr=self.log,
                                     stdin=subprocess.DEVNULL, start_new_session=True)

    def wait_page(self, title_pattern):
        """Waits for the browser's window titled with the page; the window's whole title."""
        def look():
            check(self.proc.poll() is None, "%s ended at start (see %s)"
                  % (self.kind, self.log.name))
            ids = self.x.run("xdotool", "search", "--onlyvisible", "--name",
                             title_pattern).stdout.split()
            for window in ids:
                title = self.x.run("xdotool", "getwindowname", window).stdout.rstrip("\n")
                if title:
                    return window, title
            return None
        try:
            self.window, title = wait_for(look, START_TIMEOUT, "the %s window with the item page"
                                          % self.kind, interval=0.25)
        except Failure:
            raise Failure("%s did not show the page within %d s (see %s)"
                          % (self.kind, START_TIMEOUT, self.log.name))
        return title

    def draws_own_title_bar(self):
        """Whether the window asks the window manager for no decorations (_MOTIF_WM_HINTS with
        the decorations flag and none of them), as a browser drawing its own title bar does."""
        out = self.x.run("xprop", "-id", self.window, "_MOTIF_WM_HINTS").stdout
        values = [int(v, 16) for v in out.partition("=")[2].replace(",", " ").split()]
        return len(values) >= 3 and bool(values[0] & 2) and values[2] == 0

    def stop(self):
        """Ends the browser with every process it started (its process group)."""
        if self.proc.poll() is None:
            for sig, wait in ((signal.SIGTERM, 10), (signal.SIGKILL, 10)):
                try:
                    os.killpg(self.proc.pid, sig)
                except ProcessLookupError:
                    break
                try:
                    self.proc.wait(wait)
                    break
                except subprocess.TimeoutExpired:
                    continue
        # Helpers that outlived the main process (Chromium's zygote, Firefox's content
        # processes) are still in its group.
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.log.close()
