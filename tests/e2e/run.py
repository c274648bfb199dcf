"""One end-to-end run: a work folder, a private X server, the simulator, the program, the page
viewer standing in for the browser (or a real browser), and the user's steps of a snipe."""

import os
import subprocess
import time

from browser import Browser
from program import Program, User
from session import Failure, Simulator, XServer, check, fresh_folder, kill_leftovers, say, \
    stop_process, wait_for

VERSION = "1.3.6"
ITEM_TITLE_LENGTH = 38  # the program takes this many characters of the title as its caption


class Run:
    def __init__(self, build, workdir, sim_args, settings=None, executable=None, home=None,
                 verbose=False):
        self.build = build
        self.workdir = fresh_folder(workdir)
        self.verbose = verbose
        self.started = time.monotonic()
        self.x = self.sim = self.program = self.viewer = self.browser = self.desktop = None
        self.clipboard = None
        try:
            self.x = XServer(self.workdir)
            self.step("X server %s with openbox" % self.x.display)
            self.sim = Simulator(build, self.workdir, sim_args)
            self.step("auction-sim on %s" % self.sim.base_url)
            self.program = Program(build, self.x, self.workdir, self.sim.base_url,
                                   self.sim.vendor_key, executable=executable, home=home)
            if settings:
                self.program.write_settings(settings)
            self.user = User(self.x, self.program)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        stop_process(self.viewer)
        stop_process(self.clipboard)
        if self.browser:
            self.browser.stop()
        if self.program:
            self.program.kill()
        kill_leftovers(self.workdir)
        for part in (self.sim, self.desktop, self.x):
            if part:
                part.stop()

    def step(self, text):
        if self.verbose:
            say("[%5.1f s] %s" % (time.monotonic() - self.started, text))

    def start_program(self):
        self.program.start()
        self.step("GebotsfalkePlus started (pid %d)" % self.program.proc.pid)
        # The password lies in its memory: the program allows no core file of it.
        with open("/proc/%d/limits" % self.program.proc.pid) as f:
            core = [line.split()[4:6] for line in f if line.startswith("Max core file size")]
        check(core == [["0", "0"]], "the program's core file limit: %r" % core)

    def open_item_page(self, item, browser=None):
        """Shows the item page in the page viewer, away from the program's window, or in a
        real browser ("chromium", "firefox"); the item's title as the program takes it from
        the window's title (a browser adds its own name to the page's)."""
        url = self.sim.item_url(item)
        if browser:
            self.browser = Browser(browser, self.x, self.workdir, url)
            window_title = self.browser.wait_page(r"\(endet ")
            self.step("%s shows the item page after %.1f s: %s" % (
                browser, time.monotonic() - self.browser.started, window_title))
            # What made the program blind to browsers once: check that it is put to the test.
            check(self.browser.draws_own_title_bar(), "%s asks the window manager for a "
                  "title bar; the test is meant for a browser drawing its own" % browser)
        else:
            self.viewer = subprocess.Popen([self.build.pageview, url, "--pos", "0,0"],
                                           env=self.x.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
            window_title, _ = self.sim.item_page(item)
            wait_for(lambda: self.x.run("xdotool", "search", "--name",
                                        r"\(endet ").stdout.strip(),
                     15, "the item page's window")
            self.step("item page open: " + url)
        return window_title[window_title.find(") - ") + 4:][:ITEM_TITLE_LENGTH]

    def copy(self, text):
        """Puts the text into the clipboard, as Ctrl+C in a browser would (xclip keeps offering
        it until the run ends)."""
        stop_process(self.clipboard)
        self.clipboard = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet"],
                                          env=self.x.env, stdin=subprocess.PIPE,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.clipboard.stdin.write(text.encode())
        self.clipboard.stdin.close()
        wait_for(lambda: self.x.run("xclip", "-selection", "clipboard", "-o").stdout == text, 10,
                 "the clipboard to hold the text")
        self.step("copied to the clipboard: %r" % text)

    def wait_item(self, title, how, over=False):
        """The item taken over, counting down; with `over`, shown as ended (a wrong clock)."""
        self.program.wait_window("Form1", lambda w: w.title.startswith(title) and (
            w.text("LabelZeit") == "Auktion\nbeendet" and not w.shown("Txt_maxbid") if over
            else w.shown("Txt_maxbid")), 10, "the item taken over " + how)
        self.step("item taken over %s: %s%s" % (how, title, " (shown as ended)" if over else ""))
        return title

    def take_over(self, item, browser=None, over=False):
        """Opens the item page and clicks "Artikel übernehmen"; the taken-over title."""
        title = self.open_item_page(item, browser)
        self.user.click("Form1", "Lbl_GetArtikel")
        return self.wait_item(title, "by \"Artikel übernehmen\"", over)

    def arm(self, amount, account=None, password=None, sectobid=None):
        """Types the maximum bid and presses Enter; with an account, fills in the options
        dialog that opens because none is stored yet, as most people do: the name, Tab, the
        password (Tab, Tab and the seconds when given), Enter."""
        self.user.click("Form1", "Txt_maxbid")
        self.user.type(amount)
        self.user.key("Return")
        if account is not None:
            self.program.wait_window("frmOptions", timeout=10, what="the options dialog")
            self.step("options dialog open")
            self.user.replace_text("frmOptions", "Txt_user", account)
            self.user.key("Tab")  # Tab selects what the next box holds: typing replaces it
            self.user.type(password)
            typed = [("Txt_user", account), ("Txt_Pass", "*" * len(password))]
            if sectobid is not None:
                self.user.key("Tab", "Tab")
                self.user.type(str(sectobid))
                typed.append(("Txt_sectobid", str(sectobid)))
            dialog = self.program.window("frmOptions")
            check(dialog, "the options dialog closed while it was filled in")
            shown = [(name, dialog.text(name)) for name, _ in typed]
            check(shown == typed, "the options dialog shows %r after typing %r" % (shown, typed))
            self.user.key("Return")
            wait_for(lambda: not self.program.window("frmOptions"), 10,
                     "Enter to close the options dialog")
        window = self.program.wait_window(
            "Form1", lambda w: w.text("Command1") == "nicht bieten", 10, "the armed window")
        self.step("armed: " + window.text("LblBieten").replace("\n", " "))
        return window

    def wait_outcome(self, timeout):
        """The main window once the auction is over and the countdown stopped."""
        self.program.wait_log("Bieten abgeschlossen", timeout)
        window = self.program.wait_window(
            "Form1", lambda w: not w.shown("Txt_maxbid") and not w.shown("Command1"), 10,
            "the end of the auction in the window")
        shown = window.text("LabelZeit").replace("\n", " / ")
        self.step("auction over, the window shows: " + shown)
        return window

    def check_no_error_box(self):
        """The program reports run-time errors in boxes titled "Fehler": none may be open."""
        boxes = [w for w in self.program.windows() if w.title == "Fehler"]
        check(not boxes, "error box shown: %s" % "; ".join(b.label_text() for b in boxes))

    def end_program(self):
        """SIGTERM, as at logout, with no error box open; the exit code must be 0."""
        self.check_no_error_box()
        check(self.program.terminate() == 0, "the program's exit code after SIGTERM is not 0")

    def open_update_window(self, offered):
        """Clicks the update mark; the update window, which names both versions."""
        self.program.wait_window("Form1", lambda w: w.shown("Lbl_update"), 10, "the update mark")
        self.user.click("Form1", "Lbl_update")
        window = self.program.wait_window("FrmUpdate", timeout=10, what="the update window")
        check(window.text("Label1") == "Installierte Version: %s\nVerfügbare Version: %s"
              % (VERSION, offered) and window.title == "Online Update",
              "update window %r: %r" % (window.title, window.text("Label1")))
        self.check_no_error_box()
        self.step("update window open: " + window.text("Label1").replace("\n", " / "))
        return window

    def screenshot(self, name, window_name="Form1"):
        window = self.program.window(window_name)
        check(window, "no window %s to photograph" % window_name)
        self.user.activate(window)
        self.user.rest_mouse(window)
        time.sleep(0.3)  # let it repaint after coming to the front
        path = self.x.screenshot(os.path.join(self.workdir, name), window.id)
        check(path, "the screenshot %s failed" % name)
        return path


def in_order(messages, expected):
    """Fails unless the expected messages occur in this order (others may come between)."""
    position = 0
    for message in expected:
        try:
            position = messages.index(message, position) + 1
        except ValueError:
            raise Failure("log line %r missing (in order) from:\n  %s"
                          % (message, "\n  ".join(messages)))


def header(request, name):
    for key, value in request["headers"].items():
        if key.lower() == name.lower():
            return value
    return None
