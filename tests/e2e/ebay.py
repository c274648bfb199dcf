"""eBay's route, the whole way a user goes: the own keyset typed into the eBay-Zugang dialog,
eBay's consent given in a real browser (Firefox ESR), the address it ends at pasted back; an
item link copied and taken over with eBay's data; armed; the bid through eBay's Offer API after
the trigger second on the site's clock; "gewonnen" after the end. The refresh token lies in a
real Secret Service (gnome-keyring-daemon on the run's private session bus), and neither it nor
the Cert ID nor the password lies in any file the program wrote."""

import datetime
import json
import os
import shutil
import subprocess
import time

from browser import Browser
from run import Run
from scenarios import ACCOUNT, ITEM, PASSWORD, item_args
from session import DesktopBuses, Skip, check, stop_process, wait_for

KEYSET = ("Jane-Snipe-SBX-1a2b", "SBX-c3d4+/=", "Jane-Ru-x")  # App ID, Cert ID, RuName
SECONDS_BEFORE_END = 4
ENDS_IN = 120  # a browser's start and the sign-in come first on a busy machine
AMOUNT = "20,00"


def start_keyring(run):
    """gnome-keyring-daemon, unlocked, on the run's session bus."""
    if not shutil.which("gnome-keyring-daemon"):
        raise Skip("gnome-keyring-daemon is not installed (scripts/install-deps installs it)")
    env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=run.desktop.env["DBUS_SESSION_BUS_ADDRESS"],
               XDG_DATA_HOME=os.path.join(run.workdir, "data"),
               XDG_RUNTIME_DIR=run.program.runtime)
    daemon = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--components=secrets",
                               "--unlock"], env=env, stdin=subprocess.PIPE,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    daemon.stdin.write(b"schluessel")
    daemon.stdin.close()
    wait_for(lambda: "org.freedesktop.secrets" in subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"], env=env,
        capture_output=True, text=True).stdout, 10, "the Secret Service on the session bus")
    return daemon, env


def files_holding(folders, secret):
    found = []
    for folder in folders:
        for root, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(root, name)
                with open(path, "rb") as f:
                    if secret.encode() in f.read():
                        found.append(path)
    return found


def run_ebay(build, workdir, verbose=False):
    sim_args = item_args(ENDS_IN, rival_max=14) + [
        "--account", ACCOUNT + ":" + PASSWORD, "--ebay-keyset", ":".join(KEYSET)]
    with Run(build, workdir, sim_args, settings={"sectobid": str(SECONDS_BEFORE_END)},
             verbose=verbose) as run:
        with open(os.path.join(run.program.home, "endpoints.ini"), "a") as f:
            f.write("EbayApiHost=%s\nEbayAuthHost=%s\n" % (run.sim.base_url, run.sim.base_url))
        run.desktop = DesktopBuses(build, run.workdir)
        run.program.buses = run.desktop.env
        keyring, keyring_env = start_keyring(run)
        # The desktop's default browser, as the program asks xdg-open for it: noted here, then
        # opened in Firefox.
        bin_dir = os.path.join(run.workdir, "bin")
        os.makedirs(bin_dir)
        opened = os.path.join(run.workdir, "opened-url")
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write('#!/bin/sh\nprintf "%%s" "$1" > %s\n' % opened)
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        run.program.extra_env = {"PATH": bin_dir + ":" + os.environ["PATH"]}
        try:
            run.start_program()
            run.step("signing in through the eBay-Zugang dialog")
            run.user.click("Form1", "Lbl_Optionen")
            run.program.wait_window("frmOptions", timeout=10, what="the options dialog")
            run.user.click("frmOptions", "cmdEbayZugang")
            run.program.wait_window("EbayZugang", timeout=10, what="the eBay-Zugang dialog")
            run.user.replace_text("EbayZugang", "Txt_AppId", KEYSET[0])
            run.user.click("EbayZugang", "Txt_CertId")
            run.user.type(KEYSET[1])
            run.user.replace_text("EbayZugang", "Txt_RuName", KEYSET[2])
            run.user.click("EbayZugang", "cmdAnmelden")
            url = wait_for(lambda: os.path.exists(opened) and open(opened).read(), 10,
                           "the consent page to be opened")
            run.browser = Browser("firefox", run.x, run.workdir, url)
            run.browser.wait_page("Grant application access")
            run.x.run("xdotool", "windowactivate", "--sync", run.browser.window)
            run.user.type(ACCOUNT)  # the user ID field has the focus
            run.user.key("Tab")
            run.user.type(PASSWORD)
            run.user.key("Return")
            run.browser.wait_page("Authorization successfully completed")
            run.user.key("ctrl+l", "ctrl+c")  # the address the browser ends at
            wait_for(lambda: "code=" in run.x.run("xclip", "-selection", "clipboard",
                                                  "-o").stdout, 10, "the address copied")
            run.user.click("EbayZugang", "Txt_Adresse")
            run.user.key("ctrl+v", "Return")
            status = run.program.wait_window(
                "EbayZugang", lambda w: w.text("Lbl_Status").startswith("Angemeldet, gültig bis"),
                15, "the sign-in").text("Lbl_Status")
            run.step(status)
            run.browser.stop()
            run.browser = None
            run.user.click("EbayZugang", "cmdOK")
            wait_for(lambda: not run.program.window("EbayZugang"), 10, "the dialog to close")
            run.user.click("frmOptions", "cmdCancel")  # the options stay as they were
            wait_for(lambda: not run.program.window("frmOptions"), 10, "the options to close")

            run.step("taking the item over from its copied link")
            run.copy("https://www.ebay.de/itm/Maerklin-Dampflok/%s" % ITEM)
            run.user.click("Form1", "Lbl_GetArtikel")
            window = run.program.wait_window(
                "Form1", lambda w: w.text("Lbl_Mindestgebot") != "", 15, "eBay's item data")
            check(window.text("Lbl_Preis") == "Aktuell 10,00 EUR (1 Gebot)"
                  and window.text("Lbl_Mindestgebot") == "Mindestgebot 10,50 EUR",
                  "price and minimum bid shown: %r, %r"
                  % (window.text("Lbl_Preis"), window.text("Lbl_Mindestgebot")))
            item = [r for r in run.sim.requests() if "get_item_by_legacy_id" in r["path"]]
            end = wait_for(lambda: end_of(run, ITEM), 5, "the item's end")
            run.arm(AMOUNT)
            run.screenshot("armed.png")

            window = run.wait_outcome(end - time.time() + 30)
            bids = [r for r in run.sim.requests() if r["path"].endswith("/place_proxy_bid")]
            check(len(bids) == 1, "%d bids through the API instead of one" % len(bids))
            trigger_ms = (int(end) - SECONDS_BEFORE_END) * 1000
            check(trigger_ms <= bids[0]["arrival_ms"] < end * 1000,
                  "the bid arrived %.3f s before the end (trigger %d s before it)"
                  % (end - bids[0]["arrival_ms"] / 1000, SECONDS_BEFORE_END))
            check('"value":"20.00"' in bids[0]["body"].replace(" ", ""),
                  "the bid's amount: %r" % bids[0]["body"])
            check(item, "the item was not read through the Browse API")
            won = run.program.wait_window(
                "Form1", lambda w: w.text("LabelZeit").startswith("Auktion\ngewonnen!"), 30,
                "eBay's verdict after the end")
            run.step("after the end: " + won.text("LabelZeit").replace("\n", " / "))
            check(any("gewonnen" in n.get("body", "") for n in run.desktop.state()["notifications"]),
                  "no notification of the verdict")
            token = refresh_token(run)
            check(token and in_keyring(keyring_env, token),
                  "the refresh token is not in the Secret Service")
            run.end_program()
            folders = [run.program.home, run.program.config]
            for name, secret in (("refresh token", token), ("Cert ID", KEYSET[1]),
                                 ("password", PASSWORD)):
                found = files_holding(folders, secret)
                check(not found, "the %s is in %s" % (name, found))
        finally:
            stop_process(keyring)


def end_of(run, item):
    """The auction's end (Unix seconds, with milliseconds) as eBay's API gave it."""
    for r in run.sim.requests():
        if "get_item_by_legacy_id" in r["path"] and "itemEndDate" in r.get("answer", ""):
            end = json.loads(r["answer"])["itemEndDate"]
            return datetime.datetime.strptime(end, "%Y-%m-%dT%H:%M:%S.%f%z").timestamp()
    return None


def refresh_token(run):
    """The refresh token eBay (the simulator) handed out at the sign-in."""
    for r in run.sim.requests():
        if r["path"] == "/identity/v1/oauth2/token" and "refresh_token" in r.get("answer", ""):
            return json.loads(r["answer"])["refresh_token"]
    return None


def in_keyring(env, secret):
    """Whether the Secret Service holds the secret (secret-tool lists every item's secret)."""
    out = subprocess.run(["secret-tool", "search", "--all", "--unlock", "xdg:schema",
                          "org.qt.keychain"], env=env, capture_output=True, text=True)
    return ("secret = " + secret) in out.stdout
