"""Guards the selector against bad input: malformed requests, bad selection ids, paths out
of its folders (also through a symbolic link), huge and endless headers, forged forms, a
stalled request and a burst of 200 concurrent requests from eight addresses; the server
keeps serving, never answers a well-formed request with an error, logs every request on
one line each and stops cleanly on SIGTERM."""
import http.client
import os
import socket
import threading
import time
import urllib.parse

from cadhost_run import check
from selector_run import SELECTION_ID, Selector, status_of

sel = Selector()
host = "127.0.0.1:%d" % sel.port


def request(path, method="GET", body=b"", headers=""):
    """Status and body of one request on its own connection."""
    head = "%s %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n%s" % (method, path, host, headers)
    if body:
        head += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n" % len(body)
    answer = sel.raw(head.encode("latin-1") + b"\r\n" + body)
    return status_of(answer), answer.partition(b"\r\n\r\n")[2]


def start_path(**changes):
    return sel.address(**changes)[len("http://" + host):]


def alive():
    status, body = request(start_path())
    return status == 200 and b"Units that can serve it" in body


# Malformed requests: each refused, the server goes on.
for raw in (b"HELLO\r\n\r\n", b"GET\r\n\r\n", b"GET /selector/ HTTP/9\r\n\r\n", b"\x00\xff\r\n\r\n",
            b"POST /selector/export HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\nConnection: close\r\n\r\n"):
    status = status_of(sel.raw(raw, timeout=8, first=True))
    check(status is None or 400 <= status < 500, "%r is refused (%s)" % (raw, status))
check(alive(), "the selector serves after malformed requests")

# Selection ids and paths: only 32 hexadecimal digits, nothing outside its folders.
secret = os.path.join(sel.folder, "accounts.txt")
os.symlink(secret, sel.temp_file("ABCDEFABCDEFABCDEFABCDEFABCDEFAB"))
for path, expected in (("/selector/temp/0123456789ABCDEF0123456789ABCDE.XML", 400),
                       ("/selector/temp/0123456789ABCDEF0123456789ABCDEFF.XML", 400),
                       ("/selector/temp/0123456789ABCDEF0123456789ABCDEG.XML", 400),
                       ("/selector/temp/../accounts.txt", 400), ("/selector/temp/..%2Faccounts.txt", 400),
                       ("/selector/temp/..%2F..%2F..%2Fetc%2Fpasswd", 400),
                       ("/selector/temp/ABCDEFABCDEFABCDEFABCDEFABCDEFAB.XML", 404),  # a symbolic link
                       ("/selector/temp/%s.XML" % SELECTION_ID, 404),                  # nothing exported yet
                       ("/selector/../accounts.txt", 404), ("/selector/%2e%2e/accounts.txt", 404),
                       ("/selector/accounts.txt", 404), ("/selector/access.log", 404), ("/accounts.txt", 404),
                       ("/selector/temp/", 400), ("/selector/temp/%0A", 400)):
    status, body = request(path)
    check(status == expected and b"anna@example.org" not in body, "%s answers %d (%s)" % (path, expected, status),
          body.decode("utf-8", "replace"))
for changes, text in (({"dcsid": "0123456789ABCDEF0123456789ABCDE"}, b"not 32 hexadecimal digits"),
                      ({"dcsid": "../../../../../../../../etc/pass"}, b"not 32 hexadecimal digits"),
                      ({"dcsid": ""}, b"not 32 hexadecimal digits"),
                      ({"supqv": "12,5"}, b"The supply airflow &quot;12,5&quot; is not a number"),
                      ({"extdp": "nan"}, b"The extract pressure"), ({"outqv": "-1.00"}, b"The outdoor airflow"),
                      ({"exhqv": "1e999"}, b"The exhaust airflow")):
    status, body = request(start_path(**changes))
    check(status == 400 and text in body, "start page with %s is refused" % changes, body.decode("utf-8", "replace"))
# Markup in the demand comes back as text, never as markup.
status, body = request(start_path(lang="<script>x</script>", email="<b>anna</b>"))
check(status == 200 and b"<script>x" not in body and b"&lt;script&gt;x" in body, "the demand is escaped", body)

# Forged and incomplete exports.
form = dict((k, v) for k, v in urllib.parse.parse_qsl(start_path().split("?", 1)[1]))
form.update(unit="VH-CX-1200", ticket="0" * 64)
status, body = request("/selector/export", "POST", urllib.parse.urlencode(form).encode())
check(status == 403 and b'id="login"' in body, "an export with a forged ticket asks for a login", body)
check(not os.path.exists(sel.temp_file()), "and exports nothing")
status, _ = request("/selector/export", "POST", b"unit=VH-CX-1200&" + b"x" * 70000)
check(status == 413, "a form larger than the bound is refused (%s)" % status)

# Huge headers: one line beyond the bound, and an endless stream of small ones.
status = status_of(sel.raw(b"GET /selector/ HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 100000 + b"\r\n\r\n", first=True))
check(status == 400, "a 100 kB header line is refused (%s)" % status)
flood = socket.create_connection(("127.0.0.1", sel.port), timeout=2)
lines = b"".join(b"X-H%d: v\r\n" % i for i in range(5000))
sent = 0
try:
    flood.sendall(b"GET /selector/ HTTP/1.1\r\nHost: x\r\n")
    for _ in range(1000):   # up to 60 MB of headers
        flood.sendall(lines)
        sent += len(lines)
except OSError:
    pass
flood.close()
check(sent < 20 * 1024 * 1024, "an endless header block is cut off (%d bytes went in)" % sent)
rss = int([l for l in open("/proc/%d/status" % sel.proc.pid) if l.startswith("VmRSS")][0].split()[1])
check(rss < 200 * 1024, "the selector's memory stays bounded (%d kB)" % rss)
check(alive(), "the selector serves after huge headers")

# A stalled request does not keep others waiting, and is answered 408 once the time for a
# whole request is up.
slow = socket.create_connection(("127.0.0.1", sel.port), timeout=15)
slow.sendall(b"GET /selector/login/Ductora.jsp?lang=en")
started = time.time()
check(alive(), "others are served while a client is slow")
check(time.time() - started < 2, "promptly (%.1f s)" % (time.time() - started))
slow.settimeout(15)
answer = b""
try:
    while True:
        chunk = slow.recv(4096)
        if not chunk:
            break
        answer += chunk
except OSError:
    pass
check(status_of(answer) == 408 and time.time() - started < 12,
      "the stalled request is answered 408 and closed (%.1f s)" % (time.time() - started), answer)
slow.close()

# A burst of 200 concurrent well-formed requests from eight addresses (one address may hold
# 32 connections): every one answered in full.
gate = threading.Barrier(200)
results = []


def one(path, source):
    gate.wait()
    try:
        c = http.client.HTTPConnection("127.0.0.1", sel.port, timeout=60, source_address=(source, 0))
        c.request("GET", path)
        r = c.getresponse()
        body = r.read()
        c.close()
        results.append((r.status, b"Units that can serve it" in body or b"ZephyrExport" in body
                        or len(body) > 1000))
    except Exception as e:  # noqa: BLE001 - every failure is counted
        results.append((str(e), False))


paths = [start_path(), "/selector/Ventholm_14a.tcdz", "/selector/Duratcd.ddtz"]
threads = [threading.Thread(target=one, args=(paths[i % 3], "127.0.0.%d" % (1 + i % 8))) for i in range(200)]
for t in threads:
    t.start()
for t in threads:
    t.join()
bad = [r for r in results if r != (200, True)]
check(len(results) == 200 and not bad, "all 200 concurrent requests answered (%d failed: %s)" % (len(bad), bad[:5]))

# Every request on one line of the access log, unusual bytes escaped, no password.
request("/selector/x%0Ay%09z")
idle = socket.create_connection(("127.0.0.1", sel.port))  # an idle connection does not hold up the stop
rc = sel.stop()
idle.close()
check(rc == 0, "SIGTERM stops the selector cleanly (exit %s)" % rc, sel.stderr)
log = sel.access_log()
lines = log.splitlines()
check(all(len(l.split(" ")) == 4 for l in lines), "one line of four fields a request", log)
check(sum(" GET /selector/Ventholm_14a.tcdz 200" in l for l in lines) == 67 and
      sum(" GET /selector/Duratcd.ddtz 200" in l for l in lines) == 66, "each request of the burst is logged", log)
check(" GET /selector/x%0Ay%09z 404" in log, "a path's control bytes are escaped in the log", log)
check(" GET /selector/temp/..%2Faccounts.txt 400" not in log and " GET /selector/temp/../accounts.txt 400" in log,
      "the path is logged as the server read it", log)
check("demo" not in log.replace("demo@", ""), "no password in the log", log)
print("ok")
