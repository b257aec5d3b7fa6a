#!/usr/bin/env python3
"""Benchmark: the install engine against a plain WinINet reference and curl, on nginx over loopback.

Prints wall times, the engine's ratio to each reference, and peak working sets. Figures only; it asserts
nothing. Products: 2,000 files of 16 KiB, and one file of 512 MiB (sizes can be set with
--small-count and --big-mib).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QELMORA_TEST_WORK", os.path.join(ROOT, "build", "bench"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))

import harness  # noqa: E402

REF_FETCH = os.path.join(harness.WIN_BUILD, "bench", "ref_fetch.exe")


def make_product(root, name, files):
    folder = os.path.join(root, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    block = os.urandom(1024 * 1024)
    for rel, size in files:
        with open(os.path.join(folder, rel), "wb") as f:
            left = size
            while left:
                n = min(left, len(block))
                f.write(block[:n])
                left -= n
    with open(os.path.join(folder, "list.txt"), "w") as f:
        f.write("\r\n".join(rel for rel, _ in files) + "\r\n")
    return folder


def run_case(wine, port, name, files):
    target_win = "C:\\bench\\%s\\" % name
    target = wine.host_path(target_win)

    def fresh(path):
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)

    fresh(target)
    start = time.time()
    rc, out = wine.run(harness.ENGINE_CLI, ["http://127.0.0.1:%d/%s/list.txt" % (port, name), target_win],
                       timeout=3600, name="engine")
    engine_time = time.time() - start
    engine = dict(l.split(" ", 1) for l in out.splitlines() if l.startswith(("result", "peak")))

    ref_win = "C:\\bench\\%s-ref" % name
    fresh(wine.host_path(ref_win + "\\"))
    paths_file = os.path.join(harness.WORK, name + "-paths.txt")
    with open(paths_file, "w") as f:
        f.write("\n".join("/%s/%s" % (name, rel) for rel, _ in files) + "\n")
    start = time.time()
    rc, ref_out = wine.run(REF_FETCH, ["127.0.0.1", str(port), ref_win, "Z:" + paths_file.replace("/", "\\")],
                           timeout=3600, name="ref")
    ref_time = time.time() - start
    ref = dict(l.split(" ", 1) for l in ref_out.splitlines() if " " in l)

    curl_dir = os.path.join(harness.WORK, name + "-curl")
    fresh(curl_dir)
    config = os.path.join(harness.WORK, name + "-curl.cfg")
    with open(config, "w") as f:
        for rel, _ in files:
            f.write('url = "http://127.0.0.1:%d/%s/%s"\noutput = "%s/%s"\n' % (port, name, rel, curl_dir, rel))
    start = time.time()
    subprocess.run(["curl", "-s", "-0", "-K", config], check=False)
    curl_time = time.time() - start

    total = sum(size for _, size in files)
    print("%s: %d files, %.1f MiB" % (name, len(files), total / 2**20))
    print("  engine      %7.2f s  result %s  peak working set %s KiB" %
          (engine_time, engine.get("result", "?"), engine.get("peak_working_set_kib", "?")))
    print("  wininet ref %7.2f s  failures %s  peak working set %s KiB" %
          (ref_time, ref.get("failures", "?"), ref.get("peak_working_set_kib", "?")))
    print("  curl        %7.2f s" % curl_time)
    print("  engine / wininet ref = %.2f    engine / curl = %.2f" % (engine_time / ref_time, engine_time / curl_time))
    shutil.rmtree(target, ignore_errors=True)
    shutil.rmtree(wine.host_path(ref_win + "\\"), ignore_errors=True)
    shutil.rmtree(curl_dir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--small-count", type=int, default=2000)
    parser.add_argument("--big-mib", type=int, default=512)
    args = parser.parse_args()

    os.makedirs(harness.WORK, exist_ok=True)
    root = os.path.join(harness.WORK, "root")
    small = [("f%04d.bin" % i, 16 * 1024) for i in range(args.small_count)]
    big = [("big.bin", args.big_mib * 1024 * 1024)]
    make_product(root, "small", small)
    make_product(root, "big", big)
    port = harness.free_port()
    nginx = harness.Nginx(root, port)
    wine = harness.Wine("wine")
    try:
        run_case(wine, port, "small", small)
        run_case(wine, port, "big", big)
    finally:
        nginx.close()
        wine.close()
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
