#!/usr/bin/env python3
"""Benchmark: the installer on loopback, on a far server and through its real window.

Prints wall times, ratios to references measured in the same run, and peak working sets. Figures only;
it asserts nothing.
- loopback (nginx on 127.0.0.1): 2,000 files of 16 KiB and one file of 512 MiB, through the engine with
  one download at a time (N=1) and with the read-ahead (N=8), against a plain WinINet loop and curl;
- the reading of a list (native, the tools tree's Release build): 64 MiB of 16 KiB lines and 8 MiB of short
  lines, classified against the time to read them in;
- a far link (bench/far_link.py: every byte 15 ms late each way, a new connection one more round trip)
  in front of nginx: 600 and 2,000 files of 16 KiB through the engine at N=1 and N=8, against curl with 8
  parallel keep-alive transfers (the reference) and curl with 8 HTTP/1.0 transfers without keep-alive;
  the 600 files also over https (the test authority trusted in the benchmark's prefix). Each line says how
  many connections nginx saw;
- many small files from a near server: 20,000 files of 1 KiB in 200 folders, the engine at N=8 against
  curl with 8 parallel keep-alive transfers;
- a breaking link: one file of 64 MiB from a server that serves ranges and ETags, through a link that
  breaks every answer after 8 MiB, against the same file on a link that does not break (N=8);
- the real exe driven through its window (click install, wait for the finish button): a list of
  100,000 lines that are not fetched, the 600-file product over the far link and the loopback 2,000-file
  product;
- start-up: the real exe from its start to its shown window (visible, and initialised and painted: its
  first wait for input) and the processor time it used until then, against another build of the
  installer given with --start-reference EXE (for example one of the sources before a change, built in a
  folder of its own), in turn, many runs each.

--signed BUILD_DIR (the key-built test build that scripts/test.sh makes, build/windows-signed) adds the
loopback products signed with that build's test key: its engine, which checks the signed list and every
file's SHA-256, against the unsigned engine, in turn, the best of five runs each (single runs on a busy
machine vary by a factor of two or more); and the installer run again over a complete install (loopback
2,000 and far 600 files of 16 KiB), unchanged and with 1% of the files changed: seconds, bytes served and
product requests against the first run.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QELMORA_TEST_WORK", os.path.join(ROOT, "build", "bench"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))

import harness  # noqa: E402
from far_link import FarLink  # noqa: E402

REF_FETCH = os.path.join(harness.WIN_BUILD, "bench", "ref_fetch.exe")
FOLDER = "Lineinstall_qmra"


def small_product(count):
    block = os.urandom(16 * 1024)
    return {"f%04d.bin" % i: block for i in range(count)}


def write_tree(root, files):
    folder = os.path.join(root, FOLDER)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(folder)
    for rel, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, rel)), exist_ok=True)
        with open(os.path.join(folder, rel), "wb") as f:
            if isinstance(data, int):   # a size: written in blocks, never held whole
                block = os.urandom(1024 * 1024)
                left = data
                while left:
                    f.write(block[:min(left, len(block))])
                    left -= min(left, len(block))
            else:
                f.write(data)
    with open(os.path.join(folder, "list.txt"), "w") as f:
        f.write("\r\n".join(files) + "\r\n")


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def sign_product(root, files, private_key):
    """list.sha256 (header, then digest, size and line of every file) and list.sha256.sig beside list.txt,
    as a publisher makes them."""
    folder = os.path.join(root, FOLDER)
    with open(os.path.join(folder, "list.txt"), "rb") as f:
        list_digest = hashlib.sha256(f.read()).hexdigest()
    now = int(time.time())
    with open(os.path.join(folder, "list.sha256"), "w") as out:
        out.write("qelmora-list 2\nversion %d\nexpires %s\nlist.txt %s\n" % (
            now, time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(now + 86400)), list_digest))
        for rel in files:
            digest = hashlib.sha256()
            path = os.path.join(folder, rel)
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1024 * 1024), b""):
                    digest.update(block)
            out.write("%s  %d  %s\n" % (digest.hexdigest(), os.path.getsize(path), rel))
    subprocess.run(["openssl", "dgst", "-sha256", "-sign", private_key, "-out",
                    os.path.join(folder, "list.sha256.sig"), os.path.join(folder, "list.sha256")], check=True)


def compare_signed(wine, root, name, files, signed_build, runs=5):
    write_tree(root, files)
    sign_product(root, files, os.path.join(signed_build, "test-key", "private.pem"))
    signed_cli = os.path.join(signed_build, "tests", "tools", "engine_cli.exe")
    port = harness.free_port()
    nginx = harness.Nginx(root, port)
    # One wineserver for every run (the harness keeps it from the prefix's start until wine.close()):
    # whether the last run's server is still up or already gone otherwise decides more of a run's time
    # than the work does.
    best = {}
    try:
        for _ in range(runs):
            for label, cli in (("unsigned", harness.ENGINE_CLI), ("signed", signed_cli)):
                os.sync()   # no run pays for the disk write-back of the one before
                elapsed, result, peak = run_engine(wine, port, 8, cli)
                if label not in best or elapsed < best[label][0]:
                    best[label] = (elapsed, result, peak)
    finally:
        nginx.close()
    print("signed list, loopback %s (best of %d)" % (name, runs))
    for label in ("unsigned", "signed"):
        print("  engine %-8s %7.2f s  result %s  peak working set %s KiB" % ((label,) + best[label]))
    print("  signed / unsigned = %.2f" % (best["signed"][0] / best["unsigned"][0]))


def served_routes(root):
    """Every file of the product folder as a fault server's route."""
    routes = {}
    folder = os.path.join(root, FOLDER)
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            routes["/%s/%s" % (FOLDER, name)] = {"body": f.read()}
    return routes


def run_again(wine, root, cli, far_delay, target_win):
    """One run of cli into target_win as it stands: (seconds, result, product requests, bytes served)."""
    if far_delay is None:
        port = harness.free_port()
        server = harness.Nginx(root, port)
    else:
        server = harness.FaultServer(routes=served_routes(root), delay=far_delay)
        port = server.port
    try:
        os.sync()
        start = time.time()
        _, out = wine.run(cli, ["http://127.0.0.1:%d/%s/list.txt" % (port, FOLDER), target_win, "--parallel", "8"],
                          timeout=3600, name="engine")
        elapsed = time.time() - start
        if far_delay is None:
            answers = [(p, int(b)) for p, b in re.findall(r'"GET (\S+) HTTP/1\.[01]" \d+ (\d+)', server.access_log())]
        else:
            answers = [(r["path"], r["sent"]) for r in server.requests]
    finally:
        server.close()
    values = dict(l.split(" ", 1) for l in out.splitlines() if l.startswith("result"))
    product = [p for p, _ in answers if not p.rsplit("/", 1)[-1].startswith("list.")]
    return elapsed, values.get("result", "?"), len(product), sum(b for _, b in answers)


def second_run(wine, root, signed_build, count, far_delay):
    """A first install, then the installer run again over it: unchanged, and with 1% of the files changed."""
    cli = os.path.join(signed_build, "tests", "tools", "engine_cli.exe")
    key = os.path.join(signed_build, "test-key", "private.pem")
    files = small_product(count)
    write_tree(root, files)
    sign_product(root, files, key)
    target_win = "C:\\bench\\again\\"
    fresh(wine.host_path(target_win))
    where = "loopback" if far_delay is None else "far server (%d ms per answer)" % (far_delay * 1000)
    print("run again over a complete install, signed, N=8: %s, %d files of 16 KiB" % (where, count))
    try:
        first = run_again(wine, root, cli, far_delay, target_win)
        figures = [("first run", first), ("again, unchanged", run_again(wine, root, cli, far_delay, target_win))]
        for rel in list(files)[:: 100]:   # 1% of the files get new bytes of the same size
            files[rel] = os.urandom(16 * 1024)
        write_tree(root, files)
        sign_product(root, files, key)
        figures.append(("again, 1% changed", run_again(wine, root, cli, far_delay, target_win)))
    finally:
        shutil.rmtree(wine.host_path(target_win), ignore_errors=True)
    for label, (t, result, requests, sent) in figures:
        print("  %-18s %7.2f s  %10d bytes  %5d product requests  result %s   / first: %.3f of the time, %.4f of "
              "the bytes" % (label, t, sent, requests, result, t / first[0], sent / max(first[3], 1)))


def run_engine(wine, port, parallel, cli=harness.ENGINE_CLI, base=None):
    target_win = "C:\\bench\\engine\\"
    fresh(wine.host_path(target_win))
    start = time.time()
    _, out = wine.run(cli, ["%s/%s/list.txt" % (base or "http://127.0.0.1:%d" % port, FOLDER), target_win,
                            "--parallel", str(parallel)], timeout=3600, name="engine")
    elapsed = time.time() - start
    values = dict(l.split(" ", 1) for l in out.splitlines() if l.startswith(("result", "peak")))
    shutil.rmtree(wine.host_path(target_win), ignore_errors=True)
    return elapsed, values.get("result", "?"), values.get("peak_working_set_kib", "?")


def run_ref(wine, port, files, threads=1):
    ref_win = "C:\\bench\\ref"
    fresh(wine.host_path(ref_win + "\\"))
    paths_file = os.path.join(harness.WORK, "ref-paths.txt")
    with open(paths_file, "w") as f:
        f.write("\n".join("/%s/%s" % (FOLDER, rel) for rel in files) + "\n")
    start = time.time()
    _, out = wine.run(REF_FETCH, ["127.0.0.1", str(port), ref_win, "Z:" + paths_file.replace("/", "\\"),
                                  str(threads)], timeout=3600, name="ref")
    elapsed = time.time() - start
    values = dict(l.split(" ", 1) for l in out.splitlines() if " " in l)
    shutil.rmtree(wine.host_path(ref_win + "\\"), ignore_errors=True)
    return elapsed, values.get("peak_working_set_kib", "?")


def run_curl(port, files, parallel=None, keep_alive=False, base=None, cacert=None):
    """curl fetching every file: HTTP/1.0 without keep-alive, or with keep_alive its HTTP/1.1 default."""
    out_dir = os.path.join(harness.WORK, "curl-out")
    fresh(out_dir)
    config = os.path.join(harness.WORK, "curl.cfg")
    with open(config, "w") as f:
        for rel in files:
            f.write('url = "%s/%s/%s"\noutput = "%s/%s"\n' % (base or "http://127.0.0.1:%d" % port, FOLDER, rel,
                                                           out_dir, rel))
    argv = ["curl", "-s", "--create-dirs", "-K", config] + ([] if keep_alive else ["-0"])
    if cacert:
        argv += ["--cacert", cacert]
    if parallel:
        argv += ["--parallel", "--parallel-max", str(parallel)]
    start = time.time()
    subprocess.run(argv, check=False, timeout=3600, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.time() - start
    shutil.rmtree(out_dir, ignore_errors=True)
    return elapsed


def run_window(wine, exe=harness.EXE):
    """The real exe: click install, wait for the finish button. (ms, peak KiB)"""
    install_dir = wine.host_path("C:\\Program Files\\Qelmora\\")
    shutil.rmtree(install_dir, ignore_errors=True)
    proc = wine.start(exe, name="installer")
    try:
        rc, _ = wine.driver("wait-window", 30000)
        if rc != 0:
            return None, "?"
        rc, text = wine.driver("time-install", 600000, timeout=700)
        install_ms = int(text.split()[1]) if rc == 0 else None
        _, memory = wine.driver("memory")
        peak = memory.split()[1] if memory.startswith("peak") else "?"
        return install_ms, peak
    finally:
        harness.stop_process(proc)
        wine.run_raw(["wineserver", "-k"], timeout=30)
        shutil.rmtree(install_dir, ignore_errors=True)


def fault_routes(files):
    routes = {"/%s/list.txt" % FOLDER: {"body": ("\r\n".join(files) + "\r\n").encode()}}
    for rel, data in files.items():
        routes["/%s/%s" % (FOLDER, rel)] = {"body": data}
    return routes


def loopback(wine, root, name, files):
    write_tree(root, files)
    port = harness.free_port()
    nginx = harness.Nginx(root, port)
    try:
        total = sum(d if isinstance(d, int) else len(d) for d in files.values())
        print("loopback %s: %d files, %.1f MiB" % (name, len(files), total / 2**20))
        ref_time, ref_peak = run_ref(wine, port, files)
        curl_time = run_curl(port, files)
        for parallel in (1, 8):
            t, result, peak = run_engine(wine, port, parallel)
            print("  engine N=%d   %7.2f s  result %s  peak working set %s KiB   / wininet ref %.2f   / curl %.2f" %
                  (parallel, t, result, peak, t / ref_time, t / curl_time))
        print("  wininet ref  %7.2f s  peak working set %s KiB" % (ref_time, ref_peak))
        print("  curl         %7.2f s" % curl_time)
    finally:
        nginx.close()


class Counted:
    """Connections nginx saw for each run: the serial numbers logged since the last call."""

    def __init__(self, nginx):
        self.nginx = nginx
        self.seen = set()

    def __call__(self):
        now = harness.nginx_connections(self.nginx.access_log())
        new, self.seen = now - self.seen, now
        return len(new)


def pki(wine):
    """The test authority, trusted in this prefix, and a certificate for localhost."""
    import test_secure
    authority = test_secure.TestPki(os.path.join(harness.WORK, "pki"))
    der = "Z:" + authority.path("trusted-ca.der").replace("/", "\\")
    wine.run(test_secure.TRUST_ROOT, [der], name="trust_root")
    return authority


def far(wine, root, count, rtt, secure=None, before_cli=None):
    """nginx behind a far link of round trip rtt; secure: the test authority, for https."""
    files = small_product(count)
    write_tree(root, files)
    port = harness.free_port()
    nginx = harness.Nginx(root, port, tls=secure.localhost if secure else None)
    link = FarLink(port, rtt / 2)
    base = "%s://%s:%d" % ("https" if secure else "http", "localhost" if secure else "127.0.0.1", link.port)
    cacert = secure.trusted_ca[0] if secure else None
    seen = Counted(nginx)
    try:
        print("far link (%d ms round trip) %d files of 16 KiB over %s" % (rtt * 1000, count, base.split(":")[0]))
        curl_ka = run_curl(port, files, parallel=8, keep_alive=True, base=base, cacert=cacert)
        print("  curl x8 keep-alive      %7.2f s  %4d connections   (the reference; the line's limit %.2f s)" %
              (curl_ka, seen(), count * rtt / 8))
        curl_10 = run_curl(port, files, parallel=8, base=base, cacert=cacert)
        print("  curl x8 HTTP/1.0        %7.2f s  %4d connections   / curl x8 keep-alive %.2f" %
              (curl_10, seen(), curl_10 / curl_ka))
        if not secure:
            # What WinINet under Wine allows at all on this line: a plain loop on 8 threads.
            ref, _ = run_ref(wine, link.port, files, threads=8)
            print("  plain WinINet x8        %7.2f s  %4d connections   / curl x8 keep-alive %.2f" %
                  (ref, seen(), ref / curl_ka))
        for label, cli in [("engine", harness.ENGINE_CLI)] + ([("before", before_cli)] if before_cli else []):
            for parallel in (8, 1) if count <= 600 and label == "engine" else (8,):
                t, result, peak = run_engine(wine, port, parallel, cli, base=base)
                print("  %-6s N=%d              %7.2f s  %4d connections   / curl x8 keep-alive %.2f   result %s  "
                      "peak working set %s KiB" % (label, parallel, t, seen(), t / curl_ka, result, peak))
    finally:
        link.close()
        nginx.close()


def many(wine, root, count, folders, before_cli=None):
    """count files of 1 KiB in folders sub-folders from nginx on loopback."""
    block = os.urandom(1024)
    files = {"d%03d/f%05d.bin" % (i * folders // count, i): block for i in range(count)}
    write_tree(root, files)
    port = harness.free_port()
    nginx = harness.Nginx(root, port)
    seen = Counted(nginx)
    try:
        print("near server: %d files of 1 KiB in %d folders" % (count, folders))
        curl_ka = run_curl(port, files, parallel=8, keep_alive=True)
        print("  curl x8 keep-alive      %7.2f s  %5d connections" % (curl_ka, seen()))
        for label, cli in [("engine", harness.ENGINE_CLI)] + ([("before", before_cli)] if before_cli else []):
            t, result, peak = run_engine(wine, port, 8, cli)
            print("  %-6s N=8              %7.2f s  %5d connections   / curl x8 keep-alive %.2f   result %s  "
                  "peak working set %s KiB" % (label, t, seen(), t / curl_ka, result, peak))
    finally:
        nginx.close()


def breaking_link(wine, size_mib, piece_mib):
    data = os.urandom(size_mib * 1024 * 1024)
    routes = fault_routes({"big.bin": data})
    big = routes["/%s/big.bin" % FOLDER]
    big.update(etag='"bench-1"', ranges="yes")
    print("%d MiB through a link that breaks every %d MiB (N=8)" % (size_mib, piece_mib))
    figures = {}
    for label, piece in (("whole link", None), ("breaking link", piece_mib * 1024 * 1024)):
        if piece:
            big["break_after"] = piece
        server = harness.FaultServer(routes=routes)
        try:
            t, result, peak = run_engine(wine, server.port, 8)
            calls = [r for r in server.requests if r["path"].endswith("big.bin")]
            sent = sum(r["sent"] for r in calls)
        finally:
            server.close()
        figures[label] = t
        print("  %-14s %7.2f s  result %s  %d calls  %.1f MiB sent  peak working set %s KiB" %
              (label, t, result, len(calls), sent / 2**20, peak))
    print("  breaking / whole = %.2f" % (figures["breaking link"] / figures["whole link"]))


def window(wine, root, rtt, before_exe=None):
    print("the real exe through its window (N=8 as built)")
    lines = ("\r\n".join("folder%06d" % i for i in range(100_000)) + "\r\n").encode()
    server = harness.FaultServer(port=harness.INSTALLER_PORT, routes={"/%s/list.txt" % FOLDER: {"body": lines}})
    try:
        ms, peak = run_window(wine)
        print("  100,000 lines not fetched         %s s  peak working set %s KiB" %
              ("%.2f" % (ms / 1000) if ms else "?", peak))
    finally:
        server.close()
    files = small_product(600)
    write_tree(root, files)
    port = harness.free_port()
    nginx = harness.Nginx(root, port)
    link = FarLink(port, rtt / 2, port=harness.INSTALLER_PORT)
    seen = Counted(nginx)
    try:
        curl_ka = run_curl(harness.INSTALLER_PORT, files, parallel=8, keep_alive=True)
        print("  far link 600 x 16 KiB: curl x8 keep-alive %.2f s, %d connections" % (curl_ka, seen()))
        for label, exe in [("this build", harness.EXE)] + ([("before", before_exe)] if before_exe else []):
            ms, peak = run_window(wine, exe)
            print("  far link 600 x 16 KiB, %-10s  %s s  %4d connections  peak working set %s KiB   / curl x8 "
                  "keep-alive %.2f" % (label, "%.2f" % (ms / 1000) if ms else "?", seen(), peak,
                                       (ms or 0) / 1000 / curl_ka))
    finally:
        link.close()
        nginx.close()
    files = small_product(2000)
    write_tree(root, files)
    nginx = harness.Nginx(root, harness.INSTALLER_PORT)
    try:
        ms, peak = run_window(wine)
        ref_time, _ = run_ref(wine, harness.INSTALLER_PORT, files)
        print("  loopback 2,000 x 16 KiB           %s s  peak working set %s KiB   / wininet ref %.2f" %
              ("%.2f" % (ms / 1000) if ms else "?", peak, (ms or 0) / 1000 / ref_time))
    finally:
        nginx.close()


def start_up(wine, reference, runs):
    """Start of the exe to its window: this build against the reference, alternating, median and best."""
    builds = [("this build", harness.EXE)] + ([("reference", reference)] if reference else [])
    times = {label: [] for label, _ in builds}
    # One wineserver for every run, and a first start of each build untimed: otherwise the server's and
    # the disk cache's warming-up decide more of a run's time than the program does.
    wine.run_raw(["wineserver", "-w"])
    wine.run_raw(["wineserver", "-p"])
    for run in range(runs + 1):
        for label, exe in builds:
            rc, text = wine.driver("start-time", "Z:" + exe.replace("/", "\\"), 30000, timeout=90)
            if rc == 0 and run > 0:
                times[label].append([float(v) for v in text.split()[1:4]])
    wine.run_raw(["wineserver", "-k"], timeout=30)
    print("start of the exe to its window (%d runs each, in turn)" % runs)
    figures = {}
    for label, exe in builds:
        got = times[label]
        if not got:
            print("  %-10s  no window" % label)
            continue
        window, idle, cpu = (sorted(t[i] for t in got) for i in range(3))
        figures[label] = (window[len(window) // 2], idle[len(idle) // 2], cpu[len(cpu) // 2])
        print("  %-10s  visible: median %6.1f ms, best %6.1f ms   painted: median %6.1f ms, best %6.1f ms"
              "   processor time until painted: median %6.1f ms   (%d bytes)" %
              (label, figures[label][0], window[0], figures[label][1], idle[0], figures[label][2],
               os.path.getsize(exe)))
    if len(figures) == 2:
        print("  this build / reference: visible %.2f, painted %.2f, processor time %.2f" %
              tuple(figures["this build"][i] / figures["reference"][i] for i in range(3)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--small-count", type=int, default=2000)
    parser.add_argument("--big-mib", type=int, default=512)
    parser.add_argument("--delay-ms", type=int, default=30, help="the far link's round trip")
    parser.add_argument("--only", choices=("lists", "loopback", "far", "many", "breaking", "window", "signed",
                                           "again", "start"))
    parser.add_argument("--many-count", type=int, default=20000)
    parser.add_argument("--before", metavar="DIR", help="also time engine_cli.exe and QelmoraSetup.exe of another "
                        "build, found in DIR, on the far link, the many files and in the window")
    parser.add_argument("--start-reference", metavar="EXE", help="time this installer's start-up too")
    parser.add_argument("--start-runs", type=int, default=15)
    parser.add_argument("--signed", metavar="BUILD_DIR", help="also time the engine of this key-built build")
    args = parser.parse_args()

    if args.only in (None, "lists"):
        # The reading of a list is portable code: the tools tree's Release build times it natively.
        print("the reading of a list (native, Release)")
        sys.stdout.flush()
        subprocess.run([os.path.join(ROOT, "build", "tools", "list_speed")], check=False)
        if args.only == "lists":
            return 0

    os.makedirs(harness.WORK, exist_ok=True)
    root = os.path.join(harness.WORK, "root")
    wine = harness.Wine("wine")
    try:
        if args.only in (None, "loopback"):
            loopback(wine, root, "small", small_product(args.small_count))
            loopback(wine, root, "big", {"big.bin": args.big_mib * 1024 * 1024})
        before_cli = os.path.join(args.before, "engine_cli.exe") if args.before else None
        before_exe = os.path.join(args.before, "QelmoraSetup.exe") if args.before else None
        if args.only in (None, "far"):
            far(wine, root, 600, args.delay_ms / 1000, before_cli=before_cli)
            far(wine, root, 600, args.delay_ms / 1000, secure=pki(wine), before_cli=before_cli)
            far(wine, root, 2000, args.delay_ms / 1000, before_cli=before_cli)
        if args.only in (None, "many"):
            many(wine, root, args.many_count, 200, before_cli=before_cli)
        if args.only in (None, "breaking"):
            breaking_link(wine, 64, 8)
        if args.only in (None, "window", "start"):
            wine.start_display()
        if args.only in (None, "start"):
            start_up(wine, args.start_reference, args.start_runs)
        if args.only in (None, "window"):
            window(wine, root, args.delay_ms / 1000, before_exe)
        if args.signed and args.only in (None, "signed"):
            compare_signed(wine, root, "small", small_product(args.small_count), args.signed)
            compare_signed(wine, root, "big", {"big.bin": args.big_mib * 1024 * 1024}, args.signed)
        if args.signed and args.only in (None, "again"):
            second_run(wine, root, args.signed, args.small_count, None)
            second_run(wine, root, args.signed, 600, args.delay_ms / 1000)
    finally:
        wine.close()
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
