"""eBay's route, the whole way a user goes: the own keyset typed into the eBay-Zugang dialog,
eBay's consent given in a real browser (Firefox ESR), the address it ends at pasted back; an
item link copied and taken over with eBay's data; armed; the bid through eBay's Offer API after
the trigger second on the site's clock; "gewonnen" after the end. The refresh token lies in a
real Secret Service (gnome-keyring-daemon on the journey's private session bus), and neither it
nor the Cert ID nor the password lies in any file the program wrote."""

import datetime
import json
import os
import shutil
import subprocess
import time

from desktop import Browser
from harness import ACCOUNT, ITEM, PASSWORD, skip, stop_process, wait_for
from journey import item_args

KEYSET = ("Jane-Snipe-SBX-1a2b", "SBX-c3d4+/=", "Jane-Ru-x")  # App ID, Cert ID, RuName
SECONDS_BEFORE_END = 4
ENDS_IN = 120  # a browser's start and the sign-in come first on a busy machine


def test_ebay(journey, desktop, workdir):
    j = journey(item_args(ENDS_IN, 14) + ["--account", ACCOUNT + ":" + PASSWORD,
                                          "--ebay-keyset", ":".join(KEYSET)],
                settings={"sectobid": str(SECONDS_BEFORE_END)})
    with open(os.path.join(j.program.home, "endpoints.ini"), "a") as f:
        f.write("EbayApiHost=%s\nEbayAuthHost=%s\n" % (j.sim.base_url, j.sim.base_url))
    j.program.buses = desktop.env
    keyring_env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=desktop.env["DBUS_SESSION_BUS_ADDRESS"],
                       XDG_DATA_HOME=os.path.join(workdir, "data"), XDG_RUNTIME_DIR=j.program.runtime)
    keyring = start_keyring(keyring_env)
    # The desktop's default browser as the program asks xdg-open for it: noted, then opened in
    # Firefox.
    opened = os.path.join(workdir, "opened-url")
    os.makedirs(os.path.join(workdir, "bin"))
    with open(os.path.join(workdir, "bin", "xdg-open"), "w") as f:
        f.write('#!/bin/sh\nprintf "%%s" "$1" > %s\n' % opened)
    os.chmod(os.path.join(workdir, "bin", "xdg-open"), 0o755)
    j.program.extra_env = {"PATH": os.path.join(workdir, "bin") + ":" + os.environ["PATH"]}
    try:
        j.start_program()
        sign_in(j, opened)

        j.step("taking the item over from its copied link")
        j.copy("https://www.ebay.de/itm/Maerklin-Dampflok/%s" % ITEM)
        j.user.click("Form1", "Lbl_GetArtikel")
        window = j.program.wait_window("Form1", lambda w: w.text("Lbl_Mindestgebot"), 15,
                                       "eBay's item data")
        shown = (window.text("Lbl_Preis"), window.text("Lbl_Mindestgebot"))
        assert shown == ("Aktuell 10,00 EUR (1 Gebot)", "Mindestgebot 10,50 EUR"), shown
        end = end_of(j)
        j.arm("20,00")

        j.wait_outcome(end - time.time() + 30)
        bids = [r for r in j.sim.requests() if r["path"].endswith("/place_proxy_bid")]
        assert len(bids) == 1, "%d bids through the API instead of one" % len(bids)
        assert (int(end) - SECONDS_BEFORE_END) * 1000 <= bids[0]["arrival_ms"] < end * 1000, \
            "the bid arrived %.3f s before the end" % (end - bids[0]["arrival_ms"] / 1000)
        assert '"value":"20.00"' in bids[0]["body"].replace(" ", ""), bids[0]["body"]
        won = j.program.wait_window(
            "Form1", lambda w: w.text("LabelZeit").startswith("Auktion\ngewonnen!"), 30,
            "eBay's verdict after the end")
        j.step("after the end: " + won.text("LabelZeit").replace("\n", " / "))
        assert any("gewonnen" in n.get("body", "") for n in desktop.state()["notifications"])
        token = refresh_token(j)
        assert token and in_keyring(keyring_env, token), "the refresh token is not in the keyring"
        j.end_program()
        for name, secret in (("refresh token", token), ("Cert ID", KEYSET[1]),
                             ("password", PASSWORD)):
            found = files_holding([j.program.home, j.program.config], secret)
            assert not found, "the %s is in %s" % (name, found)
    finally:
        stop_process(keyring)


def sign_in(j, opened):
    """Options, "eBay-Zugang…": the keyset, "Anmelden", consent in Firefox, the address the
    browser ends at copied from its address bar and pasted into the dialog."""
    j.step("signing in through the eBay-Zugang dialog")
    j.user.click("Form1", "Lbl_Optionen")
    j.program.wait_window("frmOptions", timeout=10, what="the options dialog")
    j.user.click("frmOptions", "cmdEbayZugang")
    j.program.wait_window("EbayZugang", timeout=10, what="the eBay-Zugang dialog")
    j.user.replace_text("EbayZugang", "Txt_AppId", KEYSET[0])
    j.user.click("EbayZugang", "Txt_CertId")
    j.user.type(KEYSET[1])
    j.user.replace_text("EbayZugang", "Txt_RuName", KEYSET[2])
    j.user.click("EbayZugang", "cmdAnmelden")
    url = wait_for(lambda: os.path.exists(opened) and open(opened).read(), 10,
                   "the consent page to be opened")
    j.browser = Browser("firefox", j.x, j.workdir, url)
    j.browser.wait_page("Grant application access")
    j.x.run("xdotool", "windowactivate", "--sync", j.browser.window)
    j.user.type(ACCOUNT)  # the user ID field has the focus
    j.user.key("Tab")
    j.user.type(PASSWORD)
    j.user.key("Return")
    j.browser.wait_page("Authorization successfully completed")

    def copy_address():  # again until it is copied: a busy browser may miss the first keys
        j.x.run("xdotool", "windowactivate", "--sync", j.browser.window)
        j.user.key("ctrl+l", "ctrl+c")
        return "code=" in j.x.run("xclip", "-selection", "clipboard", "-o").stdout
    wait_for(copy_address, 20, "the address copied", interval=1)
    j.user.click("EbayZugang", "Txt_Adresse")
    j.user.key("ctrl+v", "Return")
    status = j.program.wait_window(
        "EbayZugang", lambda w: w.text("Lbl_Status").startswith("Angemeldet, gültig bis"), 15,
        "the sign-in").text("Lbl_Status")
    j.step(status)
    j.browser.stop()
    j.browser = None
    j.user.click("EbayZugang", "cmdOK")
    wait_for(lambda: not j.program.window("EbayZugang"), 10, "the dialog to close")
    j.user.click("frmOptions", "cmdCancel")
    wait_for(lambda: not j.program.window("frmOptions"), 10, "the options to close")


def start_keyring(env):
    """gnome-keyring-daemon, unlocked, on the journey's session bus."""
    if not shutil.which("gnome-keyring-daemon") or not shutil.which("secret-tool"):
        skip("gnome-keyring-daemon or secret-tool is not installed (scripts/install-deps)")
    daemon = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--components=secrets",
                               "--unlock"], env=env, stdin=subprocess.PIPE,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    daemon.stdin.write(b"schluessel")
    daemon.stdin.close()
    wait_for(lambda: "org.freedesktop.secrets" in subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"], env=env,
        capture_output=True, text=True).stdout, 10, "the Secret Service on the session bus")
    return daemon


def end_of(j):
    """The auction's end (Unix seconds, with milliseconds) as eBay's API gave it."""
    for r in j.sim.requests():
        if "get_item_by_legacy_id" in r["path"] and "itemEndDate" in r.get("answer", ""):
            end = json.loads(r["answer"])["itemEndDate"]
            return datetime.datetime.strptime(end, "%Y-%m-%dT%H:%M:%S.%f%z").timestamp()
    assert False, "the item was not read through the Browse API"


def refresh_token(j):
    """The refresh token eBay (the simulator) handed out at the sign-in."""
    for r in j.sim.requests():
        if r["path"] == "/identity/v1/oauth2/token" and "refresh_token" in r.get("answer", ""):
            return json.loads(r["answer"])["refresh_token"]
    return None


def in_keyring(env, secret):
    """Whether the Secret Service holds the secret (secret-tool lists every item's secret)."""
    out = subprocess.run(["secret-tool", "search", "--all", "--unlock", "xdg:schema",
                          "org.qt.keychain"], env=env, capture_output=True, text=True).stdout
    return ("secret = " + secret) in out


def files_holding(folders, secret):
    found = []
    for folder in folders:
        for root, _, names in os.walk(folder):
            for name in names:
                with open(os.path.join(root, name), "rb") as f:
                    if secret.encode() in f.read():
                        found.append(os.path.join(root, name))
    return found
