"""The journeys only the real program shows: winning snipes with the item from the page viewer,
from real browsers and from the clipboard; a computer clock off by 90 s that the program may not
set; a computer suspended over the trigger; the update that the installer finishes after the
program ended; the desktop's services. Every other outcome is a row of an in-process table."""

import filecmp
import os
import shutil
import signal
import time

import pytest

from harness import ACCOUNT, AMOUNT, ITEM, PASSWORD, PORTABLE, WON, berlin_text, end_epoch, \
    stop_process, wait_for
from journey import ACCOUNT_ARGS, SECTOBID, item_args, snipe

# How the user takes the item over. Chromium is open before the program starts (its start-up
# scan takes the item over), Firefox is opened after it. Without any browser window the
# program can see (a Wayland desktop) the user copies the page's short link or the number.
SNIPES = {
    "win": {},
    "chromium": {"browser": "chromium", "at_start": True},
    "firefox": {"browser": "firefox"},
    "clipboard-link": {"clipboard": "{url}/itm/Maerklin-Dampflok-BR-01-Spur-H0/%s?hash=item1#desc"
                                    % ITEM},
    "clipboard-number": {"clipboard": "  %s\n" % ITEM},
}


@pytest.mark.parametrize("name", SNIPES)
def test_snipe(journey, name):
    how = dict(SNIPES[name])
    ends_in = 50 if "browser" in how else 22  # a browser may take a while on a busy machine
    j = journey(item_args(ends_in, 14) + ACCOUNT_ARGS, settings={"sectobid": str(SECTOBID)})
    if "clipboard" in how:
        how["clipboard"] = how["clipboard"].format(url=j.sim.base_url)
    snipe(j, ends_in, SECTOBID, **how)


@pytest.mark.parametrize("lag", [90.4, -90.4], ids=["behind", "ahead"])
def test_timesync(journey, lag):
    """The user's clock runs 90.4 s behind the site's (or ahead of it: the auction, 45 s from
    its end, shows as ended at once), through libfaketime on the program only, whose timers keep
    the real monotonic clock; it may not set the clock. The user clicks "Uhr synchronisieren",
    confirms, sees the countdown, arms and wins: the first bid request arrives within 100 ms
    after the site's trigger second, and the log's time stamps are the site's."""
    j = journey(item_args(45, 14) + ACCOUNT_ARGS + ["--vendor-version", "1.03.0007"],
                settings={"sectobid": str(SECTOBID)})
    j.program.clock_lag = lag

    def sync(j):
        wall, mono = time.time(), time.monotonic()
        j.user.click("Form1", "Lbl_GetTime")
        j.program.wait_window("QMessageBox", timeout=30, what="the clock's message")
        # OK with the mouse: Enter would close the box on its press and leave its release to
        # the amount field, whose Enter arms.
        j.user.press("QMessageBox", "OK")
        wait_for(lambda: not j.program.window("QMessageBox"), 10, "the message box to close")
        drift = (time.time() - wall) - (time.monotonic() - mono)
        assert abs(drift) < 1, "the system clock moved by %.1f s" % drift
        j.program.wait_window("Form1", lambda w: w.shown("Txt_maxbid") and w.shown("Command1")
                              and w.text("LabelZeit") != "Auktion\nbeendet", 10, "the countdown")

    result = snipe(j, 45, SECTOBID, started=sync, over=lag < 0)
    trigger = result["end"] - SECTOBID
    late = result["requests"][0]["arrival_ms"] - trigger * 1000
    assert 0 <= late < 100, "the first bid request came %d ms after the trigger second" % late
    stamped = [f[0] for f in result["log"] if f[-1] == "Bieten initialisiert"]
    assert stamped == [berlin_text(trigger)], "the site's trigger second is %s" % berlin_text(
        trigger)


def test_missed(journey):
    """Armed, the program is stopped (SIGSTOP, as a suspended computer would leave it) before
    its trigger and goes on only after the auction's end: it sends no bid, says that the bid
    was missed, and is disarmed."""
    j = journey(item_args(25) + ACCOUNT_ARGS, settings={"sectobid": str(SECTOBID)})
    end = end_epoch(j.sim.item_page(ITEM)[0])
    j.start_program()
    j.take_over()
    j.arm(AMOUNT, ACCOUNT, PASSWORD)
    assert time.time() < end - SECTOBID - 1, "armed too late to stop the program before it bids"
    j.program.proc.send_signal(signal.SIGSTOP)
    wait_for(lambda: time.time() > end + 2, end - time.time() + 10, "the auction's end")
    j.program.proc.send_signal(signal.SIGCONT)
    j.program.wait_window("Form1", lambda w: not w.shown("Command1") and w.text("LabelZeit") ==
                          "Gebot verpasst:\nAuktion war\nschon beendet.", 10, "the missed bid")
    assert not j.sim.bid_requests()
    messages = j.program.messages()
    assert [m for m in messages if m.startswith("Gebot verpasst: ")], messages
    assert "Bieten initialisiert" not in messages and "GebotsfalkePlus entschärft" in messages
    j.end_program()


NEW_VERSION = """#!/bin/sh
# The "new version" of the update test: it records that it was started, and where.
printf '%s\\n%s\\n' "$0" "$(pwd)" > "$(dirname "$0")/neue-version-gestartet.txt"
"""


@pytest.mark.parametrize("where", ["folder", "portable"])
def test_update(journey, request, workdir, build, where):
    """The update mark, the update window, the download and the hand-over to doupdate, which
    outlives the program, puts the new version in its place and starts it. "folder": the
    program runs from a folder of its own, started through a link, its program folder
    elsewhere: the file that ran is the one replaced. "portable": from the unpacked portable
    folder of the packages, which is also its program folder, as its user starts it."""
    vendor, app = os.path.join(workdir, "vendor"), os.path.join(workdir, "app")
    home, link = os.path.join(workdir, "home"), os.path.join(workdir, "bin", "gebotsfalkeplus")
    if where == "portable":
        packages = request.getfixturevalue("packages")
        app = home = os.path.join(workdir, "portable", PORTABLE)
        link = os.path.join(app, "gebotsfalkeplus")
    j = journey(["--vendor-dir", vendor, "--vendor-version", "1.03.0007"],
                settings={"Update": "1.03.0007"}, home=home, executable=link)
    os.makedirs(vendor)
    with open(os.path.join(vendor, "GEBOTSFALKEPLUS.EXE"), "w") as f:
        f.write(NEW_VERSION)
    shutil.copyfile(build.doupdate, os.path.join(vendor, "doupdate.exe"))
    program = os.path.join(app, "gebotsfalkeplus")
    if where == "portable":
        packages.unpack_portable(os.path.dirname(app))
        j.program.home_variable = False  # the program finds its folder itself
    else:
        os.makedirs(app)
        shutil.copyfile(build.program, program)
        os.chmod(program, 0o755)
        os.makedirs(os.path.dirname(link))
        os.symlink(program, link)
    with open(program, "rb") as f:
        previous = f.read()
    j.start_program()
    j.open_update_window("1.03.0007")
    j.user.click("FrmUpdate", "Btn_Update")
    marker = os.path.join(app, "neue-version-gestartet.txt")  # beside the new version
    wait_for(lambda: os.path.exists(marker), 60, "the new version to be started")
    wait_for(lambda: j.program.proc.poll() is not None, 10, "the old version to end")
    with open(marker) as f:
        assert f.read().split("\n")[:2] == [os.path.realpath(program), os.path.realpath(home)]
    assert filecmp.cmp(program, os.path.join(vendor, "GEBOTSFALKEPLUS.EXE"), shallow=False)
    with open(os.path.join(app, "gebotsfalkeplus.bak"), "rb") as f:
        assert f.read() == previous, "the previous version was not kept as backup"
    assert not [n for n in os.listdir(home) if n == "update.dat" or n.startswith(
        ".gebotsfalkeplus-update-")], "the download left files behind"
    if where == "folder":
        assert os.readlink(link) == program, "the link was replaced"
        assert not os.path.exists(os.path.join(home, "gebotsfalkeplus"))
    messages = j.program.messages()
    assert "Installer: neue Version gestartet." in messages, messages
    assert not [m for m in messages if m.startswith("GebotsfalkePlus beendet")], \
        "the old version wrote an end line; it should have ended at once"
    assert j.program.settings().get("Update") == "", "the offered version is still set"


def test_desktop(journey, desktop):
    """A snipe with the desktop's services (the fake logind and notification server on private
    buses): the armed program keeps the computer awake, lets go when the bid is done and when it
    is ended by SIGTERM, and announces the outcome while the user looks at the browser; a click
    on the notification brings the program's window to the front."""
    j = journey(item_args(26, 14) + ACCOUNT_ARGS + ["--item", "2345678901", "--title",
                                                    "Zweiter Artikel", "--ends-in", "3600",
                                                    "--price", "1"],
                settings={"sectobid": str(SECTOBID)})
    j.program.buses = desktop.env
    end = end_epoch(j.sim.item_page(ITEM)[0])
    j.start_program()
    title = j.take_over()
    j.arm(AMOUNT, ACCOUNT, PASSWORD)

    def lock(count):
        return wait_for(lambda: (lambda l: l[-1] if len(l) == count and not l[-1]["released"]
                                 else None)(desktop.state()["locks"]), 10, "lock %d" % count)
    taken = lock(1)
    assert {k: taken[k] for k in ("what", "who", "mode", "why")} == {
        "what": "sleep:idle", "who": "GebotsfalkePlus", "mode": "block",
        "why": "Gebot für %s um %s" % (ITEM, berlin_text(end - SECTOBID))}

    # The user turns to the browser while the snipe runs.
    viewer = j.x.run("xdotool", "search", "--name", r"\(endet ").stdout.split()[0]
    j.x.run("xdotool", "windowactivate", "--sync", viewer)
    form = int(j.program.window("Form1").id)
    assert j.x.active_window() != form, "the main window is still the active one"
    assert j.wait_outcome(end - time.time() + 30).text("LabelZeit") == WON
    wait_for(lambda: desktop.state()["locks"][0]["released"], 5, "the lock to be let go")
    notes = wait_for(lambda: desktop.state()["notifications"], 10, "the notification")
    assert [(n["summary"], n["body"], n["icon"], n["image"], "default" in n["actions"])
            for n in notes] == [(title, WON, "org.example.GebotsfalkePlus", [48, 48], True)]
    assert j.x.active_window() != form, "the main window came to the front by itself"
    desktop.click()
    wait_for(lambda: j.x.active_window() == form, 10, "the main window to come to the front")

    # Armed again for another auction, then ended by SIGTERM (as at logout).
    stop_process(j.viewer)
    j.take_over(item="2345678901")
    j.user.replace_text("Form1", "Txt_maxbid", AMOUNT)  # it still holds the last amount
    j.user.key("Return")
    j.program.wait_window("Form1", lambda w: w.text("Command1") == "nicht bieten", 10,
                          "the window armed again")
    assert lock(2)["why"].startswith("Gebot für 2345678901 um ")
    j.end_program()
    wait_for(lambda: desktop.state()["locks"][1]["released"], 5, "the lock to be let go at the end")
    assert len(desktop.state()["notifications"]) == 1, "the outcome was announced twice"
    assert not [m for m in j.program.messages() if m.startswith("Ruhezustand")], \
        "the log says the lock could not be taken"
