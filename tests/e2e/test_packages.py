"""The packages of scripts/package as users get them: their files and what the Debian tools say
of them; the copy from the .deb (unpacked with dpkg-deb, never installed) winning a snipe and
leaving updates to the package manager. The portable folder's own update is test_update."""

import gzip
import os
import re
import shutil
import stat
import struct
import subprocess
import tarfile

from harness import APP_ID, VERSION, read_ini, wait_for
from journey import ACCOUNT_ARGS, SECTOBID, item_args, snipe

# Everything the .deb holds under /usr, with its mode; nothing else may be in it.
DEB_FILES = {
    "bin/gebotsfalkeplus": 0o755,
    "libexec/gebotsfalkeplus/doupdate": 0o755,
    "share/applications/%s.desktop" % APP_ID: 0o644,
    "share/metainfo/%s.metainfo.xml" % APP_ID: 0o644,
    "share/icons/hicolor/48x48/apps/%s.png" % APP_ID: 0o644,
    "share/icons/hicolor/128x128/apps/%s.png" % APP_ID: 0o644,
    "share/icons/hicolor/256x256/apps/%s.png" % APP_ID: 0o644,
    "share/icons/hicolor/scalable/apps/%s.svg" % APP_ID: 0o644,
    "share/man/man1/gebotsfalkeplus.1.gz": 0o644,
    "share/doc/gebotsfalkeplus/copyright": 0o644,
    "share/doc/gebotsfalkeplus/changelog.gz": 0o644,
}
PORTABLE_FILES = {"gebotsfalkeplus": 0o755, "doupdate": 0o755, "install-desktop-entry": 0o755,
                  APP_ID + ".desktop": 0o644, APP_ID + ".png": 0o644, "LICENSE": 0o644}
PORTABLE_ENTRY = APP_ID + ".Portable.desktop"  # never the package's id, which it would hide
README = os.path.join(os.path.dirname(__file__), "..", "..", "README.md")
OFFERED = "1.03.0007"
NEWER_FOR_PACKAGE = (
    "Eine neuere Version von GebotsfalkePlus ist erschienen: %s (installiert ist %s).\n"
    "Diese Kopie wurde über die Paketverwaltung installiert und wird auch über sie "
    "aktualisiert. Bitte installieren Sie die neue Version als Paket, zum Beispiel mit apt."
    % (OFFERED, VERSION))


def files_with_modes(top):
    return {os.path.relpath(os.path.join(folder, name), top):
            stat.S_IMODE(os.lstat(os.path.join(folder, name)).st_mode)
            for folder, _, names in os.walk(top) for name in names}


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", "%s is no PNG" % path
    return struct.unpack(">II", head[16:24])


def tool(*args, env=None):
    return subprocess.run(list(args), capture_output=True, text=True, env=env, timeout=300)


def desktop_file(path):
    """The [Desktop Entry] group of a file that desktop-file-validate accepts."""
    result = tool("desktop-file-validate", path)
    assert result.returncode == 0 and not (result.stdout + result.stderr).strip(), result
    return read_ini(path, "Desktop Entry")


def string_value(raw):
    """A desktop entry value of the kind string, its escapes undone."""
    return re.sub(r"\\([sntr\\])", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r",
                                              "\\": "\\"}[m.group(1)], raw)


def exec_arguments(raw):
    """The program and arguments an Exec value names: the string escapes undone, then split at
    blanks, double quotes grouping, a backslash inside them keeping the next '"', '`', '$' or
    '\\' literal, as the desktop entry rules say; '%%' is '%'."""
    words = re.findall(r'"((?:[^"\\]|\\.)*)"|([^" ]+)', string_value(raw))
    return [(re.sub(r'\\([`"$\\])', r"\1", quoted) or bare).replace("%%", "%")
            for quoted, bare in words]


def check_deb(packages, workdir):
    fields = {f: tool("dpkg-deb", "-f", packages.deb, f).stdout.strip()
              for f in ("Package", "Version", "Architecture", "Section", "Depends")}
    arch = tool("dpkg", "--print-architecture").stdout.strip()
    assert list(fields.values())[:4] == ["gebotsfalkeplus", VERSION, arch, "net"], fields
    depends = [d.strip().split(" ")[0] for d in fields["Depends"].split(",")]
    # From dpkg-shlibdeps: the libraries the executables really link, with their versions.
    for library in ("libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6network6",
                    "libqt6dbus6", "libxcb1", "libasound2", "libsodium23", "qt6-qpa-plugins",
                    "fonts-liberation2"):
        assert library in depends, "Depends lacks %s: %s" % (library, fields["Depends"])
    # The README's apt line for the portable folder names every package beyond Qt's own modules
    # and the C and C++ runtime's (which the Qt packages bring along).
    with open(README, encoding="utf-8") as f:
        portable_line = [line for line in f if "sudo apt install libqt6" in line]
    assert len(portable_line) == 1, portable_line
    listed = [word.strip("`):")
              for word in portable_line[0].split("sudo apt install", 1)[1].split()]
    own = [d for d in depends if not d.startswith(
        ("libqt6core", "libqt6gui", "libqt6widgets", "libqt6network", "libqt6dbus", "qt6-",
         "libc6", "libgcc", "libstdc++", "libxcb"))]
    assert set(own) <= set(listed), "the README's portable list lacks %r" % (set(own) - set(listed))
    root = packages.unpack_deb(os.path.join(workdir, "deb"))
    usr = os.path.join(root, "usr")
    assert os.listdir(root) == ["usr"], "the .deb puts files outside /usr"
    assert files_with_modes(usr) == DEB_FILES
    for size in (48, 128, 256):
        path = os.path.join(usr, "share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, APP_ID))
        assert png_size(path) == (size, size), path
    entry = desktop_file(os.path.join(usr, "share/applications/%s.desktop" % APP_ID))
    assert [entry.get(k) for k in ("Exec", "Icon", "Categories")] == [
        "gebotsfalkeplus", APP_ID, "Network;"], entry
    assert {"Name", "Name[de]", "Comment", "Comment[de]"} <= set(entry), entry
    metainfo = os.path.join(usr, "share/metainfo/%s.metainfo.xml" % APP_ID)
    # The file alone, as pedantically as software centres read it and with every address it
    # names fetched (it names none, so this holds offline too), and with what it names in the
    # tree (the desktop entry).
    for command in (["validate", "--pedantic", metainfo], ["validate-tree", "--no-net", root]):
        result = tool("appstreamcli", *command)
        assert result.returncode == 0, result
    with open(metainfo, encoding="utf-8") as f:
        text = f.read()
    assert "<id>%s</id>" % APP_ID in text and \
        '<launchable type="desktop-id">%s.desktop</launchable>' % APP_ID in text
    with gzip.open(os.path.join(usr, "share/man/man1/gebotsfalkeplus.1.gz"), "rt") as f:
        page = f.read()
    assert ".B \\-time" in page and ".B \\-bay" in page, "the manual page lacks -time or -bay"
    result = tool("lintian", "--fail-on", "error,warning", "--display-info", packages.deb)
    assert result.returncode == 0 and not re.search("^[EW]:", result.stdout, re.M), result
    return root


def check_portable(packages, deb_root, workdir):
    with tarfile.open(packages.portable) as archive:
        assert all(m.uid == 0 and m.gid == 0 for m in archive.getmembers()), "owners not root"
    folder = packages.unpack_portable(os.path.join(workdir, "portable", "Mein Programm"))
    assert files_with_modes(folder) == PORTABLE_FILES
    assert png_size(os.path.join(folder, APP_ID + ".png")) == (256, 256)
    for mine, packaged in (("gebotsfalkeplus", "bin/gebotsfalkeplus"),
                           ("doupdate", "libexec/gebotsfalkeplus/doupdate"),
                           (APP_ID + ".desktop", "share/applications/%s.desktop" % APP_ID)):
        with open(os.path.join(folder, mine), "rb") as a, \
                open(os.path.join(deb_root, "usr", packaged), "rb") as b:
            assert a.read() == b.read(), "%s differs between the packages" % mine
    return folder


def check_install_desktop_entry(folder, workdir):
    """The portable folder's script registers this copy for the user: the entry starts the
    program in the folder (whose name needs quoting) with the folder's icon, and --remove
    takes it away again."""
    # A folder name with every character the Exec quoting must protect.
    odd = os.path.join(os.path.dirname(folder), 'Gebots "falke" $HOME `x` a\\b')
    shutil.copytree(folder, odd, symlinks=True)
    data = os.path.join(workdir, "data")
    env = dict(os.environ, XDG_DATA_HOME=data)
    entry_path = os.path.join(data, "applications", PORTABLE_ENTRY)
    # An entry under the package's id, as earlier versions of the script wrote it, goes.
    earlier = os.path.join(data, "applications", APP_ID + ".desktop")
    os.makedirs(os.path.dirname(earlier))
    with open(earlier, "w", encoding="utf-8") as f:
        f.write("[Desktop Entry]\nTryExec=/alt/gebotsfalkeplus\n")
    for where in (folder, odd):
        result = tool(os.path.join(where, "install-desktop-entry"), env=env)
        assert result.returncode == 0, result
        entry = desktop_file(entry_path)
        executable = os.path.join(where, "gebotsfalkeplus")
        assert (exec_arguments(entry["Exec"]), string_value(entry["TryExec"]),
                string_value(entry["Icon"]), entry["Name[de]"]) == (
            [executable], executable, os.path.join(where, APP_ID + ".png"),
            "GebotsfalkePlus (portabel)"), entry
        assert not os.path.exists(earlier), "an entry under the package's id is left"
        assert stat.S_IMODE(os.stat(entry_path).st_mode) == 0o644
    result = tool(os.path.join(odd, "install-desktop-entry"), "--remove", env=env)
    assert result.returncode == 0 and not os.path.exists(entry_path), result
    assert os.listdir(os.path.join(data, "applications")) in ([], ["mimeinfo.cache"])


def test_files(packages, build, workdir):
    """The contents of both packages and the Debian tools' checks; `cmake --install` puts the
    same files into a prefix as the .deb into /usr, and no piece of the portable folder."""
    deb_root = check_deb(packages, workdir)
    prefix = os.path.join(workdir, "prefix")
    assert tool("cmake", "--install", build.root, "--prefix", prefix).returncode == 0
    assert sorted(files_with_modes(prefix)) == sorted(DEB_FILES)
    check_install_desktop_entry(check_portable(packages, deb_root, workdir), workdir)


def test_win(packages, journey, workdir):
    """The winning snipe of e2e.win with the program from the .deb; the menu entry's
    StartupWMClass is the main window's class, so that the desktop puts it under its icon."""
    j = journey(item_args(22, 14) + ACCOUNT_ARGS, settings={"sectobid": str(SECTOBID)})
    root = packages.unpack_deb(os.path.join(workdir, "root"))
    j.program.executable = os.path.join(root, "usr", "bin", "gebotsfalkeplus")
    entry = read_ini(os.path.join(root, "usr/share/applications/%s.desktop" % APP_ID),
                     "Desktop Entry")

    def wm_class(j):
        out = j.x.run("xprop", "-id", j.program.window("Form1").id, "WM_CLASS").stdout.strip()
        assert out == 'WM_CLASS(STRING) = "gebotsfalkeplus", "%s"' % entry["StartupWMClass"]
    snipe(j, 22, SECTOBID, started=wm_class)


def test_installed(packages, journey, workdir):
    """The copy from the .deb started as installed (no GEBOTSFALKE_HOME): its program folder is
    ~/.local/share/GebotsfalkePlus, even where the superuser could write beside the executable.
    It shows no update mark, whose update would download nothing: after "Uhr synchronisieren"
    (whose outcome box is switched off) it says that a newer version is out and that the
    package manager brings it, and asks the vendor server for nothing but the version."""
    user = os.path.join(workdir, "user")  # the user's home folder
    home = os.path.join(user, ".local", "share", "GebotsfalkePlus")
    j = journey(["--vendor-version", OFFERED], settings={"msgonsync": "0"}, home=home)
    root = packages.unpack_deb(os.path.join(workdir, "root"))
    j.program.executable = os.path.join(root, "usr", "bin", "gebotsfalkeplus")
    j.program.home_variable, j.program.user_home = False, user
    j.start_program()
    j.user.click("Form1", "Lbl_GetTime")
    box = j.program.wait_window("QMessageBox", timeout=30, what="the notice")
    assert box.label_text() == NEWER_FOR_PACKAGE
    j.user.press("QMessageBox", "OK")
    wait_for(lambda: not j.program.window("QMessageBox"), 10, "the box to close")
    assert not j.program.window("Form1").shown("Lbl_update"), "the update mark is shown"
    j.end_program()
    assert [r["path"] for r in j.sim.requests() if r["path"].startswith("/files/")] == \
        ["/files/update+"], j.sim.requests()
    assert os.listdir(os.path.join(root, "usr", "bin")) == ["gebotsfalkeplus"]
    messages = j.program.messages()
    assert messages[:1] == ["GebotsfalkePlus gestartet - Version " + VERSION], messages
    assert not [m for m in messages if m.startswith("Update")], messages
    settings = j.program.settings()
    assert (settings.get("Update"), settings.get("InstallDir")) == (OFFERED, home), settings
