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

from harness import ACCOUNT, PASSWORD, RIVAL, Program, end_epoch, wait_for
from journey import SECTOBID, Journey, User

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
    """One program process with its own folders, worked by the user like journey.program."""

    def __init__(self, journey, desktop, name, item):
        self.name, self.item, self.journey = name, item, journey
        if journey.program.proc is None:
            self.program = journey.program
        else:
            folder = os.path.join(journey.workdir, name)
            os.makedirs(folder)
            self.program = Program(journey.build, journey.x, folder, journey.sim)
            journey.others.append(self.program)
        self.program.buses = desktop.env
        self.program.write_settings({"sectobid": str(SECTOBID)})
        self.user = User(journey.x, self.program)
        self.program.start()

    def take_over(self):
        self.journey.copy(self.item)
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
        self.program.wait_window("GroupDialog", lambda w: (
            w.text("Txt_gruppe"), w.text("qt_spinbox_lineedit")) == (group, str(limit)), 10,
            "the group dialog as typed")
        self.user.key("Return")
        self.program.wait_log("Gruppe gesetzt, höchstens %d gewinnen (Gruppe %s)"
                              % (limit, group), 10)

    def arm(self):
        me = types.SimpleNamespace(user=self.user, program=self.program, step=self.journey.step)
        Journey.arm(me, AMOUNT, ACCOUNT, PASSWORD)

    def messages(self):
        return self.program.messages()

    def shown(self):
        return self.program.window("Form1").text("LabelZeit")


def first_bids(sim, item):
    return [r for r in sim.bid_requests() if "&item=%s&" % item in r["body"]]


def test_gruppe(journey, desktop, build):
    j = journey(sim_args())
    windows = {}
    for name, (limit, first, second) in sorted(CASES.items()):
        for number, item in (("1", first[0]), ("2", second[0])):
            w = windows[name + number] = Window(j, desktop, name + number, item)
            w.take_over()
            w.set_group("objektiv-" + name, limit)
            w.arm()
            j.step("window %s%s armed for %s in objektiv-%s" % (name, number, item, name))
    ends = {w.item: end_epoch(j.sim.item_page(w.item)[0]) for w in windows.values()}
    assert time.time() < min(ends.values()) - SECTOBID - 1, \
        "the windows were set up too slowly for the first trigger"

    listed = subprocess.run([build.program, "--liste"], capture_output=True, text=True,
                            env=dict(os.environ, **desktop.env), timeout=30)
    rows = [line.split("\t") for line in listed.stdout.splitlines()]
    assert listed.returncode == 0 and len(rows) == 8, "--liste: %r" % (listed,)
    for row in rows:
        name = row[1][len("Objektiv "):]
        assert (row[0], row[3], row[4], row[5]) == (
            windows[name].item, AMOUNT, "objektiv-" + name[0], "scharf"), "--liste: %r" % row
    j.step("--liste shows the eight armed windows")

    for w in windows.values():
        done = "Bieten abgeschlossen" if w.name != "a2" else "GebotsfalkePlus entschärft"
        w.program.wait_log("%s (Gruppe objektiv-%s)" % (done, w.name[0]),
                           max(ends.values()) - time.time() + 30)
    results = ("Auktion\ngewonnen", "Auktion\nnicht gewonnen")
    wait_for(lambda: all(w.shown() in results for w in windows.values() if w.name != "a2"), 20,
             "every window's result")
    notes = [n["body"] for n in desktop.state()["notifications"]]
    sim = j.sim

    # (a) the group has its win: the second window sends nothing and says why.
    a1, a2 = windows["a1"], windows["a2"]
    assert a1.shown() == "Auktion\ngewonnen" and "gewonnen (Gruppe objektiv-a)" in a1.messages()
    assert not first_bids(sim, a2.item), "a2 bid although its group had won"
    stay = "Kein Gebot: Artikel %s der Gruppe ist schon gewonnen." % a1.item
    assert stay + " (Gruppe objektiv-a)" in a2.messages() and stay in notes, (a2.messages(), notes)
    j.step("(a) a1 won, a2 sent no bid: " + stay)

    # (b) the first outbid: the second bids and wins.
    b1, b2 = windows["b1"], windows["b2"]
    assert b1.shown() == "Auktion\nnicht gewonnen"
    assert "nicht gewonnen (Gruppe objektiv-b)" in b1.messages()
    assert first_bids(sim, b2.item) and "gewonnen (Gruppe objektiv-b)" in b2.messages()
    assert sim.item_page(b2.item)[1].get("Höchstbietender") == ACCOUNT
    j.step("(b) b1 outbid, b2 bid and won")

    # (c) two wins allowed: both bid and win.
    for w in (windows["c1"], windows["c2"]):
        assert first_bids(sim, w.item) and "gewonnen (Gruppe objektiv-c)" in w.messages()
    j.step("(c) both windows of a group of two wins bid and won")

    # (d) 3 s apart, the first result late: hold, then the honest bid.
    d1, d2 = windows["d1"], windows["d2"]
    honest = ("Ergebnis von Artikel %s noch offen: es wird geboten, zwei Gewinne sind möglich."
              % d1.item)
    messages = d2.messages()
    assert "Gebot wartet auf das Ergebnis von Artikel %s (Gruppe objektiv-d)" % d1.item \
        in messages and honest + " (Gruppe objektiv-d)" in messages and honest in notes, \
        (messages, notes)
    bids = first_bids(sim, d2.item)
    assert bids and bids[0]["arrival_ms"] >= (ends[d2.item] - 2.5) * 1000, \
        "d2 did not hold its bid: %r" % bids
    j.step("(d) d2 held its bid, then bid %.1f s before its end: %s"
           % (ends[d2.item] - bids[0]["arrival_ms"] / 1000, honest))
    for w in windows.values():
        assert w.program.terminate() == 0
