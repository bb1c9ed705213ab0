"""What the Zephyr command's end-to-end tests need around the host: a loopback HTTP server
in place of the selector's server, the browser that exports a unit to it, and a private
copy of the system's modules (a file beside the main module concerns only that copy).

LoopbackSelector serves the files of a folder under /selector/ and logs every request
path. Answers for an exported unit file (temp/<id>.XML) can be queued: "html" (a 404
error page), "page" (a login page with status 200), "busy" (503), "empty" (no body),
"huge" (50 MB), "cut" (the connection drops half way); without one the file itself is
served, or the error page when there is none.
"""
import http.server
import os
import shutil
import tempfile
import threading

from cadhost_run import bin_dir, source_dir, win_bin_dir
from zephyr_setup import DUCTORA, remove_at_exit

ERROR_PAGE = b"<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n"
LOGIN_PAGE = (b"\xef\xbb\xbf<?xml version=\"1.0\"?>\n<!DOCTYPE html>\n<html><head><title>Log in</title></head>"
              b"<body><form>E-mail <input name=\"email\"></form></body></html>\n")
HUGE_SIZE = 50 * 1024 * 1024
MODEL_FILES = ("Duratcd.ddtz", "Ventholm_14a.tcdz")


class LoopbackSelector:
    def __init__(self):
        self.served = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_served_"))
        self.log = []
        self.answers = []
        os.makedirs(os.path.join(self.served, "models"))
        shutil.copy(os.path.join(bin_dir(), MODEL_FILES[0]), self.served)
        shutil.copy(os.path.join(bin_dir(), MODEL_FILES[1]), os.path.join(self.served, "models"))
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                owner.log.append(self.path)
                name = self.path.split("?")[0]
                if not name.startswith("/selector/") or ".." in name:
                    return self.answer(404, ERROR_PAGE, "text/html")
                path = os.path.join(owner.served, name[len("/selector/"):])
                unit = name.startswith("/selector/temp/") and name.endswith(".XML")
                mode = owner.answers.pop(0) if unit and owner.answers else "file"
                if mode == "html" or not os.path.isfile(path):
                    return self.answer(404, ERROR_PAGE, "text/html")
                if mode == "page":
                    return self.answer(200, LOGIN_PAGE, "text/html")
                if mode == "busy":
                    return self.answer(503, ERROR_PAGE, "text/html")
                if mode == "empty":
                    return self.answer(200, b"", "text/xml")
                if mode == "huge":
                    self.head(200, HUGE_SIZE, "text/xml")
                    piece = b"<x>" + b"y" * (1024 * 1024 - 7) + b"</x>\n"
                    for _ in range(HUGE_SIZE // len(piece)):
                        self.wfile.write(piece)
                    self.wfile.write(b" " * (HUGE_SIZE % len(piece)))
                    return
                with open(path, "rb") as f:
                    body = f.read()
                if mode == "cut":
                    self.head(200, len(body), "text/xml")
                    self.wfile.write(body[:len(body) // 2])
                    self.wfile.flush()
                    self.close_connection = True
                    self.connection.shutdown(2)
                    return
                self.answer(200, body, "application/octet-stream")

            def head(self, status, length, kind):
                self.send_response(status)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(length))
                self.end_headers()

            def answer(self, status, body, kind):
                self.head(status, len(body), kind)
                self.wfile.write(body)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.root = "http://127.0.0.1:%d/selector/" % self.server.server_address[1]
        self.model_url = self.root + "models/" + MODEL_FILES[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def unit_requests(self):
        return [p for p in self.log if p.startswith("/selector/temp/")]

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def browser_command(record, selector, unit_file):
    """$BROWSER for export_browser.py: the address is appended as the last argument."""
    script = os.path.join(source_dir(), "tests", "e2e", "export_browser.py")
    return " ".join(["/usr/bin/python3", script, record, selector.served, unit_file, selector.model_url])


def private_install():
    """The loader, the main module and its libraries copied into a folder of the test's
    own; returns the modules to load (the copied loader, then Ductora)."""
    folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_install_"))
    names = ["Zephyr_Load_R20_x32.arx", "Zephyr_R20_x32.arx", "ZephyrDC.cuix", "tekcore.dll", "tekshape.dll",
             "tekpaint.dll", "teksolid.dll"]
    modules = win_bin_dir() or bin_dir()  # the host's own build's modules
    names += [n for n in os.listdir(modules) if n.startswith("lib") and ".so" in n]
    for name in names:
        shutil.copy(os.path.join(modules, name), folder)
    return folder, [os.path.join(folder, names[0]), DUCTORA]
