#!/usr/bin/env python3
"""Benchmark: the install engine against a plain WinINet reference and curl, on nginx over loopback.

Prints wall times, the engine's ratio to each reference, and peak working sets. Figures only; it asserts
nothing. Products: 2,000 files of 16 KiB, and one file of 512 MiB (sizes can be set with
--small-count and --big-mib).

--signed BUILD_DIR also signs each product with that build's test key (build/windows-signed after
scripts/test.sh) and times its engine, which checks the signed list and every file's SHA-256, against the
unsigned engine, in turn: the best of five runs each.
"""
import hashlib
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


def sign_product(folder, files, private_key):
    """list.sha256 and list.sha256.sig beside list.txt, as a publisher makes them."""
    with open(os.path.join(folder, "list.sha256"), "w") as out:
        for rel, _ in files:
            digest = hashlib.sha256()
            with open(os.path.join(folder, rel), "rb") as f:
                for block in iter(lambda: f.read(1024 * 1024), b""):
                    digest.update(block)
            out.write("%s  %s\n" % (digest.hexdigest(), rel))
    subprocess.run(["openssl", "dgst", "-sha256", "-sign", private_key, "-out",
                    os.path.join(folder, "list.sha256.sig"), os.path.join(folder, "list.sha256")], check=True)


def time_engine(wine, cli, url, target_win):
    """Wall time of one install into a fresh folder, and its figures."""
    shutil.rmtree(wine.host_path(target_win), ignore_errors=True)
    os.makedirs(wine.host_path(target_win))
    wine.clear_inet_cache()   # no run may read what an earlier one left in WinINet's cache
    os.sync()                 # nor pay for the disk write-back of the one before
    start = time.time()
    rc, out = wine.run(cli, [url, target_win], timeout=3600, name="engine")
    elapsed = time.time() - start
    return elapsed, dict(l.split(" ", 1) for l in out.splitlines() if l.startswith(("result", "peak")))


def compare_signed(wine, port, name, signed_cli, runs=5):
    """The unsigned and the signed engine in turn, runs installs each; the best time of each.

    Single runs vary by a factor of two or more on a busy machine (disk write-back, the wineserver
    starting or still running), so the two alternate and only the best of each is compared.
    """
    target_win = "C:\\bench\\%s-signed\\" % name
    url = "http://127.0.0.1:%d/%s/list.txt" % (port, name)
    best = {}
    # One wineserver for every run: whether the last run's server is still up or already gone
    # otherwise decides more of a run's time than the work does.
    wine.run_raw(["wineserver", "-w"])
    wine.run_raw(["wineserver", "-p"])
    for _ in range(runs):
        for label, cli in (("unsigned", harness.ENGINE_CLI), ("signed", signed_cli)):
            elapsed, figures = time_engine(wine, cli, url, target_win)
            if label not in best or elapsed < best[label][0]:
                best[label] = (elapsed, figures)
    for label in ("unsigned", "signed"):
        elapsed, figures = best[label]
        print("  engine %-8s %7.2f s  result %s  peak working set %s KiB" %
              (label, elapsed, figures.get("result", "?"), figures.get("peak_working_set_kib", "?")))
    print("  engine signed / engine unsigned = %.2f" % (best["signed"][0] / best["unsigned"][0]))
    shutil.rmtree(wine.host_path(target_win), ignore_errors=True)
    wine.run_raw(["wineserver", "-k"])


def run_case(wine, port, name, files):
    target_win = "C:\\bench\\%s\\" % name
    target = wine.host_path(target_win)

    def fresh(path):
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        wine.clear_inet_cache()

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
    wine.clear_inet_cache()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--small-count", type=int, default=2000)
    parser.add_argument("--big-mib", type=int, default=512)
    parser.add_argument("--signed", metavar="BUILD_DIR", help="also time the engine of this key-built build")
    args = parser.parse_args()
    signed_cli = None
    if args.signed:
        signed_cli = os.path.join(args.signed, "tests", "tools", "engine_cli.exe")
        private_key = os.path.join(args.signed, "test-key", "private.pem")

    os.makedirs(harness.WORK, exist_ok=True)
    root = os.path.join(harness.WORK, "root")
    small = [("f%04d.bin" % i, 16 * 1024) for i in range(args.small_count)]
    big = [("big.bin", args.big_mib * 1024 * 1024)]
    for name, files in (("small", small), ("big", big)):
        folder = make_product(root, name, files)
        if signed_cli:
            sign_product(folder, files, private_key)
    port = harness.free_port()
    nginx = harness.Nginx(root, port)
    wine = harness.Wine("wine")
    try:
        run_case(wine, port, "small", small)
        if signed_cli:
            compare_signed(wine, port, "small", signed_cli)
        run_case(wine, port, "big", big)
        if signed_cli:
            compare_signed(wine, port, "big", signed_cli)
    finally:
        nginx.close()
        wine.close()
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
