"""A user's journey with the real program: its own work folder, X server, simulator, program and
user, the user's steps (take an item over, arm, wait for the outcome, end the program), and the
whole winning snipe with what the window, the simulator, the log and the settings say of it."""

import glob
import os
import signal
import subprocess
import tarfile
import time

from desktop import Browser
from harness import ACCOUNT, AMOUNT, AMOUNT_ON_WIRE, ITEM, ITEM_TITLE_LENGTH, PASSWORD, PORTABLE, \
    RIVAL, TITLE, VERSION, WON, Program, Simulator, XServer, berlin_text, end_epoch, \
    form_fields, header, stop_process, wait_for


ACCOUNT_ARGS = ["--account", ACCOUNT + ":" + PASSWORD]
SECTOBID = 4  # the seconds before the end of most journeys' bids


class User:
    """Mouse and keyboard on the program's windows, through xdotool. Every step waits until
    the X server has done it (the active window, the mouse where it was sent); what the program
    makes of it, the journey waits for in the window dump or the log."""

    def __init__(self, x, program):
        self.x, self.program = x, program

    def xdotool(self, *args):
        result = self.x.run("xdotool", *args)
        assert result.returncode == 0, "xdotool %s failed: %s" % (args, result.stderr.strip())
        return result.stdout

    def activate(self, window):
        self.xdotool("windowactivate", "--sync", window.id)
        wait_for(lambda: self.x.active_window() == int(window.id), 10,
                 "the window %s to be the active one" % window.name, interval=0.05)

    def click_control(self, control):
        assert control["visible"], "%s is not visible" % (control["name"] or control["text"])
        self.move(control["x"] + control["w"] // 2, control["y"] + control["h"] // 2)
        self.xdotool("click", "1")

    def press(self, window_name, text):
        """Brings the window to the front and clicks its button with this text where the
        window manager has put it (a box may still move when it is first shown)."""
        self.activate(self.program.wait_window(window_name))
        self.click_control(self.program.wait_window(window_name).button(text))

    def move(self, x, y):
        # "mousemove --sync" waits for a movement, so it would hang when the mouse is there.
        here = dict(kv.split("=") for kv in self.xdotool("getmouselocation", "--shell").split())
        if (int(here["X"]), int(here["Y"])) != (x, y):
            self.xdotool("mousemove", "--sync", x, y)

    def click(self, window_name, control_name):
        """Brings the window to the front and clicks the middle of one of its controls, the
        mouse passing over the window's own margin on its way."""
        window = self.program.window(window_name)
        assert window, "the window %s is not shown" % window_name
        self.activate(window)
        window = self.program.window(window_name)  # where the window manager has put it
        assert window, "the window %s closed" % window_name
        self.move(window.data["x"] + 3, window.data["y"] + 3)
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
        expected = "*" * len(text) if control_name == "Txt_Pass" else text
        self.program.wait_window(window_name, lambda w: w.text(control_name) == expected, 10,
                                 "%s to show %r" % (control_name, expected))


def item_args(ends_in, rival_max=None):
    args = ["--item", ITEM, "--title", TITLE, "--ends-in", str(ends_in), "--price", "10",
            "--increment", "0.5"]
    return args + (["--high-bidder", "%s:%s" % (RIVAL, rival_max)] if rival_max else [])


class Journey:
    """Everything of one journey, ended with it; step() tells what happened when."""

    def __init__(self, build, workdir, sim_args, settings=None, executable=None, home=None):
        self.build, self.workdir, self.started = build, workdir, time.monotonic()
        self.x = self.sim = self.program = self.browser = self.viewer = self.clipboard = None
        self.others = []  # further processes of the program
        try:
            self.x = XServer(workdir)
            self.sim = Simulator(build, workdir, sim_args)
            self.program = Program(build, self.x, workdir, self.sim, executable, home)
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

    def second_program(self):
        """Another process of the program, in the same folders as the first, not started."""
        program = Program(self.build, self.x, self.workdir, self.sim, self.program.executable,
                          self.program.home, name="second")
        self.others.append(program)
        return program

    def close(self):
        for proc in (self.viewer, self.clipboard):
            stop_process(proc)
        for program in filter(None, [self.program] + self.others):
            program.kill()
        if self.browser:
            self.browser.stop()
        # The installer and what it starts run detached and may outlive the program.
        inside = os.path.realpath(self.workdir) + os.sep
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink("/proc/%s/exe" % pid).startswith(inside):
                    os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass
        for part in (self.sim, self.x):
            if part:
                part.stop()

    def step(self, text):
        print("[%5.1f s] %s" % (time.monotonic() - self.started, text), flush=True)

    def start_program(self):
        self.program.start()
        self.step("GebotsfalkePlus started (pid %d)" % self.program.proc.pid)
        # The password lies in its memory: the program allows no core file of it.
        with open("/proc/%d/limits" % self.program.proc.pid) as f:
            core = [line.split()[4:6] for line in f if line.startswith("Max core file size")]
        assert core == [["0", "0"]], "the program's core file limit: %r" % core

    def open_item_page(self, browser=None, item=ITEM):
        """Shows the item page in the page viewer, or in a real browser ("chromium",
        "firefox"); the item's title as the program takes it from the window's title."""
        url = self.sim.item_url(item)
        if browser:
            self.browser = Browser(browser, self.x, self.workdir, url)
            window_title = self.browser.wait_page(r"\(endet ")
            # What made the program blind to browsers once: check that it is put to the test.
            assert self.browser.draws_own_title_bar(), "%s asks the window manager for a " \
                "title bar; the test is meant for a browser drawing its own" % browser
        else:
            self.viewer = subprocess.Popen([self.build.pageview, url, "--pos", "0,0"],
                                           env=self.x.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
            window_title, _ = self.sim.item_page(item)
            wait_for(lambda: self.x.run("xdotool", "search", "--name", r"\(endet ").stdout,
                     15, "the item page's window")
        self.step("item page open in %s: %s" % (browser or "the page viewer", window_title))
        return window_title[window_title.find(") - ") + 4:][:ITEM_TITLE_LENGTH]

    def copy(self, text):
        """Puts the text into the clipboard, as Ctrl+C in a browser would (xclip keeps offering
        it until the journey ends)."""
        self.clipboard = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet"],
                                          env=self.x.env, stdin=subprocess.PIPE,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.clipboard.stdin.write(text.encode())
        self.clipboard.stdin.close()
        wait_for(lambda: self.x.run("xclip", "-selection", "clipboard", "-o").stdout == text, 10,
                 "the clipboard to hold the text")

    def wait_item(self, title, how, over=False):
        """The item taken over, counting down; with `over`, shown as ended (a wrong clock)."""
        self.program.wait_window("Form1", lambda w: w.title.startswith(title) and (
            w.text("LabelZeit") == "Auktion\nbeendet" and not w.shown("Txt_maxbid") if over
            else w.shown("Txt_maxbid")), 10, "the item taken over " + how)
        self.step("item taken over %s: %s" % (how, title))
        return title

    def take_over(self, browser=None, over=False, item=ITEM):
        """Opens the item page and clicks "Artikel übernehmen"; the taken-over title."""
        title = self.open_item_page(browser, item)
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
            self.user.replace_text("frmOptions", "Txt_user", account)
            self.user.key("Tab")  # Tab selects what the next box holds: typing replaces it
            self.user.type(password)
            typed = [("Txt_user", account), ("Txt_Pass", "*" * len(password))]
            if sectobid is not None:
                self.user.key("Tab", "Tab")
                self.user.type(str(sectobid))
                typed.append(("Txt_sectobid", str(sectobid)))
            self.program.wait_window("frmOptions", lambda w: all(
                w.text(name) == text for name, text in typed), 10, "the options as typed")
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
        self.step("auction over, the window shows: %s" % window.text("LabelZeit").replace(
            "\n", " / "))
        return window

    def end_program(self):
        """SIGTERM, as at logout, with no error box ("Fehler") open; the exit code must be 0."""
        boxes = [w for w in self.program.windows() if w.title == "Fehler"]
        assert not boxes, "error box shown: %s" % "; ".join(b.label_text() for b in boxes)
        assert self.program.terminate() == 0, "the program's exit code after SIGTERM is not 0"

    def open_update_window(self, offered):
        """Clicks the update mark; the update window, which names both versions."""
        self.program.wait_window("Form1", lambda w: w.shown("Lbl_update"), 10, "the update mark")
        self.user.click("Form1", "Lbl_update")
        window = self.program.wait_window("FrmUpdate", timeout=10, what="the update window")
        assert window.text("Label1") == "Installierte Version: %s\nVerfügbare Version: %s" % (
            VERSION, offered), "update window: %r" % window.text("Label1")
        return window


def snipe(journey, ends_in, sectobid, seconds_typed=False, browser=None, at_start=False,
          clipboard=None, over=False, started=None, shoot=None):
    """A whole winning snipe against a rival bidding up to 14: take the item over (from the
    page viewer's window; a real browser's, open before the program starts when at_start; or
    the text `clipboard` in a Wayland session without any browser window), enter the account,
    arm, wait for the end. The seconds before the end are typed into the options dialog when
    seconds_typed, or left from an earlier run. started(journey) runs once the item is taken
    over (with `over`, shown as ended by a wrong clock); shoot(name) where a screenshot tells
    the most. Returns what the demo prints."""
    end = end_epoch(journey.sim.item_page(ITEM)[0])
    if clipboard:
        journey.program.wayland_session = True
        journey.start_program()
        title = take_over_from_clipboard(journey, clipboard)
    elif at_start:
        title = journey.open_item_page(browser)
        journey.start_program()
        journey.wait_item(title, "by the start-up scan")
    else:
        journey.start_program()
        title = journey.take_over(browser, over)
    if started:
        started(journey)
    armed = journey.arm(AMOUNT, ACCOUNT, PASSWORD, sectobid if seconds_typed else None)
    assert time.time() < end - sectobid - 0.5, "armed only %.1f s before the end" % (
        end - time.time())
    assert armed.text("LblBieten") == "%d Sek. vor Ende \n%s bieten." % (sectobid, AMOUNT)
    assert armed.text("Txt_maxbid") == AMOUNT and not armed.control("Txt_maxbid")["enabled"]
    if shoot:
        shoot("armed")
    window = journey.wait_outcome(end - time.time() + 30)
    if shoot:
        shoot("outcome")
    assert (window.text("LabelZeit"), window.title) == (WON, title)
    assert window.control("Lbl_GetArtikel")["fg"] == "#0000ff", \
        "'Artikel übernehmen' is not blue (clickable) again after the end"
    requests = check_bid_requests(journey.sim, end, sectobid)
    facts = journey.sim.item_page(ITEM)[1]
    assert (facts.get("Höchstbietender"), facts.get("Aktuelles Gebot")) == (ACCOUNT, "EUR 14,50")
    journey.end_program()
    log = journey.program.log()
    check_bid_log(log, end, sectobid)
    s = journey.program.settings()
    # Stored as typed (the password scrambled); nothing of the ended auction is kept.
    assert (s.get("user"), s.get("sectobid"), len(s.get("pass", ""))) == (
        ACCOUNT, str(sectobid), 3 * len(PASSWORD)), "account settings: %r" % s
    assert [s.get(k) for k in ("ItemID", "AuktionTitel", "endet", "WindowState", "InstallDir")] \
        == ["", "", "", "0", journey.program.home], "settings at shutdown: %r" % s
    return {"end": end, "requests": requests, "facts": facts, "log": log,
            "shown": window.text("LabelZeit")}


def take_over_from_clipboard(journey, text):
    """Copies the text, clicks "Artikel übernehmen" and waits for the item; its title. The
    program reads nothing but the item page, and posts nothing."""
    assert not journey.x.run("xdotool", "search", "--name", r"\(endet ").stdout.strip(), \
        "a window shows an auction page: the test is meant for a desktop without one"
    journey.copy(text)
    page_title, _ = journey.sim.item_page(ITEM)
    title = page_title[page_title.find(") - ") + 4:][:ITEM_TITLE_LENGTH]
    journey.user.click("Form1", "Lbl_GetArtikel")
    journey.wait_item(title, "from the clipboard")
    requests = {(r["method"], r["path"]) for r in journey.sim.requests()}
    assert requests == {("GET", "/ws/eBayISAPI.dll?ViewItem&item=" + ITEM)}, requests
    return title


def check_bid_requests(sim, end, sectobid):
    """The bid's two requests with what the user typed, arrived at or after the trigger second
    and before the end; then the outcome report to the vendor server."""
    bids = sim.bid_requests()
    assert len(bids) == 2, "%d bid requests instead of 2" % len(bids)
    for r in bids:
        assert (end - sectobid) * 1000 <= r["arrival_ms"] < (end + 1) * 1000, \
            "a bid request arrived %.3f s before the end" % (end - r["arrival_ms"] / 1000)
    assert bids[0]["body"] == "MfcISAPICommand=MakeBid&item=%s&quant=1&maxbid=%s" % (
        ITEM, AMOUNT_ON_WIRE)
    fields = form_fields(bids[1]["body"])
    assert (fields.get("user"), fields.get("pass")) == (ACCOUNT, PASSWORD)
    reports = [r for r in sim.requests() if r["path"] == "/files/update+"
               and r["arrival_ms"] >= bids[-1]["arrival_ms"]]  # a clock sync's check is before
    assert [header(r, "User-Agent").rsplit(" - ", 1)[-1] for r in reports] == ["hb"], \
        "one outcome report after the bid expected: %r" % reports
    return bids + reports


def check_bid_log(log, end, sectobid):
    messages = [f[-1] for f in log]
    expected = ["GebotsfalkePlus gestartet - Version " + VERSION, "GebotsfalkePlus scharfgestellt",
                "Bieten initialisiert", "Bieten Teil 1/2 - gestartet",
                "Bieten Teil 2/2 - Höchstgebot abgegeben", "Bieten Teil 2/2 - beendet",
                "GebotsfalkePlus entschärft", "Bieten abgeschlossen",
                "GebotsfalkePlus beendet - Version " + VERSION]
    found = [m for m in messages if m in expected]
    assert found == expected, "log lines out of order or twice:\n  " + "\n  ".join(messages)
    first, last = messages.index("Bieten initialisiert"), messages.index("Bieten abgeschlossen")
    for fields in log[first:last]:
        assert fields[1:5] == [berlin_text(end), ITEM, str(sectobid), AMOUNT_ON_WIRE], fields


class Packages:
    """The .deb and the portable archive in the folder scripts/package writes them to."""

    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.deb = self._one("gebotsfalkeplus_%s_*.deb" % VERSION)
        self.portable = self._one("gebotsfalkeplus-%s-portable-*.tar.gz" % VERSION)

    def _one(self, pattern):
        found = glob.glob(os.path.join(self.folder, pattern))
        assert len(found) == 1, "%d packages %s in %s (scripts/package builds them)" % (
            len(found), pattern, self.folder)
        return found[0]

    def unpack_deb(self, root):
        """The .deb's files under root, as dpkg would put them under / (never installed)."""
        os.makedirs(root, exist_ok=True)
        subprocess.run(["dpkg-deb", "-x", self.deb, root], check=True)
        return root

    def unpack_portable(self, into):
        """Unpacks the archive into a folder; the program folder inside it."""
        os.makedirs(into, exist_ok=True)
        with tarfile.open(self.portable) as archive:
            archive.extractall(into)
        return os.path.join(into, PORTABLE)
