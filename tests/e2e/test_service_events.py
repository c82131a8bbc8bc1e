"""The program's analytics events reach the project's own web service: the real
curl.exe under Wine posts them to brivane-service's collector on 127.0.0.1."""

import json
import os
import shutil
import tempfile
import time
import unittest
import urllib.request

from harness import SERVICE, ProgramTest, free_port, start_service, stop_service, wait_until


@unittest.skipUnless(os.path.exists(SERVICE), "brivane-service is not built (native build missing)")
class ServiceEventsTest(ProgramTest):

    def setUp(self):
        super().setUp()
        self.data = tempfile.mkdtemp(prefix="brivane-e2e-service-")
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.service = start_service(self.port, self.data, "--public-url", self.base)

    def tearDown(self):
        super().tearDown()
        stop_service(self.service)
        shutil.rmtree(self.data, ignore_errors=True)

    def events(self):
        with urllib.request.urlopen(self.base + "/collect/events?limit=1000", timeout=10) as r:
            return json.load(r)["events"]

    def test_launch_event_arrives_with_the_exact_label(self):
        os.makedirs(self.prefix.local, exist_ok=True)
        app_id = "{9A8B7C6D-1234-4ABC-8DEF-0123456789AB}"
        with open(os.path.join(self.prefix.local, "settings.json"), "w") as f:
            json.dump({"app_id": app_id, "analytics_url": self.base}, f)
        program = self.install().start("-s")
        program.wait_log("System info sent to Analytics", timeout=60)
        label = next(m for m in program.log_messages() if m.startswith("System: "))[len("System: "):]

        def launch():
            return [e for e in self.events() if e.get("ec") == "Application" and e.get("ea") == "Launch"]
        found = wait_until(launch, 60, interval=0.5, what="the launch event at the collector")
        event = found[0]
        self.assertEqual(event["v"], "1")
        self.assertEqual(event["t"], "event")
        self.assertEqual(event["tid"], "UA-48151623-42")
        self.assertEqual(event["cid"], app_id.strip("{}"))
        self.assertEqual(event["an"], "BrivaneWin")
        self.assertEqual(event["av"], "3.10.0.58")
        # The label arrives as the program logged it, but for the characters the sender
        # turns into blanks ("/", "\", ":").
        expected = label.replace("/", " ").replace("\\", " ").replace(":", " ")
        self.assertEqual(event["el"], expected)
        self.assertIn("Up-0", event["el"])
