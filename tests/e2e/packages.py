"""The packages of scripts/package as a user gets them: the .deb, unpacked with dpkg-deb into a
folder of its own (never installed on this machine), and the portable archive; and the checks
the Debian tools make of them."""

import glob
import gzip
import os
import shutil
import stat
import struct
import subprocess
import tarfile

from run import VERSION
from session import check, say

APP_ID = "org.example.GebotsfalkePlus"
PORTABLE = "GebotsfalkePlus"  # the archive's program folder
PORTABLE_ENTRY = APP_ID + ".Portable.desktop"  # never the package's id, which it would hide
README = os.path.join(os.path.dirname(__file__), "..", "..", "README.md")

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
# The portable program folder.
PORTABLE_FILES = {
    "gebotsfalkeplus": 0o755,
    "doupdate": 0o755,
    "install-desktop-entry": 0o755,
    APP_ID + ".desktop": 0o644,
    APP_ID + ".png": 0o644,
    "LICENSE": 0o644,
}
# Lintian warnings looked at and accepted (tag: why). Errors are never accepted.
ACCEPTED_LINTIAN_WARNINGS = {}


class Packages:
    """The two packages in the folder scripts/package writes them to."""

    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.deb = self._one("gebotsfalkeplus_%s_*.deb" % VERSION)
        self.portable = self._one("gebotsfalkeplus-%s-portable-*.tar.gz" % VERSION)

    def _one(self, pattern):
        found = glob.glob(os.path.join(self.folder, pattern))
        check(len(found) == 1, "%d packages %s in %s (scripts/package builds them)"
              % (len(found), pattern, self.folder))
        return found[0]

    def unpack_deb(self, root):
        """The .deb's files under root, as dpkg would put them under /; root/usr/bin/..."""
        os.makedirs(root, exist_ok=True)
        result = subprocess.run(["dpkg-deb", "-x", self.deb, root], capture_output=True,
                                text=True)
        check(result.returncode == 0, "dpkg-deb -x: %s" % result.stderr.strip())
        return root

    def unpack_portable(self, into):
        """Unpacks the archive into a folder; the program folder inside it."""
        os.makedirs(into, exist_ok=True)
        with tarfile.open(self.portable) as archive:
            archive.extractall(into)
        return os.path.join(into, PORTABLE)


def files_with_modes(top):
    found = {}
    for folder, _, names in os.walk(top):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, top)] = stat.S_IMODE(os.lstat(path).st_mode)
    return found


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", "%s is no PNG" % path)
    return struct.unpack(">II", head[16:24])


def run_tool(*args, env=None):
    return subprocess.run(list(args), capture_output=True, text=True, env=env, timeout=300)


def desktop_entry(path):
    """The keys of a desktop entry's [Desktop Entry] group."""
    keys, inside = {}, False
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("["):
                inside = line == "[Desktop Entry]"
            elif inside and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                keys[key] = value
    return keys


def string_value(raw):
    """A desktop entry value of the kind string, its escapes undone."""
    out, i = [], 0
    escapes = {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}
    while i < len(raw):
        if raw[i] == "\\" and i + 1 < len(raw):
            out.append(escapes.get(raw[i + 1], "\\" + raw[i + 1]))
            i += 2
        else:
            out.append(raw[i])
            i += 1
    return "".join(out)


def exec_arguments(raw):
    """The program and arguments an Exec value names, read as the desktop entry rules say:
    the string escapes first, then arguments split at blanks, double quotes grouping, a
    backslash inside them keeping the next '"', '`', '$' or '\\' literal; '%%' is '%'."""
    text = string_value(raw)
    args, current, quoted, started, i = [], [], False, False, 0
    while i < len(text):
        c = text[i]
        if quoted:
            if c == "\\" and i + 1 < len(text) and text[i + 1] in '"`$\\':
                current.append(text[i + 1])
                i += 1
            elif c == '"':
                quoted = False
            else:
                current.append(c)
        elif c == '"':
            quoted = started = True
        elif c == " ":
            if started:
                args.append("".join(current))
            current, started = [], False
        else:
            current.append(c)
            started = True
        i += 1
    check(not quoted, "Exec has an unclosed quote: %r" % raw)
    if started:
        args.append("".join(current))
    return [a.replace("%%", "%") for a in args]


def check_desktop_file(path):
    result = run_tool("desktop-file-validate", path)
    check(result.returncode == 0 and not result.stdout.strip() and not result.stderr.strip(),
          "desktop-file-validate %s:\n%s%s" % (path, result.stdout, result.stderr))
    return desktop_entry(path)


def check_deb(packages, workdir):
    fields = {}
    for field in ("Package", "Version", "Architecture", "Depends", "Section"):
        fields[field] = run_tool("dpkg-deb", "-f", packages.deb, field).stdout.strip()
    arch = run_tool("dpkg", "--print-architecture").stdout.strip()
    check(fields["Package"] == "gebotsfalkeplus" and fields["Version"] == VERSION
          and fields["Architecture"] == arch and fields["Section"] == "net",
          "control fields: %r" % fields)
    depends = [d.strip().split(" ")[0] for d in fields["Depends"].split(",")]
    # From dpkg-shlibdeps: the libraries the executables really link, with their versions.
    for library in ("libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6network6",
                    "libqt6dbus6", "libxcb1", "libasound2", "libsodium23", "qt6-qpa-plugins",
                    "fonts-liberation2"):
        check(library in depends, "Depends lacks %s: %s" % (library, fields["Depends"]))
    say("Depends: " + fields["Depends"])
    # The README's apt line for the portable folder names every package beyond Qt's own modules
    # and the C and C++ runtime's (which the Qt packages bring along).
    with open(README, encoding="utf-8") as f:
        portable_line = [line for line in f if "sudo apt install libqt6" in line]
    check(len(portable_line) == 1, "the README's portable apt line: %r" % portable_line)
    listed = [word.strip("`):")
              for word in portable_line[0].split("sudo apt install", 1)[1].split()]
    own = [d for d in depends if not d.startswith(
        ("libqt6core", "libqt6gui", "libqt6widgets", "libqt6network", "libqt6dbus", "qt6-",
         "libc6", "libgcc", "libstdc++", "libxcb"))]
    check(set(own) <= set(listed),
          "the README's portable list lacks %r" % sorted(set(own) - set(listed)))

    root = packages.unpack_deb(os.path.join(workdir, "deb"))
    usr = os.path.join(root, "usr")
    check(sorted(os.listdir(root)) == ["usr"], "the .deb puts files outside /usr: %r"
          % os.listdir(root))
    found = files_with_modes(usr)
    check(found == DEB_FILES, "the .deb's files differ:\n  missing %r\n  unexpected %r" % (
        {k: oct(v) for k, v in DEB_FILES.items() if found.get(k) != v},
        {k: oct(v) for k, v in found.items() if DEB_FILES.get(k) != v}))
    for size in (48, 128, 256):
        path = os.path.join(usr, "share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, APP_ID))
        check(png_size(path) == (size, size), "%s is %r" % (path, png_size(path)))

    entry = check_desktop_file(os.path.join(usr, "share/applications/%s.desktop" % APP_ID))
    check(entry.get("Exec") == "gebotsfalkeplus" and entry.get("Icon") == APP_ID
          and entry.get("Categories") == "Network;"
          and {"Name", "Name[de]", "Comment", "Comment[de]"} <= set(entry),
          "desktop entry: %r" % entry)
    metainfo = os.path.join(usr, "share/metainfo/%s.metainfo.xml" % APP_ID)
    # The file alone, as pedantically as software centres read it and with every address it
    # names fetched (none is unreachable, even offline: it names none), and with what it names
    # in the tree (the desktop entry).
    for command in (["validate", "--pedantic", metainfo], ["validate-tree", "--no-net", root]):
        result = run_tool("appstreamcli", *command)
        check(result.returncode == 0, "appstreamcli %s:\n%s%s"
              % (" ".join(command), result.stdout, result.stderr))
    with open(metainfo, encoding="utf-8") as f:
        text = f.read()
    check("<id>%s</id>" % APP_ID in text and
          '<launchable type="desktop-id">%s.desktop</launchable>' % APP_ID in text,
          "the metainfo names another application id")
    with gzip.open(os.path.join(usr, "share/man/man1/gebotsfalkeplus.1.gz"), "rt") as f:
        page = f.read()
    check(".B \\-time" in page and ".B \\-bay" in page, "the manual page lacks -time or -bay")

    result = run_tool("lintian", "--fail-on", "error,warning", "--display-info",
                      packages.deb)
    tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:", "I:")]
    failing = [t for t in tags if t[:2] in ("E:", "W:")]
    unaccepted = [t for t in failing
                  if t.startswith("E:") or t.split()[2] not in ACCEPTED_LINTIAN_WARNINGS]
    check(not unaccepted and (result.returncode == 0 or failing), "lintian:\n%s%s"
          % (result.stdout, result.stderr))
    say("lintian: %s" % ("; ".join(tags) or "nothing to report"))
    return root, entry


def check_cmake_install(build_dir, deb_root, workdir):
    """`cmake --install` without a component puts the same files into the prefix as the .deb
    into /usr, and no piece of the portable folder."""
    prefix = os.path.join(workdir, "prefix")
    result = run_tool("cmake", "--install", build_dir, "--prefix", prefix)
    check(result.returncode == 0, "cmake --install: %s" % result.stderr)
    check(sorted(files_with_modes(prefix)) == sorted(files_with_modes(
        os.path.join(deb_root, "usr"))), "cmake --install and the .deb differ: %r"
          % sorted(files_with_modes(prefix)))


def check_portable(packages, deb_root, workdir):
    with tarfile.open(packages.portable) as archive:
        members = archive.getmembers()
    check(all(m.uid == 0 and m.gid == 0 for m in members), "archive members not owned by root")
    folder = packages.unpack_portable(os.path.join(workdir, "portable", "Mein Programm"))
    found = files_with_modes(folder)
    check(found == PORTABLE_FILES, "the portable folder's files differ: %r" % {
        k: oct(v) for k, v in found.items()})
    check(png_size(os.path.join(folder, APP_ID + ".png")) == (256, 256), "portable icon size")
    usr = os.path.join(deb_root, "usr")
    for mine, packaged in (("gebotsfalkeplus", "bin/gebotsfalkeplus"),
                           ("doupdate", "libexec/gebotsfalkeplus/doupdate"),
                           (APP_ID + ".desktop", "share/applications/%s.desktop" % APP_ID)):
        with open(os.path.join(folder, mine), "rb") as a, \
                open(os.path.join(usr, packaged), "rb") as b:
            check(a.read() == b.read(), "%s differs between the packages" % mine)
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
        result = run_tool(os.path.join(where, "install-desktop-entry"), env=env)
        check(result.returncode == 0, "install-desktop-entry: %s" % result.stderr)
        entry = check_desktop_file(entry_path)
        executable = os.path.join(where, "gebotsfalkeplus")
        check(exec_arguments(entry["Exec"]) == [executable]
              and string_value(entry["TryExec"]) == executable
              and string_value(entry["Icon"]) == os.path.join(where, APP_ID + ".png")
              and entry["Name[de]"] == "GebotsfalkePlus (portabel)",
              "registered entry for %r: %r" % (where, entry))
        check(not os.path.exists(earlier), "an entry under the package's id is left")
        check(stat.S_IMODE(os.stat(entry_path).st_mode) == 0o644, "entry mode")
    result = run_tool(os.path.join(odd, "install-desktop-entry"), "--remove", env=env)
    check(result.returncode == 0 and not os.path.exists(entry_path),
          "install-desktop-entry --remove: %s" % result.stderr)
    check(os.listdir(os.path.join(data, "applications")) in ([], ["mimeinfo.cache"]),
          "left behind: %r" % os.listdir(os.path.join(data, "applications")))


def check_files(packages, build_dir, workdir):
    """Every check of the packages that needs no display."""
    deb_root, _ = check_deb(packages, workdir)
    check_cmake_install(build_dir, deb_root, workdir)
    folder = check_portable(packages, deb_root, workdir)
    check_install_desktop_entry(folder, workdir)

