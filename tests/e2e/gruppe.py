"""Bid groups: eight windows of the program, each its own process, on one private session bus,
snipe four pairs of auctions against the simulator, each pair in a group of its own:
(a) the first is won, so the second sends no bid and disarms; (b) the first is outbid, so the
second bids and wins; (c) "höchstens gewinnen 2": both bid and win; (d) the ends 3 s apart and
the first item's page slow after its end: the second holds its bid, then bids 2 s before its end
and says that two wins are possible. While they are armed, "--liste" shows every window."""

import os
import subprocess
import time
import types

from program import Program, User
from run import Run
from scenarios import ACCOUNT, PASSWORD, RIVAL
from session import DesktopBuses, check, end_epoch, wait_for

SECTOBID = 4
AMOUNT = "20,00"
# Seconds from the simulator's start to the first end: time enough to set up eight windows.
FIRST_END = 90
# name: (limit, (first item, its end, rival's maximum, page delay after its end in ms),
#        (second item, its end))
CASES = {
    "a": (1, ("3000000001", 0, None, 0), ("3000000002", 9)),
    "b": (1, ("3000000003", 1, 100, 0), ("3000000004", 10)),
    "c": (2, ("3000000005", 2, None, 0), ("3000000006", 11)),
    "d": (1, ("3000000007", 3, None, 4000), ("3000000008", 6)),
}


def sim_args():
    args = ["--account", ACCOUNT + ":" + PASSWORD]
    for name, (_, first, second) in sorted(CASES.items()):
        item, offset, rival, delay = first
        args += ["--item", item, "--title", "Objektiv %s1" % name, "--ends-in",
                 str(FIRST_END + offset), "--price", "10"]
        if rival:
            args += ["--high-bidder", "%s:%s" % (RIVAL, rival)]
        if delay:
            args += ["--ended-page-delay", str(delay)]
        args += ["--item", second[0], "--title", "Objektiv %s2" % name, "--ends-in",
                 str(FIRST_END + second[1]), "--price", "10"]
    return args


class Window:
    """One program process with its own folders, worked by the user like run.program."""

    def __init__(self, run, name, item):
        self.name, self.item = name, item
        if run.program.proc is None:
            self.program = run.program
        else:
            folder = os.path.join(run.workdir, name)
            os.makedirs(folder)
            self.program = Program(run.build, run.x, folder, run.sim.base_url, run.sim.vendor_key)
        self.program.buses = run.desktop.env
        self.program.write_settings({"sectobid": str(SECTOBID)})
        self.user = User(run.x, self.program)
        self.program.start()

    def take_over(self, run):
        run.copy(self.item)
        self.user.click("Form1", "Lbl_GetArtikel")
        self.program.wait_window("Form1", lambda w: w.shown("Txt_maxbid") and w.title.startswith(
            "Objektiv"), 10, "item %s taken over from the clipboard" % self.item)

    def set_group(self, group, limit):
        """The menu key in the amount field, G for "Gruppe …", the name, Tab, the limit,
        Enter: the keyboard alone."""
        self.user.click("Form1", "Txt_maxbid")
        self.user.key("Menu")
        self.program.wait_window("Kontextmenue", timeout=10, what="the window's context menu")
        self.user.key("g")
        self.program.wait_window("GroupDialog", timeout=10, what="the group dialog")
        self.user.type(group)
        self.user.key("Tab", "ctrl+a")
        self.user.type(str(limit))
        dialog = self.program.window("GroupDialog")
        shown = (dialog.text("Txt_gruppe"), dialog.text("qt_spinbox_lineedit"))
        check(shown == (group, str(limit)), "the group dialog shows %r" % (shown,))
        self.user.key("Return")
        self.program.wait_log("Gruppe gesetzt, höchstens %d gewinnen (Gruppe %s)"
                              % (limit, group), 10)

    def arm(self, run):
        me = types.SimpleNamespace(user=self.user, program=self.program, step=run.step)
        Run.arm(me, AMOUNT, ACCOUNT, PASSWORD)

    def messages(self):
        return self.program.messages()


def first_bids(sim, item):
    return [r for r in sim.bid_requests() if "&item=%s&" % item in r["body"]]


def run_gruppe(build, workdir, verbose=False):
    with Run(build, workdir, sim_args(), verbose=verbose) as run:
        run.desktop = DesktopBuses(build, run.workdir)
        windows = {}
        try:
            for name, (limit, first, second) in sorted(CASES.items()):
                group = "objektiv-" + name
                for number, item in (("1", first[0]), ("2", second[0])):
                    w = Window(run, name + number, item)
                    windows[name + number] = w
                    w.take_over(run)
                    w.set_group(group, limit)
                    w.arm(run)
                    run.step("window %s%s armed for %s in %s" % (name, number, item, group))
            ends = {w.item: end_epoch(run.sim.item_page(w.item)[0]) for w in windows.values()}
            check(time.time() < min(ends.values()) - SECTOBID - 1,
                  "the windows were set up too slowly for the first trigger")

            listed = subprocess.run([build.program, "--liste"], capture_output=True, text=True,
                                    env=dict(os.environ, **run.desktop.env), timeout=30)
            rows = [line.split("\t") for line in listed.stdout.splitlines()]
            check(listed.returncode == 0 and len(rows) == 8, "--liste: %r" % (listed,))
            for row in rows:
                name = row[1][len("Objektiv "):]
                check(row[0] == windows[name].item and row[3] == AMOUNT and
                      row[4] == "objektiv-" + name[0] and row[5] == "scharf",
                      "--liste row %r" % row)
            run.step("--liste shows the eight armed windows")

            last = max(ends.values())
            for w in windows.values():
                done = "Bieten abgeschlossen" if w.name != "a2" else "GebotsfalkePlus entschärft"
                w.program.wait_log("%s (Gruppe objektiv-%s)" % (done, w.name[0]),
                                   last - time.time() + 30)
            results = ("Auktion\ngewonnen", "Auktion\nnicht gewonnen")
            wait_for(lambda: all(w.program.window("Form1").text("LabelZeit") in results
                                 for w in windows.values() if w.name != "a2"), 20,
                     "every window's result")
            notes = [n["body"] for n in run.desktop.state()["notifications"]]
            sim = run.sim

            # (a) the group has its win: the second window sends nothing and says why.
            a1, a2 = windows["a1"], windows["a2"]
            check(a1.program.window("Form1").text("LabelZeit") == "Auktion\ngewonnen",
                  "a1 shows %r" % a1.program.window("Form1").text("LabelZeit"))
            check("gewonnen (Gruppe objektiv-a)" in a1.messages(), "a1's log: %r" % a1.messages())
            check(not first_bids(sim, a2.item), "a2 bid although its group had won")
            stay = "Kein Gebot: Artikel %s der Gruppe ist schon gewonnen." % a1.item
            check(stay + " (Gruppe objektiv-a)" in a2.messages() and stay in notes,
                  "a2's log %r, the notifications %r" % (a2.messages(), notes))
            run.step("(a) a1 won, a2 sent no bid: " + stay)

            # (b) the first outbid: the second bids and wins.
            b1, b2 = windows["b1"], windows["b2"]
            check("nicht gewonnen (Gruppe objektiv-b)" in b1.messages(), "b1: %r" % b1.messages())
            check(first_bids(sim, b2.item) and "gewonnen (Gruppe objektiv-b)" in b2.messages()
                  and sim.item_page(b2.item)[1].get("Höchstbietender") == ACCOUNT,
                  "b2: %r" % b2.messages())
            run.step("(b) b1 outbid, b2 bid and won")

            # (c) two wins allowed: both bid and win.
            for w in (windows["c1"], windows["c2"]):
                check(first_bids(sim, w.item) and "gewonnen (Gruppe objektiv-c)" in w.messages(),
                      "%s: %r" % (w.name, w.messages()))
            run.step("(c) both windows of a group of two wins bid and won")

            # (d) 3 s apart, the first result late: hold, then the honest bid.
            d1, d2 = windows["d1"], windows["d2"]
            honest = ("Ergebnis von Artikel %s noch offen: es wird geboten, zwei Gewinne sind "
                      "möglich." % d1.item)
            messages = d2.messages()
            check("Gebot wartet auf das Ergebnis von Artikel %s (Gruppe objektiv-d)" % d1.item
                  in messages and honest + " (Gruppe objektiv-d)" in messages and honest in notes,
                  "d2's log %r, the notifications %r" % (messages, notes))
            bids = first_bids(sim, d2.item)
            check(bids and bids[0]["arrival_ms"] >= (ends[d2.item] - 2.5) * 1000,
                  "d2 did not hold its bid: %r" % bids)
            run.step("(d) d2 held its bid, then bid %.1f s before its end: %s"
                     % (ends[d2.item] - bids[0]["arrival_ms"] / 1000, honest))
            for w in windows.values():
                w.program.terminate()
        finally:
            for w in windows.values():
                if w.program is not run.program:
                    w.program.kill()
