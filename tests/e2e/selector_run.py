"""Running the web selector in end-to-end tests.

Selector() starts <ZEPHYR_BIN>/selector on a free port (--port 0) in a fresh folder with
an account file, reads the address it prints, and stops it with SIGTERM when the test ends
(stop() does it earlier and returns the exit status). address() builds the start page's
address as the CAD program does: the fourteen keys in their order, values unescaped.
"""
import atexit
import os
import signal
import socket
import subprocess
import tempfile

from cadhost_run import bin_dir
from zephyr_setup import remove_at_exit

ACCOUNTS = [("anna@example.org", "se&cret=1"), ("demo@example.com", "demo")]
SELECTION_ID = "0123456789ABCDEF0123456789ABCDEF"

# A demand of 320.5 l/s (1154 m3/h) on each connection of a cross-flow unit.
DEMAND = {"lang": "en", "email": "demo@example.com", "passw": "demo", "hex": "cross",
          "supqv": "320.50", "supdp": "250.00", "exhqv": "320.50", "exhdp": "90.00",
          "outqv": "320.50", "outdp": "80.00", "extqv": "320.50", "extdp": "220.00",
          "dcsid": SELECTION_ID, "plugVers": "200811"}
KEYS = ["lang", "email", "passw", "hex", "supqv", "supdp", "exhqv", "exhdp", "outqv", "outdp", "extqv", "extdp",
        "dcsid", "plugVers"]


class Selector:
    def __init__(self, accounts=ACCOUNTS, folder=None):
        self.stderr = ""
        self.folder = folder or remove_at_exit(tempfile.mkdtemp(prefix="selector_e2e_"))
        with open(os.path.join(self.folder, "accounts.txt"), "w", encoding="utf-8") as f:
            f.write("# e-mail password\n" + "".join("%s %s\n" % a for a in accounts))
        self.proc = subprocess.Popen([os.path.join(bin_dir(), "selector"), "--port", "0", self.folder],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        atexit.register(self.stop)
        line = self.proc.stdout.readline().decode("utf-8", "replace")
        prefix = "selector: listening at "
        if not line.startswith(prefix):
            self.stop()
            raise AssertionError("the selector did not start: %r %s" % (line, self.stderr))
        self.root = line[len(prefix):].strip()           # http://127.0.0.1:PORT/selector/
        self.port = int(self.root.split(":")[2].split("/")[0])

    def address(self, **changes):
        values = dict(DEMAND)
        values.update(changes)
        return self.root + "login/Ductora.jsp?" + "&".join("%s=%s" % (k, values[k]) for k in KEYS)

    def temp_file(self, selection_id=SELECTION_ID):
        return os.path.join(self.folder, "temp", selection_id + ".XML")

    def access_log(self):
        with open(os.path.join(self.folder, "access.log"), encoding="utf-8") as f:
            return f.read()

    def raw(self, data, timeout=10, first=False, source="127.0.0.1"):
        """Sends bytes on a fresh connection from source and returns all the server answers
        until it closes the connection (or the timeout); with first, what the first read
        gives."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout, source_address=(source, 0)) as s:
            s.sendall(data)
            return read_all(s, first)

    def stop(self):
        """SIGTERM; the exit status (None when it had to be killed)."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                return None
        if self.proc.stderr and not self.proc.stderr.closed:
            self.stderr = self.proc.stderr.read().decode("utf-8", "replace")
            self.proc.stderr.close()
            self.proc.stdout.close()
        return self.proc.returncode


def read_all(s, first=False):
    """What a socket gives until it is closed, an error or its timeout; with first, what the
    first read gives."""
    out = b""
    try:
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            out += chunk
            if first:
                break
    except OSError:
        pass
    return out


def status_of(answer):
    """The status code of a raw HTTP answer, or None."""
    first = answer.split(b"\r\n", 1)[0].split()
    return int(first[1]) if len(first) >= 2 and first[1].isdigit() else None
