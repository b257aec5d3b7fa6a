"""A far link in front of a server on 127.0.0.1, modelled in user space (this kernel has no netem).

Every byte is held for the one-way delay in each direction, as a long line holds it, and a new
connection's first bytes wait one more round trip, as a TCP handshake makes them wait; bandwidth is
not limited. TLS passes through unchanged. `connections` counts the connections it carried. Bounded:
at most MAX_CONNECTIONS connections, each ended after IDLE_LIMIT seconds without a byte.
"""
import queue
import socket
import threading
import time

MAX_CONNECTIONS = 100000
IDLE_LIMIT = 60.0


class FarLink:
    def __init__(self, target_port, one_way_delay, port=0):
        self.target = target_port
        self.delay = one_way_delay
        self.connections = 0
        self._stop = threading.Event()
        self._sockets = []
        self._lock = threading.Lock()
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(256)
        self.listener.settimeout(0.2)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self._stop.is_set() and self.connections < MAX_CONNECTIONS:
            try:
                client, _ = self.listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            try:
                server = socket.create_connection(("127.0.0.1", self.target), timeout=10)
            except OSError:
                client.close()
                continue
            for s in (client, server):
                s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                s.settimeout(IDLE_LIMIT)
            with self._lock:
                self.connections += 1
                self._sockets += [client, server]
            ends = [2]   # both directions ended: the pair is closed
            # The handshake's round trip: the client's first bytes leave one round trip late.
            self._direction(client, server, self.delay + 2 * self.delay, ends)
            self._direction(server, client, self.delay, ends)

    def _ended(self, pair, ends):
        with self._lock:
            ends[0] -= 1
            if ends[0]:
                return
            for s in pair:
                if s in self._sockets:
                    self._sockets.remove(s)
                s.close()

    def _direction(self, source, sink, first_delay, ends):
        held = queue.Queue()

        def read():
            delay = first_delay
            while True:
                try:
                    data = source.recv(65536)
                except OSError:
                    data = b""
                held.put((time.monotonic() + delay, data))
                delay = self.delay
                if not data:
                    return

        def deliver():
            while True:
                due, data = held.get()
                wait = due - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                try:
                    if data:
                        sink.sendall(data)
                        continue
                    sink.shutdown(socket.SHUT_WR)
                except OSError:
                    try:
                        source.shutdown(socket.SHUT_RDWR)   # the far end is gone: so is this side
                    except OSError:
                        pass
                self._ended((source, sink), ends)
                return

        threading.Thread(target=read, daemon=True).start()
        threading.Thread(target=deliver, daemon=True).start()

    def close(self):
        self._stop.set()
        self.listener.close()
        with self._lock:
            for s in self._sockets:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                s.close()
