"""The packaged program as users get it: the copy from the .deb (unpacked with dpkg-deb, as the
package would install it under /usr) wins a snipe and leaves updates to the package manager;
the portable folder updates itself (scenarios.run_update with the archive)."""

import os

from packages import desktop_entry
from run import VERSION, Run
from scenarios import BID_CASES, run_bid
from session import check, wait_for

OFFERED = "1.03.0007"
NEWER_FOR_PACKAGE = (
    "Eine neuere Version von GebotsfalkePlus ist erschienen: %s (installiert ist %s).\n"
    "Diese Kopie wurde über die Paketverwaltung installiert und wird auch über sie "
    "aktualisiert. Bitte installieren Sie die neue Version als Paket, zum Beispiel mit apt."
    % (OFFERED, VERSION))


def installed_copy(packages, run):
    """Unpacks the .deb into the run's folder; the executable, as /usr/bin would hold it."""
    root = packages.unpack_deb(os.path.join(run.workdir, "root"))
    return root, os.path.join(root, "usr", "bin", "gebotsfalkeplus")


def check_wm_class(run, root):
    """The menu entry's StartupWMClass is the class of the main window, so that the desktop
    puts the window under the entry's icon."""
    entry = desktop_entry(os.path.join(root, "usr", "share", "applications",
                                       "org.example.GebotsfalkePlus.desktop"))
    window = run.program.window("Form1")
    out = run.x.run("xprop", "-id", window.id, "WM_CLASS").stdout.strip()
    check(out == 'WM_CLASS(STRING) = "gebotsfalkeplus", "%s"' % entry.get("StartupWMClass"),
          "the main window's %s, the entry's StartupWMClass=%s"
          % (out, entry.get("StartupWMClass")))
    run.step("window class matches the menu entry: " + out)


def run_package_win(build, workdir, packages, verbose=False):
    """The winning snipe of e2e.win with the program from the .deb."""
    root = []

    def prepare(run):
        where, run.program.executable = installed_copy(packages, run)
        root.append(where)
        run.step("GebotsfalkePlus from %s" % os.path.basename(packages.deb))

    run_bid(build, workdir, BID_CASES["win"], ends_in=22, sectobid=4, verbose=verbose,
            prepare=prepare, started=lambda run: check_wm_class(run, root[0]))


def run_installed_update(build, workdir, packages, verbose=False):
    """The copy from the .deb started as installed (no GEBOTSFALKE_HOME): its program folder is
    ~/.local/share/GebotsfalkePlus, even where the superuser could write beside the executable.
    It shows no update mark, whose update would download nothing: after "Uhr synchronisieren"
    (whose outcome box is switched off) it says that a newer version is out and that the
    package manager brings it, and asks the vendor server for nothing but the version."""
    user = os.path.join(workdir, "user")  # the user's home folder
    home = os.path.join(user, ".local", "share", "GebotsfalkePlus")
    with Run(build, workdir, ["--vendor-version", OFFERED], settings={"msgonsync": "0"},
             home=home, verbose=verbose) as run:
        root, run.program.executable = installed_copy(packages, run)
        run.program.home_variable = False
        run.program.user_home = user
        run.start_program()
        run.user.click("Form1", "Lbl_GetTime")
        box = run.program.wait_window("QMessageBox", timeout=30, what="the notice")
        said = box.label_text()
        check(said == NEWER_FOR_PACKAGE, "the notice says %r" % said)
        run.step("after the version check: " + said.replace("\n", " / "))
        run.user.activate(box)
        run.user.click_control(box.button("OK"))
        wait_for(lambda: not run.program.window("QMessageBox"), 10, "the box to close")
        check(not run.program.window("Form1").shown("Lbl_update"), "the update mark is shown")
        run.end_program()

        check([r["path"] for r in run.sim.requests() if r["path"].startswith("/files/")]
              == ["/files/update+"],
              "the installed copy asked the vendor server for files: %r" % run.sim.requests())
        check(sorted(os.listdir(os.path.join(root, "usr", "bin"))) == ["gebotsfalkeplus"],
              "files beside the installed executable: %r"
              % os.listdir(os.path.join(root, "usr", "bin")))
        messages = run.program.messages()
        check(messages[:1] == ["GebotsfalkePlus gestartet - Version " + VERSION]
              and not [m for m in messages if m.startswith("Update")],
              "log in %s: %r" % (home, messages))
        settings = run.program.settings()
        check(settings.get("Update") == OFFERED and settings.get("InstallDir") == home,
              "settings: %r" % settings)
