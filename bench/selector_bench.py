#!/usr/bin/python3
"""The selector's start page (login, selection and page, per request) under a burst of
concurrent requests, against the same page served as a static file by python3 -m
http.server, with the same burst from curl: 2000 requests, 16 at once, each on a
connection of its own (more at once overflow the static server's accept queue of 5, and
the times measure its clients' connection retries).

Two lines:
  bench selector       the burst alone, selector against the static server;
  bench selector_slow  the same burst while 40 slow clients, one from each of 40
                       addresses, send the selector a header line a second (and connect
                       again whenever it ends one), against the static server's time for
                       the burst alone.
Goal 0.5 for both: the page is computed per request, but in compiled code on a few
threads, where the static server reads a file in an interpreter; at half the static server's
time the selector answers a demo's or a test's burst without being the slow part, and
slow clients must not change that.

The machine is shared: the load changes within seconds, and a burst that meets a busy
moment takes twice its time. So a run is four sets of bursts in mirrored order
(reference, selector alone, selector beside the slow clients twice, selector alone,
reference), and its ratios are the median of the selector's bursts over the median of the
reference's: a load that grows or falls during a set meets every side alike, and one busy
moment does not move a median. (A burst stays whole: cut into parts, each part of the
static server's would end waiting for a connection retried after its accept queue
overflowed, and the reference would measure those waits.)

Usage: selector_bench.py BIN_DIR   prints the two result lines of benchlib.
"""
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import benchlib  # noqa: E402

REQUESTS = 2000
SETS = 4
AT_ONCE = 16
SLOW_CLIENTS = 40
GOAL = 0.5
QUERY = ("lang=en&email=demo@example.com&passw=demo&hex=cross&supqv=320.50&supdp=250.00&exhqv=320.50&exhdp=90.00"
         "&outqv=320.50&outdp=80.00&extqv=320.50&extdp=220.00&dcsid=0123456789ABCDEF0123456789ABCDEF"
         "&plugVers=200811")
PAGE = "login/Ductora.jsp?" + QUERY
BURST = ["curl", "-s", "--no-progress-meter", "--noproxy", "*", "--parallel", "--parallel-immediate",
         "--parallel-max", str(AT_ONCE), "-H", "Connection: close"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_selector(bin_dir, folder):
    with open(os.path.join(folder, "accounts.txt"), "w") as f:
        f.write("demo@example.com demo\n")
    p = subprocess.Popen([os.path.join(bin_dir, "selector"), "--port", "0", folder], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL)
    line = p.stdout.readline().decode()
    if not line.startswith("selector: listening at "):
        sys.exit("selector: did not start")
    return p, line.split(" at ")[1].strip()


def start_static(folder, page_text):
    os.makedirs(os.path.join(folder, "selector", "login"))
    with open(os.path.join(folder, "selector", "login", "Ductora.jsp"), "wb") as f:
        f.write(page_text)
    port = free_port()
    p = subprocess.Popen(["/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder,
                          str(port)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    root = "http://127.0.0.1:%d/selector/" % port
    for _ in range(100):
        if subprocess.run(["curl", "-sf", "-o", "/dev/null", "--noproxy", "*", root + PAGE]).returncode == 0:
            return p, root
        time.sleep(0.1)
    sys.exit("selector: the static server did not start")


def part_config(root, folder, name):
    """A curl configuration of one part of the burst."""
    path = os.path.join(folder, name + ".cfg")
    with open(path, "w") as f:
        f.write(('url = "%s%s"\noutput = "/dev/null"\n' % (root, PAGE)) * REQUESTS)
    return path


def check_whole(config, side):
    """Every request of a part answered 200 in full, or the times mean nothing."""
    out = subprocess.run(BURST + ["-w", "%{http_code}\n", "-K", config], stdout=subprocess.PIPE).stdout.decode()
    ok = out.split().count("200")
    if ok != REQUESTS:
        sys.exit("selector: %s answered %d of %d" % (side, ok, REQUESTS))


def timed(config):
    started = time.perf_counter()
    if subprocess.run(BURST + ["-K", config], stdout=subprocess.DEVNULL).returncode != 0:
        sys.exit("selector: a burst failed")
    return time.perf_counter() - started


class SlowClients:
    """While in use: clients that send a request's header lines one a second, each from an
    address of its own, and connect again whenever the server ends their connection."""

    def __init__(self, port):
        self.port, self.running, self.connections = port, True, 0
        self.threads = [threading.Thread(target=self.client, args=("127.0.1.%d" % (i + 1),), daemon=True)
                        for i in range(SLOW_CLIENTS)]

    def __enter__(self):
        for t in self.threads:
            t.start()
        for _ in range(100):
            if self.connections >= SLOW_CLIENTS:
                return self
            time.sleep(0.05)
        sys.exit("selector: only %d slow clients connected" % self.connections)

    def __exit__(self, *_):
        self.running = False
        for t in self.threads:
            t.join()

    def client(self, source):
        while self.running:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=2, source_address=(source, 0)) as s:
                    self.connections += 1
                    s.sendall(("GET /selector/%s HTTP/1.1\r\nHost: 127.0.0.1\r\n" % PAGE).encode())
                    line = 0
                    while self.running:
                        s.sendall(b"X-Slow-%d: 1\r\n" % line)
                        line += 1
                        time.sleep(1)
            except OSError:
                time.sleep(0.1)


def ratios(reference, ours, port):
    """The ratios of each run, the burst alone and beside slow clients: the median of each
    side's bursts over the reference's median."""
    alone, slow = [], []
    for _ in range(benchlib.runs()):
        spent = {"reference": [], "alone": [], "slow": []}
        for _ in range(SETS):
            spent["reference"].append(timed(reference))
            spent["alone"].append(timed(ours))
            with SlowClients(port):
                spent["slow"] += [timed(ours), timed(ours)]
            spent["alone"].append(timed(ours))
            spent["reference"].append(timed(reference))
        median = {side: statistics.median(times) for side, times in spent.items()}
        alone.append(median["alone"] / median["reference"])
        slow.append(median["slow"] / median["reference"])
    return alone, slow


def main(bin_dir):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("selector: stopped"))  # the servers are stopped below
    work = tempfile.mkdtemp(prefix="bench_selector_")
    servers = []
    try:
        os.makedirs(os.path.join(work, "selector"))
        selector, root = start_selector(bin_dir, os.path.join(work, "selector"))
        servers.append(selector)
        page = subprocess.run(["curl", "-sf", "--noproxy", "*", root + PAGE], stdout=subprocess.PIPE).stdout
        static, static_root = start_static(os.path.join(work, "static"), page)
        servers.append(static)
        ours = part_config(root, work, "ours")
        reference = part_config(static_root, work, "reference")
        check_whole(ours, "the selector")
        check_whole(reference, "the static server")
        port = int(root.split(":")[2].split("/")[0])
        with SlowClients(port):
            check_whole(ours, "the selector beside slow clients")
        alone, slow = ratios(reference, ours, port)
        sys.stderr.write("selector: %d requests, %d at once; per run %d sets of reference, alone, beside %d slow "
                         "clients twice, alone, reference\n" % (REQUESTS, AT_ONCE, SETS, SLOW_CLIENTS))
        benchlib.report("selector", GOAL, alone)
        benchlib.report("selector_slow", GOAL, slow)
    finally:
        for p in servers:
            p.send_signal(signal.SIGTERM)
            p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else sys.exit(__doc__))
