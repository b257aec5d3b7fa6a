"""Shared pieces of the Wine tests: a private Wine prefix, an Xvfb display, nginx and a fault server.

Every server listens on 127.0.0.1 only; every request loop is bounded. Only processes started here are
ended, by their id, and only this prefix's wineserver is stopped.
"""
import http.server
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WIN_BUILD = os.environ.get("QELMORA_WINDOWS_BUILD_DIR", os.path.join(ROOT, "build", "windows-test"))
WORK = os.environ.get("QELMORA_TEST_WORK", os.path.join(ROOT, "build", "wine-tests"))
ARTIFACTS = os.environ.get("QELMORA_ARTIFACTS", os.path.join(ROOT, "build", "test-artifacts"))

EXE = os.path.join(WIN_BUILD, "QelmoraSetup.exe")
ENGINE_CLI = os.path.join(WIN_BUILD, "tests", "tools", "engine_cli.exe")
QDRIVER = os.path.join(WIN_BUILD, "tests", "tools", "qdriver.exe")


def pe_header(path):
    """(machine, optional-header magic, subsystem) of a Windows program: machine 0x14c for 32-bit x86 or
    0x8664 for x64, magic 0x10b for PE32 or 0x20b for PE32+, subsystem 2 for a GUI program."""
    with open(path, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3c:0x40], "little")
    optional = pe + 24
    field = lambda at: int.from_bytes(head[at:at + 2], "little")
    return field(pe + 4), field(optional), field(optional + 68)


def pe_resources(path):
    """Every resource of a Windows program as {(type, id): (file offset, size, offset of its size field)};
    type and id are numbers, or text for named ones. The first language of each is taken."""
    with open(path, "rb") as f:
        data = f.read()
    u16 = lambda at: int.from_bytes(data[at:at + 2], "little")
    u32 = lambda at: int.from_bytes(data[at:at + 4], "little")
    pe = u32(0x3c)
    sections, optional = u16(pe + 6), pe + 24
    directories = optional + (112 if u16(optional) == 0x20b else 96)
    rsrc_rva = u32(directories + 2 * 8)
    table = optional + u16(pe + 20)
    spans = [(u32(table + 40 * i + 12), u32(table + 40 * i + 8), u32(table + 40 * i + 20)) for i in range(sections)]

    def offset(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("RVA 0x%x is in no section" % rva)

    base = offset(rsrc_rva)

    def entries(directory):
        count = u16(directory + 12) + u16(directory + 14)
        for i in range(count):
            name, target = u32(directory + 16 + 8 * i), u32(directory + 20 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7fffffff)
                name = data[at + 2:at + 2 + 2 * u16(at)].decode("utf-16-le")
            yield name, target

    found = {}
    for kind, types in entries(base):
        for name, names in entries(base + (types & 0x7fffffff)):
            _, leaf = next(entries(base + (names & 0x7fffffff)))
            entry = base + leaf
            found[(kind, name)] = (offset(u32(entry)), u32(entry + 4), entry + 4)
    return found


def pe_imports(path):
    """The names of the DLLs a Windows program imports at start (its import table, not its delay-loaded ones)."""
    with open(path, "rb") as f:
        data = f.read()
    u16 = lambda at: int.from_bytes(data[at:at + 2], "little")
    u32 = lambda at: int.from_bytes(data[at:at + 4], "little")
    pe = u32(0x3c)
    optional = pe + 24
    directories = optional + (112 if u16(optional) == 0x20b else 96)
    table = optional + u16(pe + 20)
    spans = [(u32(table + 40 * i + 12), u32(table + 40 * i + 8), u32(table + 40 * i + 20)) for i in range(u16(pe + 6))]
    offset = lambda rva: next(raw + rva - start for start, size, raw in spans if start <= rva < start + size)
    names, at = [], offset(u32(directories + 8))
    while u32(at + 12):
        name = offset(u32(at + 12))
        names.append(data[name:data.index(b"\0", name)].decode("ascii"))
        at += 20
    return names


# The programs are 32-bit. A machine whose kernel cannot run 32-bit code gets a 64-bit build of the same
# sources instead (scripts/windows-toolchain.sh chooses), which runs under 64-bit Wine in a 64-bit prefix.
WIN64 = os.path.exists(EXE) and pe_header(EXE)[0] == 0x8664
WINE = "/usr/lib/wine/wine64" if WIN64 else "wine"

# The port the test build of the installer fetches its manifest from (see CMakePresets.json). A build
# configured for other ports (to run two test sets side by side) names them in the environment.
INSTALLER_PORT = int(os.environ.get("QELMORA_INSTALLER_PORT", "18480"))
REPORT_PORT = int(os.environ.get("QELMORA_REPORT_PORT", "18482"))


def batch_file_line(windows_path):
    """The uninstall line the installer writes for a placed file: '%' doubled, '/' as '\\'."""
    return b'del "' + windows_path.encode("gbk").replace(b"%", b"%%").replace(b"/", b"\\") + b'"\r\n'


def hexed(text):
    """A text as qdriver's code-page-proof commands take and print it: hex of its UTF-8 bytes."""
    return text.encode("utf-8").hex()


def unhexed(text):
    return bytes.fromhex(text).decode("utf-8")


def trickle(body, seconds=90):
    """A route whose body comes a piece a second for about `seconds`: a download that stays in flight however
    long a busy machine takes to look at it, yet never lets a receive time-out pass (a stalled body would be
    timed out and called again, and its temporary file come and go)."""
    return {"body": body, "mode": "slow", "pieces": seconds, "pause": 1.0}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        with socket.socket() as s:
            s.settimeout(0.2)
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return True
        time.sleep(0.05)
    return False


class Wine:
    """One Wine prefix with its own HOME, shared by the tests of one module.

    With song_face=False the prefix has no stand-in for 宋体, as on a plain Wine: the dialog fonts then
    fall back to whatever face Wine picks, with other metrics.

    locale: the Unix locale Wine's processes start in, which gives the system's code pages: zh_CN.UTF-8
    ANSI and OEM 936, zh_TW.UTF-8 950, en_US.UTF-8 ANSI 1252 and OEM 437 (scripts/install-deps.sh
    generates them). A prefix serves every locale, as one Windows does whatever its language for
    non-Unicode programs.
    """

    def __init__(self, name, song_face=True, locale="zh_CN.UTF-8"):
        # A module whose classes CTest runs as several parts side by side gives each part a prefix of its own.
        part = os.environ.get("QELMORA_TEST_PART")
        self.base = os.path.join(WORK, name + "." + part if part else name)
        # A prefix is made for one Wine: a kept 32-bit prefix is never opened by 64-bit Wine.
        self.prefix = os.path.join(self.base, "prefix-win64" if WIN64 else "prefix")
        self.home = os.path.join(self.base, "home")
        os.makedirs(self.home, exist_ok=True)
        self.env = dict(os.environ)
        for key in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
            self.env.pop(key, None)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "HOME": self.home,
            "WINEDLLOVERRIDES": "winemenubuilder.exe=d;mscoree=d;mshtml=d",
            "WINEDEBUG": "-all",
            "LC_ALL": locale,
            "LANG": locale,
            "no_proxy": "127.0.0.1,localhost",
            "WINEARCH": "win64" if WIN64 else "win32",
        })
        if WIN64:
            self.env["WINELOADER"] = WINE
        self.display = None
        self._xvfb = None
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            self.run_raw(["wine", "wineboot", "-i"], timeout=180)
            # Xvfb has no window manager: a managed window's hide would wait two seconds for one to
            # confirm it. Unmanaged windows behave as on Windows.
            self.run_raw(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed",
                          "/d", "N", "/f"], timeout=60)
            # The dialogs' font 宋体 (SimSun) is not in Wine: stand in a Song face of the same metrics,
            # so the text looks as it does on a Chinese Windows.
            for face in ("宋体", "SimSun") if song_face else ():
                self.run_raw(["wine", "reg", "add", "HKCU\\Software\\Wine\\Fonts\\Replacements", "/v", face,
                              "/d", "AR PL SungtiL GB", "/f"], timeout=60)
        self.run_raw(["wineserver", "-w"], timeout=60)
        # One wineserver for this prefix's processes until its session is ended (end_session, close): a server
        # that ended with its last process would start Wine's own services again for the next one, a second of
        # CPU each time. A test that ends the session starts the next one without it.
        self.run_raw(["wineserver", "-p"], timeout=60)

    # Wine's output goes to files, never pipes: the wineserver it starts would hold a pipe open.
    def run_raw(self, argv, timeout=60, log=None):
        """Runs a command in this prefix's environment; "wine" stands for the Wine that runs the build."""
        log = log or os.path.join(self.base, "wine-setup.log")
        argv = [WINE if argv[0] == "wine" else argv[0]] + list(argv[1:])
        with open(log, "ab") as out:
            return subprocess.run(argv, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL, timeout=timeout).returncode

    def start_display(self):
        # Xvfb picks a free display number itself and writes it to the pipe once it accepts clients, so
        # modules that start their displays at the same moment never race for one number.
        read_end, write_end = os.pipe()
        try:
            self._xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                           "-nolisten", "tcp"], pass_fds=(write_end,),
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            end = time.time() + 30
            while not number.endswith(b"\n") and time.time() < end:
                ready, _, _ = select.select([pipe], [], [], max(0.0, end - time.time()))
                chunk = pipe.read(16) if ready else b""
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not start")
        self.display = ":%d" % int(number)
        self.env["DISPLAY"] = self.display

    def run(self, exe, args=(), timeout=120, name="run"):
        """Runs a Windows program to its end; returns (exit code, its output as text). A run that fails with
        something on its error output (Wine's own fatal errors say there why a process ended before its main)
        prints that to the test's log, whatever the caller makes of the exit code."""
        out_path = os.path.join(self.base, name + ".out")
        err_path = os.path.join(self.base, name + ".err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            rc = subprocess.run([WINE, exe] + list(args), env=self.env, stdout=out,
                                stderr=err, stdin=subprocess.DEVNULL, timeout=timeout).returncode
        if rc != 0:
            with open(err_path, "rb") as f:
                said = f.read()[-2000:].decode("utf-8", "replace").strip()
            if said:
                print("\n%s %s exited %d: %s" % (name, " ".join(map(str, args)), rc, said), file=sys.stderr)
        with open(out_path, "rb") as f:
            return rc, f.read().decode("gbk", "replace")

    def start(self, exe, args=(), name="proc"):
        out = open(os.path.join(self.base, name + ".out"), "wb")
        proc = subprocess.Popen([WINE, exe] + list(args), env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL)
        proc._qelmora_out = out
        return proc

    def driver(self, *args, timeout=60):
        """Runs qdriver; (exit code, its output). Texts that must survive any code page go as hexed().
        A wait-… command's last argument is how many milliseconds it waits: qdriver gets that and a minute
        more to start and answer."""
        if str(args[0]).startswith("wait") and str(args[-1]).isdigit():
            timeout = max(timeout, int(args[-1]) / 1000 + 60)
        rc, text = self.run(QDRIVER, [str(a) for a in args], timeout=timeout, name="qdriver")
        return rc, text.strip()

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=20).returncode

    def screenshot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, name + ".png")
        xwd = os.path.join(self.base, "shot.xwd")
        subprocess.run(["xwd", "-root", "-silent", "-out", xwd], env=self.env, timeout=20,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["convert", xwd, path], timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def gdi_screenshot(self, name, rect):
        """The screen as Windows sees it (Wine's GDI), for windows whose X output lags behind."""
        os.makedirs(ARTIFACTS, exist_ok=True)
        bmp = os.path.join(self.base, name + ".bmp")
        rc, _ = self.run(QDRIVER, ["capture"] + [str(v) for v in rect] + ["Z:" + bmp.replace("/", "\\")],
                         name="capture")
        path = os.path.join(ARTIFACTS, name + ".png")
        if rc == 0:
            subprocess.run(["convert", bmp, path], timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def host_path(self, windows_path):
        """C:\\a\\b -> the file under the prefix's drive_c."""
        assert windows_path[1:3] == ":\\", windows_path
        rest = windows_path[3:].replace("\\", "/")
        return os.path.join(self.prefix, "drive_c", rest)

    def inet_cache_files(self):
        """Every file in the prefix's WinINet cache folders; the installer must leave none there."""
        found = []
        users = os.path.join(self.prefix, "drive_c", "users")
        for user in os.listdir(users) if os.path.isdir(users) else []:
            cache = os.path.join(users, user, "AppData", "Local", "Microsoft", "Windows", "INetCache")
            for base, _, names in os.walk(cache):
                found += [os.path.join(base, n) for n in names if n.lower() != "index.dat"]
        return found

    def end_session(self):
        """Ends every process of this prefix and waits for its wineserver to go: a process started while the
        old server is still going down can join a session that makes no windows."""
        self.run_raw(["wineserver", "-k"], timeout=30)
        self.run_raw(["wineserver", "-w"], timeout=30)

    def close(self):
        self.end_session()
        if self._xvfb:
            self._xvfb.send_signal(signal.SIGTERM)
            try:
                self._xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()


def stop_process(proc, timeout=10):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)
    out = getattr(proc, "_qelmora_out", None)
    if out:
        out.close()


def localhost_has_ipv6():
    try:
        return any(info[4][0] == "::1" for info in socket.getaddrinfo("localhost", None))
    except OSError:
        return False


def nginx_requests(access_log):
    """The requests of an access log as (request path, connection serial number, time in seconds)."""
    return [(path, int(conn), float(when)) for path, conn, when in
            re.findall(r'"GET (\S+) [^"]*" .* conn=(\d+) port=\d+ t=([\d.]+)$', access_log, re.M)]


def nginx_connections(access_log):
    """The client connections (nginx's serial numbers) that carried the requests of an access log."""
    return {conn for _, conn, _ in nginx_requests(access_log)}


class Nginx:
    """nginx serving a folder on 127.0.0.1:port, the server a publisher would use.

    Its configuration, logs and temporary folders go to ROOT.nginx beside the folder served: emptied
    when it starts, removed when it stops, so runs leave nothing behind and each starts alike.
    tls: (certificate chain file, key file) to serve https instead of http. A client that names the
    server "localhost" may get ::1 first where the machine's hosts file says so; nginx then answers on
    that loopback address too. keepalive: extra directives for kept connections, for example
    "keepalive_requests 3; keepalive_timeout 1s;" (nginx's defaults otherwise: 1000 requests, 75 s).
    Every line of the access log ends in the connection's serial number, the client's port and the time.
    """

    def __init__(self, root, port, tls=None, keepalive=""):
        self.dir = os.path.normpath(root) + ".nginx"
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        conf = os.path.join(self.dir, "nginx.conf")
        with open(conf, "w") as f:
            f.write("""
daemon off;
worker_processes 1;
pid %(d)s/nginx.pid;
error_log %(d)s/error.log;
events { worker_connections 256; }
http {
    log_format withconn '$remote_addr - $remote_user [$time_local] "$request" $status $body_bytes_sent '
                        '"$http_referer" "$http_user_agent" conn=$connection port=$remote_port t=$msec';
    access_log %(d)s/access.log withconn;
    %(keepalive)s
    client_body_temp_path %(d)s/body;
    proxy_temp_path %(d)s/proxy;
    fastcgi_temp_path %(d)s/fastcgi;
    uwsgi_temp_path %(d)s/uwsgi;
    scgi_temp_path %(d)s/scgi;
    default_type application/octet-stream;
    sendfile on;
    server {
        listen 127.0.0.1:%(port)d%(ssl)s;%(ipv6)s
        root %(root)s;
        charset off;
    }
}
""" % {"d": self.dir, "port": port, "root": root, "keepalive": keepalive,
       "ssl": " ssl;\n        ssl_certificate %s;\n        ssl_certificate_key %s" % tls if tls else "",
       "ipv6": "\n        listen [::1]:%d ssl;" % port if tls and localhost_has_ipv6() else ""})
        self.proc = subprocess.Popen(["nginx", "-c", conf, "-p", self.dir], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        if not wait_port(port):
            raise RuntimeError("nginx did not start")

    def access_log(self):
        with open(os.path.join(self.dir, "access.log"), encoding="latin-1") as f:
            return f.read()

    def close(self):
        stop_process(self.proc)
        shutil.rmtree(self.dir, ignore_errors=True)


class BreakingRelay:
    """A link to a server on 127.0.0.1 that breaks as mobile and Wi-Fi links do: each connection is cut
    after `after` bytes from the server (its headers count too). `passed` counts the bytes it carried
    to the client. Bounded: at most MAX_CONNECTIONS connections, each idle for at most 30 s.
    """

    MAX_CONNECTIONS = 10000

    def __init__(self, target_port, after):
        self.target = target_port
        self.after = after
        self.passed = 0
        self.connections = 0
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.listener.settimeout(0.2)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        while not self._stop.is_set() and self.connections < self.MAX_CONNECTIONS:
            try:
                client, _ = self.listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            self.connections += 1
            threading.Thread(target=self._carry, args=(client,), daemon=True).start()

    @staticmethod
    def _pump(source, sink):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                sink.sendall(data)
        except OSError:
            pass
        try:
            sink.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def _carry(self, client):
        client.settimeout(30)
        try:
            upstream = socket.create_connection(("127.0.0.1", self.target), timeout=30)
        except OSError:
            client.close()
            return
        threading.Thread(target=self._pump, args=(client, upstream), daemon=True).start()
        left = self.after
        try:
            while left > 0:
                data = upstream.recv(min(65536, left))
                if not data:
                    break
                client.sendall(data)
                left -= len(data)
                with self._lock:
                    self.passed += len(data)
        except OSError:
            pass
        # shutdown first: a plain close() would wait for the other thread's blocked recv, and the client
        # would see no end at all, only its own time-out.
        for sock in (client, upstream):
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            sock.close()

    def close(self):
        self._stop.set()
        self.listener.close()
        self.thread.join(5)


class _QueuingHTTPServer(http.server.ThreadingHTTPServer):
    request_queue_size = 64      # several clients connect at once (read-ahead, curl --parallel)
    daemon_threads = True


class FaultServer:
    """An HTTP/1.0 server of our own whose answers a test sets per path.

    routes maps a request path to a dict: status (200), body (bytes), length ("auto", None for no
    Content-Length, or a number to announce), mode: "normal", "reset" (close mid-body with RST),
    "stall" (send half the body, then wait), "slow" (the body in pieces with pauses), "gate" (send half
    the body, then a byte every half second, so that no receive time-out passes, and the rest once the
    route's threading.Event "gate" is set), "silent" (accept, read the
    request, never answer), "close" (read the request and close), "endless" (the body, then more bytes
    until the client goes, at most MAX_ENDLESS).

    Links that break and files that change, for resumed downloads:
    - etag / last_modified: the validators the answer carries;
    - versions: a list of (body, etag) that replaces body and etag, the n-th answer serving the n-th
      version (the last one from then on): the file changes between answers;
    - ranges: how "Range: bytes=N-" is answered when its If-Range names the current version: "yes" (206
      with Content-Range), "wrong-offset" or "wrong-total" (206 with a Content-Range one off), "416"; a
      route without it ignores Range and answers 200 with the whole body;
    - break_after: the connection is closed after this many body bytes of every answer;
    - mode "drop": the connection is reset as soon as the request is read, so that the send fails;
    - breaks: only the first this many answers break (break_after, "drop"); the later ones are whole.
    Every request's record gets "sent" (body bytes written before the answer ended or the client went)
    and "ended" (when).
    """

    MAX_REQUESTS = 250000
    MAX_STALL = 90.0
    MAX_ENDLESS = 1 << 30

    def __init__(self, port=0, routes=None, delay=0.0):
        self.routes = routes or {}
        self.delay = delay   # seconds every answer waits, as a far server's round trip does
        self.requests = []
        self._stop = threading.Event()
        self._lock = threading.Lock()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def log_message(self, *args):
                pass

            def do_GET(self):
                self.record = {"line": self.requestline, "path": self.path, "time": time.time(),
                               "headers": dict(self.headers.items()), "header_names": list(self.headers.keys()),
                               "sent": 0, "ended": None}
                server.requests.append(self.record)
                if len(server.requests) > server.MAX_REQUESTS:
                    self.close_connection = True
                    return
                try:
                    server.answer(self)
                except (BrokenPipeError, ConnectionResetError):
                    self.close_connection = True
                finally:
                    self.record["ended"] = time.time()

        self.httpd = _QueuingHTTPServer(("127.0.0.1", port), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
        self.thread.start()

    @staticmethod
    def _write(h, data):
        """Writes body bytes, counting them in the request's record."""
        h.wfile.write(data)
        h.wfile.flush()
        h.record["sent"] += len(data)

    @staticmethod
    def _range_answer(h, route, body, etag, headers):
        """(status, body) for a request that asks for a range of the current version, or None."""
        asked = h.headers.get("Range")
        how = route.get("ranges")
        if not asked or not how:
            return None
        match = re.fullmatch(r"bytes=(\d+)-", asked.strip())
        if_range = h.headers.get("If-Range")
        if not match or (if_range is not None and if_range not in (etag, route.get("last_modified"))):
            return None   # not this version: the whole file
        start = int(match.group(1))
        if how == "416" or start >= len(body):
            headers["Content-Range"] = "bytes */%d" % len(body)
            return 416, b""
        first = start + (1 if how == "wrong-offset" else 0)
        total = len(body) + (1 if how == "wrong-total" else 0)
        headers["Content-Range"] = "bytes %d-%d/%d" % (first, len(body) - 1, total)
        return 206, body[start:]

    def answer(self, h):
        if self.delay and self._stop.wait(self.delay):
            return
        route = self.routes.get(h.path)
        if route is None:
            route = {"status": 404, "body": b"<html>not found</html>"}
        status = route.get("status", 200)
        body = route.get("body", b"")
        etag = route.get("etag")
        with self._lock:
            served = route.get("answers", 0)
            route["answers"] = served + 1
        versions = route.get("versions")
        if versions:
            body, etag = versions[min(served, len(versions) - 1)]
        breaking = served < route.get("breaks", served + 1)
        mode = route.get("mode", "normal")
        if mode == "drop" and not breaking:
            mode = "normal"
        length = route.get("length", "auto")
        headers = dict(route.get("headers", {}))
        if etag:
            headers["ETag"] = etag
        if route.get("last_modified"):
            headers["Last-Modified"] = route["last_modified"]
        if status == 200:
            ranged = self._range_answer(h, route, body, etag, headers)
            if ranged:
                status, body = ranged
        if mode == "silent":
            self._stop.wait(route.get("seconds", self.MAX_STALL))
            return
        if mode == "close":   # closes without answering
            h.close_connection = True
            return
        if mode == "drop":
            h.close_connection = True
            h.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            h.connection.close()
            return
        h.send_response(status)
        if length == "auto":
            h.send_header("Content-Length", str(len(body)))
        elif length is not None:
            h.send_header("Content-Length", str(length))
        for key, value in headers.items():
            h.send_header(key, value)
        h.end_headers()
        if "break_after" in route and breaking:
            body = body[:route["break_after"]]
            h.close_connection = True
        if mode == "normal":
            for i in range(0, len(body), 1 << 20):
                self._write(h, body[i:i + (1 << 20)])
        elif mode == "reset":
            self._write(h, body[: len(body) // 2])
            time.sleep(0.2)
            sock = h.connection
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            sock.close()
        elif mode == "stall":
            self._write(h, body[: len(body) // 2])
            self._stop.wait(min(route.get("seconds", self.MAX_STALL), self.MAX_STALL))
        elif mode == "gate":
            at = len(body) // 2
            self._write(h, body[:at])
            end = time.time() + self.MAX_STALL
            while not route["gate"].wait(0.5) and at < len(body) - 1 and time.time() < end:
                self._write(h, body[at:at + 1])
                at += 1
            self._write(h, body[at:])
        elif mode == "endless":
            self._write(h, body)
            block = b"\0" * 65536
            while h.record["sent"] < self.MAX_ENDLESS and not self._stop.is_set():
                self._write(h, block)
        elif mode == "slow":
            pieces = route.get("pieces", 4)
            step = max(1, len(body) // pieces)
            for i in range(0, len(body), step):
                self._write(h, body[i:i + step])
                if self._stop.wait(route.get("pause", 0.2)):
                    return

    def close(self):
        self._stop.set()
        self.httpd.shutdown()
        self.httpd.server_close()
