"""A snipe with the desktop's services: the fake logind and notification server on private
buses. The armed program keeps the computer awake, lets go when the bid is done and when it is
ended by SIGTERM, and announces the outcome while the user looks at the browser; a click on the
notification brings the program's window to the front."""

import time

from run import Run
from scenarios import ACCOUNT, AMOUNT, ITEM, PASSWORD, berlin_text, item_args
from session import DesktopBuses, check, end_epoch, stop_process, wait_for

SECONDS_BEFORE_END = 4
SECOND_ITEM = "2345678901"
WON = "Sie haben\ndas höchste\nGebot abgegeben."


def lock_taken(run, count):
    locks = wait_for(lambda: (lambda l: l if len(l) == count and not l[-1]["released"] else None)(
        run.desktop.state()["locks"]), 10, "the sleep inhibitor lock number %d" % count)
    return locks[-1]


def released(run, index, timeout, what):
    wait_for(lambda: run.desktop.state()["locks"][index]["released"], timeout, what)


def active_window(run):
    out = run.x.run("xdotool", "getactivewindow").stdout.strip()
    return int(out) if out.isdigit() else None


def run_desktop(build, workdir, verbose=False):
    sim_args = item_args(26, 14) + ["--account", ACCOUNT + ":" + PASSWORD,
                                    "--item", SECOND_ITEM, "--title", "Zweiter Artikel",
                                    "--ends-in", "3600", "--price", "1"]
    with Run(build, workdir, sim_args, settings={"sectobid": str(SECONDS_BEFORE_END)},
             verbose=verbose) as run:
        run.desktop = DesktopBuses(build, run.workdir)
        run.program.buses = run.desktop.env
        run.step("private session and system buses with the fake logind and notifications")
        page_title, _ = run.sim.item_page(ITEM)
        end = end_epoch(page_title)
        run.start_program()
        title = run.take_over(ITEM)
        run.arm(AMOUNT, ACCOUNT, PASSWORD)

        lock = lock_taken(run, 1)
        expected = {"what": "sleep:idle", "who": "GebotsfalkePlus", "mode": "block",
                    "why": "Gebot für %s um %s" % (ITEM, berlin_text(end - SECONDS_BEFORE_END))}
        check(all(lock[k] == v for k, v in expected.items()), "the lock: %r" % lock)
        run.step("armed, logind holds the lock: " + lock["why"])

        # The user turns to the browser while the snipe runs.
        viewer = run.x.run("xdotool", "search", "--name", r"\(endet ").stdout.split()[0]
        run.x.run("xdotool", "windowactivate", "--sync", viewer)
        form = run.program.window("Form1")
        check(active_window(run) != int(form.id), "the main window is still the active one")

        window = run.wait_outcome(end - time.time() + 30)
        check(window.text("LabelZeit") == WON, "the window shows %r" % window.text("LabelZeit"))
        released(run, 0, 5, "the lock to be let go after the bid")
        notes = wait_for(lambda: run.desktop.state()["notifications"], 10, "the notification")
        note = notes[0]
        check(len(notes) == 1 and note["summary"] == title and note["body"] == WON
              and note["icon"] == "org.example.GebotsfalkePlus" and note["image"] == [48, 48]
              and "default" in note["actions"], "the notification: %r" % notes)
        run.step("notification: %s / %s" % (note["summary"], note["body"].replace("\n", " ")))
        check(active_window(run) != int(form.id), "the main window came to the front by itself")
        run.desktop.click()
        wait_for(lambda: active_window(run) == int(form.id), 10,
                 "the main window to come to the front after the click")
        run.step("the click on the notification brought the main window to the front")

        # Armed again for another auction, then ended by SIGTERM (as at logout).
        stop_process(run.viewer)
        run.take_over(SECOND_ITEM)
        run.user.replace_text("Form1", "Txt_maxbid", AMOUNT)  # it still holds the last amount
        run.user.key("Return")
        run.program.wait_window("Form1", lambda w: w.text("Command1") == "nicht bieten", 10,
                                "the window armed again")
        lock = lock_taken(run, 2)
        check(lock["why"].startswith("Gebot für %s um " % SECOND_ITEM), "the lock: %r" % lock)
        run.end_program()
        released(run, 1, 5, "the lock to be let go when the program ended")
        notes = run.desktop.state()["notifications"]
        check(len(notes) == 1, "the outcome was announced more than once: %r" % notes)
        messages = run.program.messages()
        check(not [m for m in messages if m.startswith("Ruhezustand")],
              "the log says the lock could not be taken: %r" % messages)
        run.step("SIGTERM while armed: the lock was let go")
