"""A Wine session for driving the updater: the project's 32-bit prefix (or
the 64-bit test tree's, for patchtool.exe) with the Japanese locale, a virtual
display when none is usable, a server kept away from our pipes, the game's
registry value, and the fixtures every run needs (a game installation and
payloads built with the native patchtool)."""

import os
import pathlib
import shutil
import struct
import subprocess

CAPTION = "「ヴェルモラ」 Updater ver 1.02"
ENGINE_MUTEX = "Quillon for Velmora is executing."
REG_KEY = "HKEY_LOCAL_MACHINE\\Software\\LARKWELL\\ヴェルモラ"
DEVNULL = subprocess.DEVNULL


def wine_unusable(root):
    """Why this machine cannot run the Win32 programs under Wine, or None."""
    probe = subprocess.run([os.path.join(root, "scripts", "wine-usable.sh")], stdin=DEVNULL,
                           stdout=DEVNULL, stderr=subprocess.PIPE, text=True)
    return probe.stderr.strip() or "wine is unusable" if probe.returncode else None


def hex932(text):
    return text.encode("cp932").hex()


class WineSession:
    def __init__(self, root, prefix, work):
        self.root = root
        self.prefix = prefix
        self.work = work
        self.xvfb = None
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=prefix, WINEARCH="win32", LC_ALL="ja_JP.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=",
                        WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
        # The loader: Debian's `wine` (32-bit), or with UPDATER_WINEARCH=win64
        # the 64-bit one that the 64-bit test tree runs under (scripts/wine-arch.sh).
        self.loader = "wine"
        if os.environ.get("UPDATER_WINEARCH") == "win64":
            self.loader = os.environ.get("UPDATER_WINE64", "/usr/lib/wine/wine64")
            self.env.update(WINEARCH="win64", WINELOADER=self.loader)

    def start(self):
        subprocess.run([os.path.join(self.root, "scripts", "wine-prefix.sh"), self.prefix],
                       check=True, stdin=DEVNULL, stdout=DEVNULL, env=self.env)
        if not self.env.get("DISPLAY"):
            self._start_xvfb()
        self.server_up()

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def server_up(self):
        # Wine's background processes would keep a harness's pipes open: start
        # the server and a first process with every stream on /dev/null.
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)
        self.wine(["cmd", "/c", "exit"], timeout=60)

    def server_down(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)

    def stop(self):
        self.server_down()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
            self.xvfb = None
        # Leave a warm server behind, as the harness had it: a Wine program
        # that the harness starts next on a cold server would hand its pipes
        # to Wine's background processes and never seem to end.
        warm = dict(self.env)
        if os.environ.get("DISPLAY"):
            warm["DISPLAY"] = os.environ["DISPLAY"]
        else:
            warm.pop("DISPLAY", None)
        subprocess.run(["wineserver", "-p"], env=warm, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)
        subprocess.run([self.loader, "cmd", "/c", "exit"], env=warm, stdin=DEVNULL, stdout=DEVNULL,
                       stderr=DEVNULL, timeout=60)

    def wine(self, args, timeout):
        try:
            return subprocess.run([self.loader] + args, env=self.env, stdin=DEVNULL, stdout=DEVNULL,
                                  stderr=DEVNULL, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            self.server_down()
            return None

    @staticmethod
    def winpath(path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def run_log(self):
        """The updater's run log in the prefix's temporary folder, as a
        pathlib.Path (which may not exist yet)."""
        found = sorted(pathlib.Path(self.prefix, "drive_c", "users").glob("*/Temp/Velmora-updater.log"))
        return found[0] if found else pathlib.Path(self.prefix, "drive_c", "users", "root", "Temp",
                                                   "Velmora-updater.log")

    def set_install_folder(self, folder, kind="sz"):
        """Registers `folder` (a Linux path) as the game's installation; None
        removes the registration. kind "expand" stores a REG_EXPAND_SZ."""
        lines = ["Windows Registry Editor Version 5.00", "", "[-%s]" % REG_KEY, ""]
        if folder is not None:
            value = self.winpath(folder)
            if kind == "expand":
                data = ",".join("%02x" % b for b in (value + "\0").encode("utf-16-le"))
                lines += ["[%s]" % REG_KEY, '"InstalledFolder"=hex(2):%s' % data, ""]
            else:
                lines += ["[%s]" % REG_KEY, '"InstalledFolder"="%s"' % value.replace("\\", "\\\\"), ""]
        reg = os.path.join(self.work, "install.reg")
        with open(reg, "wb") as f:
            f.write("\r\n".join(lines).encode("utf-16"))  # UTF-16LE with its BOM
        self.wine(["regedit", "/s", self.winpath(reg)], timeout=60)

    def drive(self, out, seconds, exe, driver, args):
        """Runs the test driver against `exe`; returns its key=value report."""
        if os.path.exists(out):
            os.remove(out)
        code = self.wine([self.winpath(driver), self.winpath(out), str(seconds), self.winpath(exe)] + args,
                         timeout=seconds + 30)
        report = {"driver_status": str(code)}
        if os.path.exists(out):
            with open(out, "rb") as f:
                for line in f.read().decode("ascii", "replace").splitlines():
                    key, _, value = line.partition("=")
                    report[key] = value
        self.server_down()  # nothing of this run survives into the next
        return report


# ----------------------------------------------------------------- fixtures

def checksums(patchtool, paths):
    out = subprocess.run([patchtool, "checksum"] + paths, check=True, capture_output=True).stdout
    result = {}
    for line in out.decode().splitlines():
        digest, _, path = line.partition("  ")
        result[path] = bytes.fromhex(digest)
    return result


def write_hash_list(path, records):
    """An installed KXQ.hvl, version 2: 16-byte header, 256-byte records."""
    with open(path, "wb") as f:
        f.write(b"WQX_V2__" + struct.pack("<II", 0, len(records)))
        for rel, digest in records:
            name = rel.encode("cp932")
            f.write(name + b"\0" * (248 - len(name)) + digest)


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_source(folder, big_mib):
    """The new files of a patch; one big enough that its copy is still
    running when the driver acts."""
    shutil.rmtree(folder, ignore_errors=True)
    write_file(os.path.join(folder, "system.arc"), b"new system " * 6000)
    write_file(os.path.join(folder, "Archive", "data01000.arc"), os.urandom(big_mib << 20))
    write_file(os.path.join(folder, "Archive", "data01001.arc"), b"new data " * 20000)
    write_file(os.path.join(folder, "Archive", "empty.arc"), b"")


def make_game(folder, patchtool):
    """An installed game of the previous version, with its hash list and
    uninstall list."""
    shutil.rmtree(folder, ignore_errors=True)
    files = {"system.arc": b"old system " * 300, "other.arc": b"not in the patch " * 50,
             "Archive/data01000.arc": b"old data " * 1000, "Archive/data01001.arc": b"old 1001 " * 100}
    for rel, data in files.items():
        write_file(os.path.join(folder, rel), data)
    paths = [os.path.join(folder, rel) for rel in files]
    sums = checksums(patchtool, paths)
    write_hash_list(os.path.join(folder, "KXQ.hvl"),
                    [(rel.replace("/", "\\"), sums[p]) for rel, p in zip(files, paths)])
    write_file(os.path.join(folder, "uninst.lst"),
               b"System.arc\r\nArchive\\DATA01000.arc\r\n$Uninstaller\r\nother.arc\r\n")


def build_patch(patchtool, stub, source, out):
    subprocess.run([patchtool, "build", "--stub", stub, "--caption", CAPTION, "--out", out, source],
                   check=True, stdin=DEVNULL, stdout=DEVNULL)


def snapshot(folder):
    """Every file under `folder` with its bytes."""
    result = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            with open(path, "rb") as f:
                result[os.path.relpath(path, folder)] = f.read()
    return result


