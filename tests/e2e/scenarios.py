"""The snipes and other errands of a user, each on the real program and the real simulator,
with what is checked afterwards: the window, the log, the simulator's request log and the
settings written at shutdown."""

import datetime
import filecmp
import os
import re
import shutil
import signal
import time
import zoneinfo

from packages import PORTABLE
from run import ITEM_TITLE_LENGTH, VERSION, Run, header, in_order
from program import lines
from session import check, end_epoch, form_fields, say, wait_for

ITEM = "1234567890"
TITLE = "Märklin Dampflok BR 01, Spur H0, OVP"
ACCOUNT = "demo_bieter"
PASSWORD = "geheim123"
RIVAL = "sammler_44"
AMOUNT = "20,00"  # typed as a German user types it
AMOUNT_ON_WIRE = "20"
IE_AGENT = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"
BERLIN = zoneinfo.ZoneInfo("Europe/Berlin")


class BidCase:
    """A snipe's rival and what the window, the log and the site say at its end (every other
    outcome is a row of the bid's table in tests/bidding, against the same simulator)."""

    def __init__(self, rival_max, code, shown, outcome_line, high_bidder, price, extra=()):
        self.rival_max = rival_max
        self.code = code
        self.shown = shown
        self.outcome_line = outcome_line
        self.high_bidder = high_bidder
        self.price = price
        self.extra = list(extra)


BID_CASES = {
    "win": BidCase(14, "hb", "Sie haben\ndas höchste\nGebot abgegeben.",
                   "Bieten Teil 2/2 - Höchstgebot abgegeben", ACCOUNT, "EUR 14,50"),
}


# The item page in a real browser, a winning snipe each. Chromium is open before the program
# starts (its start-up scan takes the item over), Firefox is opened after it and the item taken
# over with "Artikel übernehmen".
BROWSER_CASES = {"chromium": True, "firefox": False}  # taken over at start
# A browser may take a while to start on a busy machine: the auction runs long enough for that.
BROWSER_ENDS_IN = 50

# No browser window the program can see (a Wayland desktop): the user copies the item page's
# short link, or only the item number, and clicks "Artikel übernehmen" (what else names an
# item: the table of ItemLink).
CLIPBOARD_CASES = {
    "clipboard-link": lambda sim: "%s/itm/Maerklin-Dampflok-BR-01-Spur-H0/%s?hash=item1#desc"
                                  % (sim.base_url, ITEM),
    "clipboard-number": lambda sim: "  %s\n" % ITEM,
}


def berlin_text(epoch):
    return datetime.datetime.fromtimestamp(epoch, BERLIN).strftime("%d.%m.%Y %H:%M:%S")


def log_epoch(text):
    when = datetime.datetime.strptime(text, "%d.%m.%Y %H:%M:%S").replace(tzinfo=BERLIN)
    return when.timestamp()


def item_args(ends_in, rival_max=None):
    args = ["--item", ITEM, "--title", TITLE, "--ends-in", str(ends_in), "--price", "10",
            "--increment", "0.5"]
    if rival_max is not None:
        args += ["--high-bidder", "%s:%s" % (RIVAL, rival_max)]
    return args


def run_bid(build, workdir, case, ends_in, sectobid, verbose=False, shots=False, browser=None,
            seconds_typed=False, prepare=None, started=None, clipboard=None, over=False):
    """A whole snipe: take the item over (from the page viewer's window, or a real browser's,
    or with clipboard(sim), the text the user copies, from the clipboard in a Wayland session
    without any browser window), enter the account, arm, wait for the end. The seconds before
    the end are typed into the options dialog too, or left from an earlier run. prepare(run)
    runs before the program starts, started(run) once it took the item over (with `over`, shown
    as ended by a wrong clock). Returns what a reader of the demo wants to see."""
    sim_args = item_args(ends_in, case.rival_max) + ["--account", ACCOUNT + ":" + PASSWORD]
    settings = None if seconds_typed else {"sectobid": str(sectobid)}
    with Run(build, workdir, sim_args + case.extra, settings=settings, verbose=verbose) as run:
        page_title, _ = run.sim.item_page(ITEM)
        end = end_epoch(page_title)
        if prepare:
            prepare(run)
        if clipboard:
            run.program.wayland_session = True
            run.start_program()
            title = take_over_from_clipboard(run, clipboard(run.sim))
        elif browser and BROWSER_CASES[browser]:
            title = run.open_item_page(ITEM, browser)
            run.start_program()
            run.wait_item(title, "by the start-up scan")
        else:
            run.start_program()
            title = run.take_over(ITEM, browser, over)
        if started:
            started(run)
        armed = run.arm(AMOUNT, ACCOUNT, PASSWORD,
                        sectobid if seconds_typed else None)
        check(time.time() < end - sectobid - 0.5,
              "armed only %.1f s before the end: too slow for a trigger %d s before it"
              % (end - time.time(), sectobid))
        check(armed.text("LblBieten") == "%d Sek. vor Ende \n%s bieten." % (sectobid, AMOUNT),
              "bid summary: %r" % armed.text("LblBieten"))
        check(armed.text("Txt_maxbid") == AMOUNT and not armed.control("Txt_maxbid")["enabled"],
              "the amount field while armed: %r" % armed.control("Txt_maxbid"))
        result = {"title": title, "end": end, "workdir": run.workdir}
        if shots:
            result["armed_png"] = run.screenshot("armed.png")

        window = run.wait_outcome(end - time.time() + 30)
        result["shown"] = window.text("LabelZeit")
        if shots:
            result["outcome_png"] = run.screenshot("outcome.png")
        check(result["shown"] == case.shown,
              "the window shows %r instead of %r" % (result["shown"], case.shown))
        check(window.title == title, "caption after the end: %r" % window.title)
        check(window.control("Lbl_GetArtikel")["fg"] == "#0000ff",
              "'Artikel übernehmen' is not blue (clickable) again after the end")

        result["requests"] = check_bid_requests(run.sim, case, end, sectobid)
        _, facts = run.sim.item_page(ITEM)
        result["facts"] = facts
        check(facts.get("Höchstbietender") == case.high_bidder
              and facts.get("Aktuelles Gebot") == case.price,
              "the site's verdict: %r" % facts)

        run.end_program()
        result["log"] = run.program.log()
        check_bid_log(result["log"], case, end, sectobid)
        check_bid_settings(run.program, sectobid)
        result["log_path"] = run.program.log_path
        return result


def take_over_from_clipboard(run, text):
    """Copies the text, clicks "Artikel übernehmen" and waits for the item; its title. The
    program reads nothing but the item page, and posts nothing."""
    check(not run.x.run("xdotool", "search", "--name", r"\(endet ").stdout.strip(),
          "a window shows an auction page: the test is meant for a desktop without one")
    run.copy(text)
    page_title, _ = run.sim.item_page(ITEM)
    title = page_title[page_title.find(") - ") + 4:][:ITEM_TITLE_LENGTH]
    run.user.click("Form1", "Lbl_GetArtikel")
    run.wait_item(title, "from the clipboard")
    window = run.program.window("Form1")
    check(not window.shown("Lbl_NoAuction") and window.text("Label1").startswith("endet am "),
          "the window after taking the item over: %r" % window.text("Label1"))
    # The program's request and the test's own are the same: the item page, fetched.
    requests = [(r["method"], r["path"]) for r in run.sim.requests()]
    check(set(requests) == {("GET", "/ws/eBayISAPI.dll?ViewItem&item=" + ITEM)},
          "requests while taking the item over: %r" % requests)
    run.program.wait_log("Artikel übernehmen: %s von der Artikelseite übernommen" % ITEM, 5)
    return title


def check_bid_requests(sim, case, end, sectobid):
    """The bid's two requests with what the user typed (their headers and the rest of their
    bodies: DoBid's tests), arrived at or after the trigger second and before the end; then the
    outcome report to the vendor server."""
    bids = sim.bid_requests()
    check(len(bids) == 2, "%d bid requests instead of 2" % len(bids))
    trigger_ms, end_ms = (end - sectobid) * 1000, (end + 1) * 1000
    for r in bids:
        check(trigger_ms <= r["arrival_ms"] < end_ms,
              "a bid request arrived %.3f s before the end (trigger %d s before it)"
              % (end - r["arrival_ms"] / 1000, sectobid))
    step1, step2 = bids
    check(step1["body"] == "MfcISAPICommand=MakeBid&item=%s&quant=1&maxbid=%s"
          % (ITEM, AMOUNT_ON_WIRE), "step 1 body: %r" % step1["body"])
    fields = form_fields(step2["body"])
    check(fields.get("user") == ACCOUNT and fields.get("pass") == PASSWORD,
          "step 2 form: %r" % fields)
    reports = [r for r in sim.requests() if r["path"] == "/files/update+"
               and r["arrival_ms"] >= bids[0]["arrival_ms"]]  # a clock sync's check comes before
    check(len(reports) == 1 and reports[0]["arrival_ms"] >= bids[-1]["arrival_ms"],
          "one outcome report after the bid expected, got %d" % len(reports))
    agent = header(reports[0], "User-Agent")
    check(agent.startswith("Auktionsuhr++ - %s - " % VERSION) and agent.endswith(" - " + case.code),
          "outcome report: %r" % agent)
    return bids + reports


def check_bid_log(log, case, end, sectobid):
    messages = [f[-1] for f in log]
    check(all(len(f) == 6 for f in log), "a log line without its six fields")
    in_order(messages, [
        "GebotsfalkePlus gestartet - Version " + VERSION, "GebotsfalkePlus scharfgestellt",
        "Bieten initialisiert", "Bieten Teil 1/2 - gestartet", "Bieten Teil 1/2 - beendet",
        "Bieten Teil 2/2 - gestartet", case.outcome_line, "Bieten Teil 2/2 - beendet", "Warnton",
        "GebotsfalkePlus entschärft", "Bieten abgeschlossen",
        "GebotsfalkePlus beendet - Version " + VERSION])
    check(messages.count("Bieten Teil 1/2 - gestartet") == 1, "passes of the bid")
    rest = [int(m.group(1)) for m in (re.fullmatch(r"Restlaufzeit (-?\d+) Sekunden", x)
                                      for x in messages) if m]
    check(len(rest) == 1 and 1 <= rest[0] <= sectobid, "remaining seconds at the bid: %r" % rest)
    bid_lines = log[messages.index("Bieten initialisiert"):messages.index("Bieten abgeschlossen")]
    for fields in bid_lines:
        check(fields[1:5] == [berlin_text(end), ITEM, str(sectobid), AMOUNT_ON_WIRE],
              "log columns of a bid line: %r" % fields)
        check(log_epoch(fields[0]) < end + 1, "a bid line written after the end: %r" % fields)


def check_bid_settings(program, sectobid):
    s = program.settings()
    # Stored as typed (the password scrambled: the options and scrambling tests know how).
    check(s.get("user") == ACCOUNT and s.get("sectobid") == str(sectobid)
          and len(s.get("pass", "")) == 3 * len(PASSWORD), "account settings: %r" % s)
    # The auction is over: nothing of it is kept for the next start.
    check(s.get("ItemID") == "" and s.get("AuktionTitel") == "" and s.get("endet") == "",
          "item settings after the end: %r" % s)
    check(s.get("InstallDir") == program.home and s.get("WindowState") == "0",
          "shutdown settings: %r" % s)


LAG = 90.4  # the user's clock runs this far behind the auction site's


def run_timesync(build, workdir, verbose=False, lag=LAG):
    """The user's clock runs 90.4 s behind the auction site's (or, with a negative lag, ahead
    of it: the auction, 45 s from its end, shows as ended at once), and the program may not set
    it (libfaketime on the program only; its timers keep the real monotonic clock). The user
    clicks "Uhr synchronisieren", learns that the program bids by the site's time and how far
    the clock is off, confirms, sees the countdown, arms and wins: the first bid request arrives
    within 100 ms after the site's trigger second, and the log's time stamps are the site's."""
    sectobid = 4
    case = BidCase(14, "hb", "Sie haben\ndas höchste\nGebot abgegeben.",
                   "Bieten Teil 2/2 - Höchstgebot abgegeben", ACCOUNT, "EUR 14,50",
                   extra=["--vendor-version", "1.03.0007"])
    synced = {}
    sign = "\\+" if lag > 0 else "-"

    def prepare(run):
        run.program.clock_lag = lag

    def sync(run):
        wall, mono = time.time(), time.monotonic()
        run.user.click("Form1", "Lbl_GetTime")
        box = run.program.wait_window("QMessageBox", timeout=30, what="the outcome message")
        texts = [lines(c["text"]) for c in box.unnamed + list(box.controls.values())
                 if c["class"] == "QLabel" and c["text"]]
        said = [t for t in texts if t.startswith("Die Systemuhr")]
        check(len(said) == 1 and re.fullmatch(
            "Die Systemuhr konnte nicht gestellt werden.\nGebotsfalkePlus bietet nach der "
            "Uhrzeit des Auktionshauses, die von der Uhr dieses Computers um %s90,[345] "
            "Sekunden abweicht." % sign, said[0]), "message box texts: %r" % texts)
        run.step("\"Uhr synchronisieren\" says: %s" % said[0].replace("\n", " / "))
        # OK with the mouse: Enter would close the box on its press and leave its release to the
        # amount field, whose Enter arms (an empty field opens the options dialog instead).
        run.user.activate(box)
        run.user.click_control(box.button("OK"))
        wait_for(lambda: not run.program.window("QMessageBox"), 10, "the message box to close")
        drift = (time.time() - wall) - (time.monotonic() - mono)
        check(abs(drift) < 1, "the system clock moved by %.1f s during the run" % drift)
        line = [m for m in run.program.messages() if m.startswith("Timesync: ")]
        check(len(line) == 1, "Timesync lines: %r" % line)
        m = re.fullmatch(r"Timesync: (\d\d:\d\d:\d\d) -> (\d\d:\d\d:\d\d) "
                         r"\(nicht gestellt\) %s90,[345] Sekunden" % sign, line[0])
        check(m, "Timesync line: %r" % line[0])
        # From the computer's time (90 s behind) to the site's, which is the real one here.
        site = clock_seconds(time.time())
        old, new = (sum(int(x) * f for x, f in zip(t.split(":"), (3600, 60, 1)))
                    for t in m.groups())
        check(abs(clock_difference(site - lag, old)) <= 20 and
              abs(clock_difference(site, new)) <= 20, "Timesync line %r at %s" % (
                  line[0], berlin_text(time.time())))
        run.step("log: " + line[0])
        pages = [r for r in run.sim.requests() if r["path"] == "/aw-cgi/eBayISAPI.dll?TimeShow"]
        check(2 <= len(pages) <= 12 and all(header(r, "User-Agent") == IE_AGENT for r in pages),
              "time page requests: %d, %r" % (len(pages), [header(r, "User-Agent")
                                                           for r in pages]))
        checks = [r for r in run.sim.requests() if r["path"] == "/files/update+"]
        check(len(checks) == 1 and header(checks[0], "User-Agent") ==
              "Auktionsuhr+ - %s - Linux" % VERSION, "version check: %r" % checks)
        synced["pages"] = len(pages)
        # The end lies ahead by the site's time: the countdown is back, bid controls included.
        run.program.wait_window("Form1", lambda w: w.shown("Txt_maxbid") and w.shown("Command1")
                                and w.text("LabelZeit") != "Auktion\nbeendet", 10,
                                "the countdown")

    result = run_bid(build, workdir, case, ends_in=45, sectobid=sectobid, verbose=verbose,
                     prepare=prepare, started=sync, over=lag < 0)
    end = result["end"]
    first = result["requests"][0]
    late = first["arrival_ms"] - (end - sectobid) * 1000
    check(0 <= late < 100, "the first bid request arrived %d ms after the site's trigger second"
          % late)
    log = result["log"]
    messages = [f[-1] for f in log]
    # Armed within half an hour of the sync: no second measurement.
    check(len([m for m in messages if m.startswith("Timesync")]) == 1, "Timesync lines: %r"
          % [m for m in messages if m.startswith("Timesync")])
    started = log[messages.index("Bieten initialisiert")][0]
    check(started == berlin_text(end - sectobid),
          "\"Bieten initialisiert\" stamped %s, the site's trigger second is %s"
          % (started, berlin_text(end - sectobid)))
    say("the first bid request arrived %d ms after the site's trigger second (%d readings of "
        "the time page)" % (late, synced["pages"]))


def run_missed(build, workdir, verbose=False):
    """Armed, the program is stopped (SIGSTOP, as a suspended computer would leave it) before
    its trigger and goes on (SIGCONT) only after the auction's end: it sends no bid, says that
    the bid was missed, and is disarmed."""
    sectobid = 4
    sim_args = item_args(25) + ["--account", ACCOUNT + ":" + PASSWORD]
    with Run(build, workdir, sim_args, settings={"sectobid": str(sectobid)},
             verbose=verbose) as run:
        end = end_epoch(run.sim.item_page(ITEM)[0])
        run.start_program()
        run.take_over(ITEM)
        run.arm(AMOUNT, ACCOUNT, PASSWORD)
        check(time.time() < end - sectobid - 1, "armed only %.1f s before the end: too late to "
              "stop the program before its trigger" % (end - time.time()))
        run.program.proc.send_signal(signal.SIGSTOP)
        run.step("program stopped %.1f s before the end" % (end - time.time()))
        wait_for(lambda: time.time() > end + 2, end - time.time() + 10, "the auction's end")
        run.program.proc.send_signal(signal.SIGCONT)
        missed = wait_for(lambda: [m for m in run.program.messages()
                                   if m.startswith("Gebot verpasst: ")], 10, "the missed bid")
        window = run.program.wait_window(
            "Form1", lambda w: not w.shown("Command1") and w.text("LabelZeit") ==
            "Gebot verpasst:\nAuktion war\nschon beendet.", 10, "the missed bid in the window")
        run.step("the window shows: %s; log: %s" % (
            window.text("LabelZeit").replace("\n", " / "), missed[0]))
        check(not run.sim.bid_requests(), "bid requests after the end: %r"
              % run.sim.bid_requests())
        messages = run.program.messages()
        check("Bieten initialisiert" not in messages and "GebotsfalkePlus entschärft" in messages,
              "log after the missed bid: %r" % messages)
        run.end_program()


def clock_seconds(epoch):
    t = datetime.datetime.fromtimestamp(epoch, BERLIN)
    return t.hour * 3600 + t.minute * 60 + t.second + t.microsecond / 1e6


def clock_difference(a, b):
    """a - b as times of day, in seconds, the short way round midnight."""
    return (a - b + 43200) % 86400 - 43200


NEW_VERSION = """#!/bin/sh
# The "new version" of the update test: it records that it was started, and where.
printf '%s\\n%s\\n' "$0" "$(pwd)" > "$(dirname "$0")/neue-version-gestartet.txt"
"""


def run_update(build, workdir, verbose=False, portable=None):
    """The update mark, the update window, the download and the hand-over to doupdate, which
    puts the new version in place of the program and starts it. The program runs from a folder
    of its own, started through a link, with its program folder elsewhere: the file that ran
    is the one replaced. With `portable` (the packages) it runs from the unpacked portable
    folder instead, which is also its program folder, as the user who unpacked it starts it."""
    vendor = os.path.join(workdir, "vendor")  # the vendor server's files
    app = os.path.join(workdir, "app")  # the program's own copy of the executable
    home = os.path.join(workdir, "home")  # the program folder: log, downloads
    link = os.path.join(workdir, "bin", "gebotsfalkeplus")
    if portable:
        app = home = os.path.join(workdir, "portable", PORTABLE)
        link = os.path.join(app, "gebotsfalkeplus")
    sim_args = ["--vendor-dir", vendor, "--vendor-version", "1.03.0007"]
    with Run(build, workdir, sim_args, settings={"Update": "1.03.0007"}, home=home,
             executable=link, verbose=verbose) as run:
        os.makedirs(vendor)
        with open(os.path.join(vendor, "GEBOTSFALKEPLUS.EXE"), "w") as f:
            f.write(NEW_VERSION)
        shutil.copyfile(build.doupdate, os.path.join(vendor, "doupdate.exe"))
        program = os.path.join(app, "gebotsfalkeplus")
        if portable:
            portable.unpack_portable(os.path.dirname(app))
            run.program.home_variable = False  # the program finds its folder itself
        else:
            os.makedirs(app)
            shutil.copyfile(build.program, program)
            os.chmod(program, 0o755)
            os.makedirs(os.path.dirname(link))
            os.symlink(program, link)
        with open(program, "rb") as f:
            previous = f.read()
        run.start_program()
        run.open_update_window("1.03.0007")
        run.user.click("FrmUpdate", "Btn_Update")
        marker = os.path.join(app, "neue-version-gestartet.txt")  # beside the new version
        wait_for(lambda: os.path.exists(marker), 60, "the new version to be started")
        wait_for(lambda: run.program.proc.poll() is not None, 10, "the old version to end")
        with open(marker) as f:
            started = f.read().split("\n")
        run.step("the new version was started as " + started[0])
        check(started[:2] == [os.path.realpath(program), os.path.realpath(home)],
              "the new version ran as %r" % started)
        check(filecmp.cmp(program, os.path.join(vendor, "GEBOTSFALKEPLUS.EXE"),
                          shallow=False), "the program file is not the new version")
        with open(os.path.join(app, "gebotsfalkeplus.bak"), "rb") as f:
            check(f.read() == previous, "the previous version was not kept as backup")
        check(not os.path.exists(os.path.join(home, "update.dat")), "update.dat left behind")
        left = [n for n in os.listdir(home) if n.startswith(".gebotsfalkeplus-update-")]
        check(not left, "the download's folder was left behind: %r" % left)
        if not portable:
            check(os.readlink(link) == program, "the link was replaced: %r" % os.readlink(link))
            check(not os.path.exists(os.path.join(home, "gebotsfalkeplus")),
                  "a copy of the program was put into the program folder")
        # The installer starts while the program writes its last lines; it swaps the files
        # only once the program has ended.
        messages = run.program.messages()
        in_order(messages, [
            "Update: %s -> 1.03.0007" % VERSION, "Update: Download gestartet.",
            "Update: Download beendet.", "Update: update.exe aufgerufen.", "Update: Fertig",
            "Installer: neue Version eingesetzt.", "Installer: neue Version gestartet."])
        in_order(messages, ["Update: Download beendet.", "Installer: gestartet.",
                            "Installer: neue Version eingesetzt."])
        check("GebotsfalkePlus beendet - Version " + VERSION not in run.program.messages(),
              "the old version wrote an end line; it should have ended at once")
        check(run.program.settings().get("Update") == "", "the offered version is still set")
        paths = [(r["path"], header(r, "User-Agent")) for r in run.sim.requests()]
        agent = "Nachlader+ - %s - Linux" % VERSION
        # The simulator signed the release with its key, which only endpoints.ini trusts.
        for name in ("filelist", "manifest", "manifest.sig", "GEBOTSFALKEPLUS.EXE",
                     "doupdate.exe"):
            check(("/files/" + name, agent) in paths, "download of %s: %r" % (name, paths))
