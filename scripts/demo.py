#!/usr/bin/env python3
"""Runs the installer against the bundled demo update server on 127.0.0.1:18490.

Builds nothing itself (scripts/demo.sh does); generates a small sample product, lists it with
qelmora-publish into the server's folder, serves that with nginx, and starts the installer under Wine.
With a display it waits for you to use the window; without one it runs under Xvfb, clicks install,
waits for the end and saves screenshots.
"""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QELMORA_WINDOWS_BUILD_DIR", os.path.join(ROOT, "build", "windows-demo"))
os.environ.setdefault("QELMORA_TEST_WORK", os.path.join(ROOT, "build", "demo"))
os.environ.setdefault("QELMORA_ARTIFACTS", os.path.join(ROOT, "build", "demo", "screenshots"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))

import harness  # noqa: E402

PUBLISH = os.path.join(ROOT, "build", "native", "publisher", "qelmora-publish")
PORT = 18490
INSTALL_DIR = "C:\\Program Files\\Qelmora\\"
SAMPLE = {
    "Termview.exe": b"MZ" + b"\0" * 4094,
    "readme.txt": "Qelmora 演示产品\r\n".encode("gbk"),
    "data\\skin.bmp": bytes(range(256)) * 64,
    "lang/zh_CN/消息.txt": "你好，世界\r\n".encode("gbk"),
    "插件/工具.dll": b"\x90" * 20000,
    "docs/用户手册.txt": "第一章 安装\r\n".encode("gbk"),
}


def make_product(root):
    """The sample product as a publisher has it (UTF-8 names), and the server's folder qelmora-publish makes."""
    product = os.path.join(harness.WORK, "product")
    shutil.rmtree(product, ignore_errors=True)
    shutil.rmtree(root, ignore_errors=True)
    for name, data in SAMPLE.items():
        path = os.path.join(product, name.replace("\\", "/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    print("qelmora-publish %s --server-dir %s" % (product, os.path.join(root, "Lineinstall_qmra")))
    subprocess.run([PUBLISH, product, "--server-dir", os.path.join(root, "Lineinstall_qmra")], check=True)


def main():
    os.makedirs(harness.WORK, exist_ok=True)
    root = os.path.join(harness.WORK, "server")
    make_product(root)
    nginx = harness.Nginx(root, PORT)
    print("demo update server: http://127.0.0.1:%d/Lineinstall_qmra/list.txt" % PORT)
    wine = harness.Wine("wine")
    on_display = bool(os.environ.get("DISPLAY")) and "--xvfb" not in sys.argv
    if not on_display:
        wine.start_display()
    target = wine.host_path(INSTALL_DIR)
    shutil.rmtree(target, ignore_errors=True)
    proc = wine.start(harness.EXE, name="installer")
    try:
        if wine.driver("wait-window", 30000)[0] != 0:
            print("the installer window did not come up")
            return 1
        if on_display:
            print("The installer is on your display; use it, then close it.")
            proc.wait()
        else:
            print("screenshot:", wine.screenshot("1-idle"))
            wine.driver("click", 1001)
            time.sleep(0.5)
            print("screenshot:", wine.screenshot("2-installing"))
            if wine.driver("wait-visible", 1003, 60000)[0] != 0:
                print("the install did not end in time")
                return 1
            print("screenshot:", wine.screenshot("3-finished"))
            wine.driver("click", 1003)
            wine.driver("wait-gone", 10000)
        print("\ninstalled into %s (%s):" % (INSTALL_DIR, target))
        for base, _, names in sorted(os.walk(target)):
            for name in sorted(names):
                path = os.path.join(base, name)
                print("  %-40s %8d bytes" % (os.path.relpath(path, target), os.path.getsize(path)))
        script = os.path.join(target, "unload.bat")
        if os.path.exists(script):
            print("\nunload.bat:")
            print(open(script, "rb").read().decode("gbk", "replace"))
        print("\nrequests served:")
        print(nginx.access_log())
        return 0
    finally:
        harness.stop_process(proc)
        nginx.close()
        wine.close()


if __name__ == "__main__":
    sys.exit(main())
