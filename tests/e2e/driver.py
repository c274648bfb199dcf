#!/usr/bin/env python3
"""Plays a user of GebotsfalkePlus on a private X server against the bundled auction simulator.

  driver.py test NAME --build DIR [--workdir DIR] [--packages DIR]
      one end-to-end test (win, chromium, firefox, clipboard-link, clipboard-number, timesync,
      timesync-ahead, missed, update, desktop, ebay),
      or one of the packages of scripts/package in DIR (package-files: their contents and the
      checks of the Debian tools; package-win: the snipe with the copy from the .deb;
      package-installed: that copy leaves the update to the package manager; package-update:
      the portable folder updates itself); exit code 0 when it passed, 1 when it failed, 77
      when it cannot run on this machine
  driver.py demo --build DIR [--workdir DIR] [--ends-in S] [--sectobid S]
      the headless demo: a winning snipe, told step by step, with the log, the simulator's
      verdict and screenshots; exit code 1 when the bid did not arrive or no outcome was shown
"""

import argparse
import datetime
import os
import sys
import time
import traceback

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from scenarios import ACCOUNT, AMOUNT, BERLIN, BID_CASES, BROWSER_CASES, BROWSER_ENDS_IN, \
    CLIPBOARD_CASES, LAG, PASSWORD, run_bid, run_missed, run_timesync, run_update  # noqa: E402
from session import SKIP, Build, Failure, Skip, form_fields, fresh_folder, say  # noqa: E402
from packaged import run_installed_update, run_package_win  # noqa: E402
from desktop import run_desktop  # noqa: E402
from ebay import run_ebay  # noqa: E402
from packages import Packages, check_files  # noqa: E402

PACKAGE_TESTS = ["package-files", "package-win", "package-installed", "package-update"]
TESTS = sorted(BID_CASES) + sorted(BROWSER_CASES) + sorted(CLIPBOARD_CASES) + \
    ["timesync", "timesync-ahead", "missed", "update", "desktop", "ebay"] + PACKAGE_TESTS


def run_test(build, name, workdir, packages_dir):
    if name in PACKAGE_TESTS:
        packages = Packages(packages_dir)
        if name == "package-files":
            check_files(packages, packages_dir, fresh_folder(workdir))
        elif name == "package-win":
            run_package_win(build, workdir, packages, verbose=True)
        elif name == "package-installed":
            run_installed_update(build, workdir, packages, verbose=True)
        else:
            run_update(build, workdir, verbose=True, portable=packages)
    elif name in BID_CASES:
        run_bid(build, workdir, BID_CASES[name], ends_in=22, sectobid=4, verbose=True)
    elif name in BROWSER_CASES:
        run_bid(build, workdir, BID_CASES["win"], ends_in=BROWSER_ENDS_IN, sectobid=4,
                verbose=True, browser=name)
    elif name in CLIPBOARD_CASES:
        run_bid(build, workdir, BID_CASES["win"], ends_in=22, sectobid=4, verbose=True,
                clipboard=CLIPBOARD_CASES[name])
    elif name == "timesync":
        run_timesync(build, workdir, verbose=True)
    elif name == "timesync-ahead":
        run_timesync(build, workdir, verbose=True, lag=-LAG)
    elif name == "missed":
        run_missed(build, workdir, verbose=True)
    elif name == "update":
        run_update(build, workdir, verbose=True)
    elif name == "desktop":
        run_desktop(build, workdir, verbose=True)
    elif name == "ebay":
        run_ebay(build, workdir, verbose=True)
    else:
        raise SystemExit("unknown test %s (known: %s)" % (name, ", ".join(TESTS)))


def clock(epoch, millis=False):
    """German time of day, as the auction site shows it."""
    t = datetime.datetime.fromtimestamp(epoch, BERLIN)
    return t.strftime("%H:%M:%S") + (".%03d" % (t.microsecond // 1000) if millis else "")


def run_demo(build, workdir, ends_in, sectobid):
    say("GebotsfalkePlus headless demo: an auction ending in %d s, account %s / %s, "
        "maximum bid %s, bid %d s before the end." % (ends_in, ACCOUNT, PASSWORD, AMOUNT,
                                                       sectobid))
    failure = None
    try:
        result = run_bid(build, workdir, BID_CASES["win"], ends_in, sectobid, verbose=True,
                         shots=True, seconds_typed=True)
    except Failure as e:
        failure, result = e, None
    if result:
        say("\nLog (%s):" % result["log_path"])
        for fields in result["log"]:
            say("  " + "  ".join(fields))
        end = result["end"]
        say("\nSimulator: the auction ended at %s, the trigger second was %s; it received:"
            % (clock(end), clock(end - sectobid)))
        for r in result["requests"]:
            if r["method"] == "POST":
                fields = form_fields(r["body"])
                what = "%s %s" % (fields.get("MfcISAPICommand"), "user=" + fields["user"]
                                  if "user" in fields else "maxbid=" + fields.get("maxbid", ""))
            else:
                what = "%s (outcome report: %s)" % (r["path"], r["headers"].get(
                    "User-Agent", "").rsplit(" - ", 1)[-1])
            say("  %s  %s %-44s %.3f s before the end" % (
                clock(r["arrival_ms"] / 1000.0, True), r["method"], what,
                end - r["arrival_ms"] / 1000.0))
        facts = result["facts"]
        say("Verdict of the auction site: high bidder %s, current price %s, %s bids." % (
            facts.get("Höchstbietender"), facts.get("Aktuelles Gebot"), facts.get("Gebote")))
        say("The window shows: %s" % result["shown"].replace("\n", " / "))
        say("\nScreenshots:\n  armed:   %s\n  outcome: %s" % (result["armed_png"],
                                                           result["outcome_png"]))
        say("\nDemo passed: the bid arrived in time and the outcome was shown.")
        return 0
    say("\nDemo FAILED: %s" % failure)
    say("Everything of the run is in %s" % workdir)
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["test", "demo"])
    parser.add_argument("name", nargs="?")
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--workdir", help="folder for this run's files (emptied first)")
    parser.add_argument("--packages", help="the folder of scripts/package's packages "
                        "(default: build-package beside the build folder)")
    parser.add_argument("--ends-in", type=int, default=35)
    parser.add_argument("--sectobid", type=int, default=5)
    args = parser.parse_args()

    started = time.monotonic()
    try:
        build = Build(args.build)
        if args.mode == "demo":
            workdir = args.workdir or os.path.join(build.root, "demo-headless")
            return run_demo(build, workdir, args.ends_in, args.sectobid)
        if args.name not in TESTS:
            parser.error("name one of: " + ", ".join(TESTS))
        workdir = args.workdir or os.path.join(build.root, "tests", "e2e", "work", args.name)
        packages = args.packages or os.path.join(os.path.dirname(build.root), "build-package")
        run_test(build, args.name, workdir, packages)
        say("PASSED %s in %.1f s" % (args.name, time.monotonic() - started))
        return 0
    except Skip as e:
        say("SKIPPED: %s" % e)
        return SKIP
    except Failure as e:
        say("FAILED after %.1f s: %s" % (time.monotonic() - started, e))
        traceback.print_exc()
        return 1


if __name__ == "__main__":
    sys.exit(main())
