"""Base of the tests that drive the real installer window under Wine and Xvfb."""
import os
import shutil
import time
import unittest

import harness
from harness import FaultServer, Nginx, Wine

PREFIX = "/Lineinstall_qmra/"
INSTALL_DIR = "C:\\Program Files\\Qelmora\\"
SELF_DELETE = b'del "%~f0"'
# The script's first line, which keeps cmd's delayed expansion off whatever the user's settings.
SCRIPT_HEAD = b"@setlocal DisableDelayedExpansion\r\n"


def without_head(script):
    """A script's lines after its first, which the helpers below leave out (a script that a test wrote itself
    has none)."""
    return script[len(SCRIPT_HEAD):] if script.startswith(SCRIPT_HEAD) else script


class InstallerCase(unittest.TestCase):
    module = "installer"
    song_face = True   # False: a prefix without the stand-in for 宋体
    locale = "zh_CN.UTF-8"   # the Unix locale, which gives Wine's code pages
    exe = harness.EXE   # the build of the installer a module drives
    wine = None

    @classmethod
    def setUpClass(cls):
        cls.wine = Wine(cls.module, song_face=cls.song_face, locale=cls.locale)
        # A class cleanup, unlike tearDownClass, also runs when a module's own setUpClass fails after this:
        # the display and the wineserver never outlive the module.
        cls.addClassCleanup(cls.wine.close)
        cls.wine.start_display()
        cls.exe_win = "Z:" + cls.exe.replace("/", "\\")

    def setUp(self):
        self.dir = self.wine.host_path(INSTALL_DIR)
        shutil.rmtree(self.dir, ignore_errors=True)
        self.servers = []
        self.proc = None

    def tearDown(self):
        if self.proc is not None:
            harness.stop_process(self.proc)
            self.wine.end_session()
        for server in self.servers:
            server.close()

    # Servers on the port the test build fetches from.
    def fault_server(self, routes):
        server = FaultServer(port=harness.INSTALLER_PORT, routes={PREFIX + k: v for k, v in routes.items()})
        self.servers.append(server)
        return server

    def nginx(self, tree, manifest):
        root = os.path.join(self.wine.base, "nginx-root")
        shutil.rmtree(root, ignore_errors=True)
        self.addCleanup(shutil.rmtree, root, True)   # after tearDown has stopped the server
        for name, data in tree.items():
            path = os.path.join(root.encode(), b"Lineinstall_qmra", name.replace("\\", "/").encode("gbk"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        with open(os.path.join(root, "Lineinstall_qmra", "list.txt"), "wb") as f:
            f.write(manifest)
        server = Nginx(root, harness.INSTALLER_PORT)
        self.servers.append(server)
        return server

    # The installer and its window.
    def start_installer(self):
        # A fresh Wine session on a busy machine now and then makes no windows at all: the installer is
        # started once more in a new session before its window counts as missing.
        for attempt in range(2):
            self.proc = self.wine.start(self.exe, name="installer")
            rc, text = self.wine.driver("wait-window", 30000)
            if rc == 0:
                break
            harness.stop_process(self.proc)
            self.wine.end_session()
        self.assertEqual(rc, 0, "the window did not come up")
        return [int(v) for v in text.split()[1:5]]

    def visible(self, control_id):
        rc, text = self.wine.driver("visible", control_id)
        self.assertEqual(rc, 0)
        return text == "1"

    def wait_visible(self, control_id, ms=60000):
        return self.wine.driver("wait-visible", control_id, ms)[0] == 0

    def rect(self, control_id):
        rc, text = self.wine.driver("rect", control_id)
        self.assertEqual(rc, 0)
        return [int(v) for v in text.split()[1:5]]

    def real_click(self, control_id):
        """A real mouse click through X, at the control's centre."""
        left, top, right, bottom = self.rect(control_id)
        self.wine.xdotool("mousemove", (left + right) // 2, (top + bottom) // 2)
        time.sleep(0.2)
        self.wine.xdotool("click", 1)

    def layout(self, which):
        """{"client": (w, h), id: (x, y, w, h)} of the main window, the chooser or the second dialog."""
        rc, text = self.wine.driver("layout", which)
        self.assertEqual(rc, 0, "no %s window" % which)
        found = {}
        for line in text.splitlines():
            parts = line.split()
            if parts[0] == "client":
                found["client"] = (int(parts[1]), int(parts[2]))
            else:
                found[int(parts[1])] = tuple(int(v) for v in parts[2:6])
        return found

    def key(self, name):
        self.wine.xdotool("key", name)

    @staticmethod
    def wait_for(condition, timeout=30.0, step=0.05):
        """Polls condition() until it holds or timeout seconds pass; returns its last value. Tests wait for the
        state they check this way, however long a busy machine takes to reach it."""
        end = time.time() + timeout
        while True:
            value = condition()
            if value or time.time() >= end:
                return value
            time.sleep(step)

    def wait_focus(self, expected, timeout=15):
        """Waits until the keyboard focus is where expected says ("main 1001 1": window, control, cues shown);
        returns where it was last seen."""
        self.wait_for(lambda: self.wine.driver("focus")[1] == "focus " + expected, timeout, step=0.1)
        return self.wine.driver("focus")[1][len("focus "):]

    def names(self, which):
        """{"window": (text, msaa), id: (text, msaa)} of the main window, the chooser or the second dialog;
        msaa None where the system gives no accessible name."""
        rc, text = self.wine.driver("names", which)
        self.assertEqual(rc, 0, "no %s window" % which)
        found = {}
        for line in text.splitlines():
            parts = line.split()
            key = "window" if parts[0] == "window" else int(parts[1])
            hexes = parts[1:] if key == "window" else parts[2:]
            text_hex = hexes[0] if len(hexes) == 2 else ""
            found[key] = (harness.unhexed(text_hex), None if hexes[-1] == "-" else harness.unhexed(hexes[-1]))
        return found

    def wait_exit(self, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            if self.proc.poll() is not None:
                return True
            time.sleep(0.02)
        return False

    def shot(self, name):
        return self.wine.screenshot(name)

    # What the installer left.
    def local(self, relative):
        return os.path.join(self.dir, relative.replace("\\", "/"))

    def script(self):
        with open(os.path.join(self.dir, "unload.bat"), "rb") as f:
            return without_head(f.read())

    def file_line(self, relative):
        return harness.batch_file_line(INSTALL_DIR + relative)

    def leftovers(self):
        found = []
        for base, _, names in os.walk(self.dir):
            found += [n for n in names if n.endswith(".~qdl")]
        return found
