"""Drives the real program under Wine on a virtual display, as an operator would: the 32-bit
release build under 32-bit Wine, or on a machine that cannot run 32-bit x86 code the 64-bit test
build of the same sources under 64-bit Wine.

Every wait has a bound: a window that never comes, a program that never ends, a tool that hangs
each end in a failure instead of a stuck test run."""
import os
import shutil
import signal
import subprocess
import threading
import time
from pathlib import Path

MAIN_TITLE = "QUORVANEX FPGA Update"
# With no window manager Wine draws the frame itself; the client area starts this far below the
# window's top (caption and menu bar with the default metrics).
CLIENT_TOP = 44


# The scenario statements that have the stand-in library write, into out/ in the program's folder,
# what the emulated device received: its flash, a snapshot at each write active, the trace of
# frames and replies, and the summary.
OUTPUTS = """output-flash out/flash.bin
output-snapshots out/snapshot
output-trace out/trace.txt
output-summary out/summary.txt
"""


class Failure(Exception):
    pass


def read_summary(folder):
    """The emulator's summary in the program's folder, or None when it wrote none: "calls" maps
    each bridge operation (and "total") to its count, "snapshots" lists each snapshot's fields,
    and every other line maps its first word to the rest."""
    path = Path(folder) / "out" / "summary.txt"
    if not path.exists():
        return None
    summary = {"snapshots": []}
    for line in path.read_text().splitlines():
        key, _, rest = line.partition(" ")
        if key == "calls":
            summary["calls"] = dict(item.split("=") for item in rest.split())
        elif key == "snapshot":
            summary["snapshots"].append(dict(item.split("=") for item in rest.split()[1:]))
        else:
            summary[key] = rest
    return summary


def run(command, timeout=30, check=True, env=None, capture=True, cwd=None):
    result = subprocess.run(command, timeout=timeout, env=env, text=True, cwd=cwd,
                            stdout=subprocess.PIPE if capture else None,
                            stderr=subprocess.PIPE if capture else None)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(map(str, command))} failed: {result.stderr}")
    return result


def prepare_program_folder(build, folder):
    """A fresh folder with the programs and the stand-in bridge library beside them, and out/ for
    the emulator's outputs."""
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "out").mkdir(parents=True)
    for program in ("quorvanex-update.exe", "quorvanex-cli.exe"):
        if (build / "release" / program).exists():
            shutil.copy(build / "release" / program, folder)
    shutil.copy(build / "emulator-library" / "SiUSBXp.dll", folder)
    return folder


def run_console_program(prefix, folder, arguments, scenario, timeout=120, errors=None):
    """The command line program in its folder, with the emulator's scenario; its exit code and
    what it printed on standard output. What it said on standard error is appended to the list
    errors, when one is given."""
    env = dict(prefix.env, QUORVANEX_EMULATOR_SCENARIO=str(scenario))
    result = run(prefix.wine("quorvanex-cli.exe", *arguments), timeout=timeout, check=False,
                 env=env, cwd=folder)
    if errors is not None:
        errors.append(result.stderr)
    return result.returncode, result.stdout


class VirtualDisplay:
    """An Xvfb server on a free display number."""

    def __init__(self, width=1024, height=768):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline:
                self.close()
                raise Failure("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()


def program_architecture(build):
    """win32 or win64: the Wine that the build's programs need, read from the window program's
    header (the machine field of its PE header)."""
    data = (Path(build) / "release" / "quorvanex-update.exe").read_bytes()
    header = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[header + 4:header + 6], "little")
    architectures = {0x014C: "win32", 0x8664: "win64"}
    if data[header:header + 4] != b"PE\0\0" or machine not in architectures:
        raise Failure(f"{build}: not a build of 32-bit or 64-bit Windows programs")
    return architectures[machine]


# Debian's wine command prefers the 32-bit loader whenever it is installed; a 64-bit prefix needs
# the 64-bit one by name.
WINE64_LOADER = "/usr/lib/wine/wine64" if Path("/usr/lib/wine/wine64").exists() else "wine64"


class WinePrefix:
    """A private prefix of the kind that the build's programs need, in build/ beside the build;
    made once, with the X11 driver settings that let keys arrive and windows close at once without
    a window manager."""

    def __init__(self, build, display, number=1):
        self.architecture = program_architecture(build)
        suffix = "" if self.architecture == "win32" else "-win64"
        # Programs run side by side each in a prefix of their own: one prefix is one wineserver,
        # whose named objects and drives all its programs share.
        suffix += "" if number == 1 else f"-{number}"
        self.path = Path(build).parent / f"wine-prefix-gui{suffix}"
        self.loader = "wine" if self.architecture == "win32" else WINE64_LOADER
        self.env = dict(os.environ, WINEPREFIX=str(self.path), WINEARCH=self.architecture,
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        DISPLAY=display.name)
        if self.architecture == "win64":
            self.env["WINELOADER"] = self.loader
        self.env.pop("QUORVANEX_EMULATOR_SCENARIO", None)
        marker = self.path / "quorvanex-gui-ready"
        if not marker.exists():
            shutil.rmtree(self.path, ignore_errors=True)
            run(self.wine("wineboot", "-i"), timeout=180, env=self.env)
            for value in ("Managed", "UseTakeFocus"):
                run(self.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", value,
                              "/d", "N", "/f"), timeout=60, env=self.env)
            run(["wineserver", "-w"], timeout=60, env=self.env)
            marker.write_text("ready\n")
        # Wine draws the caption buttons with Marlett; Debian ships it apart from the prefix.
        fonts = self.path / "drive_c" / "windows" / "Fonts"
        marlett = Path("/usr/share/wine/fonts/marlett.ttf")
        if marlett.exists() and fonts.is_dir() and not (fonts / "marlett.ttf").exists():
            shutil.copy(marlett, fonts)

    def description(self):
        """Which build runs under which Wine, for figures and reports."""
        version = run([self.loader, "--version"], env=self.env, check=False).stdout.strip()
        bits = "32-bit" if self.architecture == "win32" else "64-bit"
        return f"{bits} programs under {bits} Wine ({version or 'version unknown'})"

    def wine(self, *arguments):
        """The command that runs a program of the prefix's kind."""
        return [self.loader, *map(str, arguments)]

    def end_all(self):
        """Ends every process of the prefix."""
        run(["wineserver", "-k"], timeout=30, env=self.env, check=False)
        run(["wineserver", "-w"], timeout=30, env=self.env, check=False)


class Program:
    """The program started in a folder of its own, as the operator's current directory."""

    def __init__(self, prefix, folder, executable="quorvanex-update.exe", scenario=None,
                 arguments=()):
        self.prefix = prefix
        env = dict(prefix.env)
        if scenario is not None:
            env["QUORVANEX_EMULATOR_SCENARIO"] = str(scenario)
        self.process = subprocess.Popen(prefix.wine(executable, *arguments), cwd=folder, env=env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, start_new_session=True)
        # Its output is read as it comes, so that a scenario can wait for a line of it.
        self.lines = []
        self.error_lines = []
        self.readers = [threading.Thread(target=self._read, args=(stream, into), daemon=True)
                        for stream, into in ((self.process.stdout, self.lines),
                                             (self.process.stderr, self.error_lines))]
        for reader in self.readers:
            reader.start()
        self.output = ""
        self.errors = ""

    @staticmethod
    def _read(stream, into):
        for line in stream:
            into.append(line)

    def wait_for_line(self, found, timeout):
        """Waits until a line of its standard output satisfies found(line)."""
        deadline = time.monotonic() + timeout
        while not any(found(line) for line in list(self.lines)):
            if time.monotonic() > deadline or not self.running() and not any(
                    found(line) for line in list(self.lines)):
                raise Failure(f"no such line of output within {timeout} s: {''.join(self.lines)}")
            time.sleep(0.1)

    def wait(self, timeout):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure(f"the program did not end within {timeout} s")
        for reader in self.readers:
            reader.join(timeout=10)
        self.output = "".join(self.lines)
        self.errors = "".join(self.error_lines)
        return self.process.returncode

    def running(self):
        return self.process.poll() is None

    def interrupt(self):
        """Ctrl-C in the program's console: Wine hands SIGINT to the program as CTRL_C_EVENT."""
        os.kill(self.process.pid, signal.SIGINT)

    def end_alone(self):
        """Ends the program itself at once, as the task manager does, and none it started."""
        os.kill(self.process.pid, signal.SIGKILL)
        self.process.wait(timeout=10)

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(timeout=10)


class Desktop:
    """xdotool and ImageMagick on one display."""

    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display.name)

    def windows(self, title):
        result = run(["timeout", "5", "xdotool", "search", "--onlyvisible", "--name",
                      f"^{title}$"], env=self.env, check=False)
        return [int(w) for w in result.stdout.split()]

    def wait_for(self, title, count=1, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.windows(title)
            if len(found) >= count:
                return found
            time.sleep(0.1)
        raise Failure(f"no window titled {title!r} within {timeout} s")

    def keys(self, window, *keys):
        run(["timeout", "10", "xdotool", "windowfocus", "--sync", str(window)], env=self.env)
        time.sleep(0.2)
        run(["xdotool", "key", "--delay", "80", *keys], env=self.env)

    def confirm(self, caption, key="Return", timeout=20):
        """Confirms the message box with this caption; returns its window."""
        box = self.wait_for(caption, timeout=timeout)[0]
        self.keys(box, key)
        return box

    def geometry(self, window):
        result = run(["xdotool", "getwindowgeometry", "--shell", str(window)], env=self.env)
        values = dict(line.split("=", 1) for line in result.stdout.split())
        return {key: int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT")}

    def move(self, window, x, y):
        run(["xdotool", "windowmove", "--sync", str(window), str(x), str(y)], env=self.env,
            timeout=10, check=False)

    def resize_by_keyboard(self, window, steps=6):
        """Widens the window through its system menu (Size, then the arrow keys), as an operator
        without a mouse would; Wine's own frame ignores a resize asked of the X window."""
        self.keys(window, "alt+space", "s")
        run(["xdotool", "key", "--delay", "80", *(["Right"] * steps), "Down", "Return"],
            env=self.env)

    def screenshot(self, path):
        run(["import", "-window", "root", str(path)], env=self.env, timeout=30)
        return path

    def cut_out(self, shot, window, path):
        """The window, its frame included, cut out of a screenshot; nothing but pixels kept, so
        the same picture gives the same file."""
        g = self.geometry(window)
        path.parent.mkdir(parents=True, exist_ok=True)
        run(["convert", str(shot), "-crop", f"{g['WIDTH']}x{g['HEIGHT']}+{g['X']}+{g['Y']}",
             "+repage", "-strip", str(path)], timeout=30)
        return path

    def darkest_in_client(self, window, shot):
        """The darkest grey level (0 black to 1 white) in the window's client area."""
        g = self.geometry(window)
        width, height = g["WIDTH"] - 12, g["HEIGHT"] - CLIENT_TOP - 6
        crop = f"{width}x{height}+{g['X'] + 6}+{g['Y'] + CLIENT_TOP}"
        result = run(["convert", str(shot), "-crop", crop, "-colorspace", "Gray", "-format",
                      "%[fx:minima]", "info:"], timeout=30)
        return float(result.stdout.strip())

    def darkest_in_row(self, window, shot, y, height=12):
        """The darkest grey level in a status row of the client area (y as the program paints)."""
        g = self.geometry(window)
        crop = f"{g['WIDTH'] - 12}x{height}+{g['X'] + 6}+{g['Y'] + CLIENT_TOP + y - 1}"
        result = run(["convert", str(shot), "-crop", crop, "-colorspace", "Gray", "-format",
                      "%[fx:minima]", "info:"], timeout=30)
        return float(result.stdout.strip())
