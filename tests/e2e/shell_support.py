"""Helpers for the tray and main-dialog scenarios, on top of harness.py: posting window
messages to the running program's main dialog, a local analytics collector, and the
program's settings.json."""

import http.server
import json
import os
import threading
import urllib.parse

from harness import BUILD, wait_until, wine


def post_messages(*messages):
    """Posts (msg, wParam, lParam) triples to the running program's main dialog; false
    when the dialog does not exist (yet)."""
    exe = os.path.join(BUILD, "tests", "wine", "postmsg.exe")
    args = [str(v) for m in messages for v in m]
    return wine([exe] + args, timeout=30).returncode == 0


def wait_main_window(timeout=60):
    """Waits until the program's main dialog exists (a WM_NULL reaches it)."""
    return wait_until(lambda: post_messages((0, 0, 0)), timeout, interval=0.5, what="the main dialog")


def read_settings(prefix):
    """The program's settings.json as a dict ({} when missing)."""
    path = os.path.join(prefix.local, "settings.json")
    if not os.path.exists(path):
        return {}
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def write_settings(prefix, values):
    os.makedirs(prefix.local, exist_ok=True)
    with open(os.path.join(prefix.local, "settings.json"), "w", encoding="utf-8") as f:
        json.dump(values, f, sort_keys=True, separators=(",", ":"))


class Collector:
    """A local analytics collector on 127.0.0.1 that records the form fields of every
    request; the program is pointed at it with the "analytics_url" setting."""

    def __init__(self):
        self.events = []
        collector = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                body = self.rfile.read(length).decode("utf-8", "replace")
                fields = {k: v[0] for k, v in urllib.parse.parse_qs(body, keep_blank_values=True).items()}
                query = urllib.parse.urlparse(self.path).query
                for k, v in urllib.parse.parse_qs(query, keep_blank_values=True).items():
                    fields.setdefault(k, v[0])
                collector.events.append(fields)
                self.send_response(200)
                self.send_header("Content-Length", "0")
                self.end_headers()

            do_GET = do_POST

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def url(self):
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def find(self, category, action, label=None):
        for e in list(self.events):
            if e.get("ec") == category and e.get("ea") == action and (label is None or e.get("el", "") == label):
                return e
        return None

    def wait_event(self, category, action, label=None, timeout=30):
        return wait_until(lambda: self.find(category, action, label), timeout, interval=0.2,
                          what="analytics event %r/%r/%r in %r" % (category, action, label, self.events))

    def close(self):
        self.server.shutdown()
        self.server.server_close()
