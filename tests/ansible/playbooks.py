#!/usr/bin/env python3
"""The Ansible collection with the real engine: ansible-playbook runs the example playbook over
three kiosks on this machine (local connections, each with its own home and state folder), two
of them reaching their own `qbx7config simulate`, one a port that refuses connections.

    playbooks.py PROGRAM REPOSITORY
"""

import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

PROGRAM, REPOSITORY = sys.argv[1], sys.argv[2]
EXAMPLES = os.path.join(REPOSITORY, "ansible", "examples")
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


class Simulator:
    """A printer of its own for a kiosk; what it received is read from its JSON events."""

    def __init__(self, folder):
        self.log = open(os.path.join(folder, "simulator.jsonl"), "w+")
        self.process = subprocess.Popen([PROGRAM, "simulate", "--listen", "127.0.0.1:0", "--json"],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            for event in self.events():
                if event.get("event") == "listening":
                    self.uri = event["uri"]
                    return
            time.sleep(0.05)
        raise SystemExit("the simulator did not start")

    def events(self):
        self.log.seek(0)
        return [json.loads(line) for line in self.log.read().splitlines() if line.startswith("{")]

    def transmissions(self):
        """Transmissions that carried bytes; the port check connects and sends nothing."""
        return sum(1 for e in self.events() if e.get("event") == "end" and e.get("bytes", 0) > 0)

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


def refused_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]  # nothing listens once it is closed


def kiosk(folder, name, port):
    """A kiosk's own home and state folder: its Python starts with them, as if it were
    another machine."""
    home = os.path.join(folder, name)
    os.makedirs(home)
    python = os.path.join(home, "python")
    with open(python, "w") as f:
        f.write('#!/bin/sh\nHOME="%s" XDG_STATE_HOME="%s/state" exec %s "$@"\n' % (home, home, sys.executable))
    os.chmod(python, 0o755)
    return {"ansible_connection": "local", "ansible_python_interpreter": python,
            "printer_port": port, "kiosk_profile_path": os.path.join(home, "kiosk.profile")}


def playbook(folder, *options):
    """Runs the example playbook as written; returns its exit status, and the results of each
    host's tasks by task name."""
    results_file = os.path.join(folder, "results.jsonl")
    if os.path.exists(results_file):
        os.remove(results_file)
    environment = dict(os.environ,
                       ANSIBLE_COLLECTIONS_PATH=os.path.join(REPOSITORY, "ansible"),
                       ANSIBLE_CALLBACK_PLUGINS=os.path.join(os.path.dirname(__file__), "callback_plugins"),
                       ANSIBLE_CALLBACKS_ENABLED="results_file",
                       QBX_ANSIBLE_RESULTS=results_file,
                       ANSIBLE_LOCAL_TEMP=os.path.join(folder, "ansible-local"),
                       ANSIBLE_NOCOLOR="1",
                       ANSIBLE_FORKS="3",
                       PATH=os.path.dirname(PROGRAM) + os.pathsep + os.environ.get("PATH", ""))
    started = time.monotonic()
    run = subprocess.run(["ansible-playbook", "-i", os.path.join(folder, "inventory.json"),
                          os.path.join(EXAMPLES, "site.yml"), *options],
                         env=environment, capture_output=True, text=True, timeout=300)
    seconds = time.monotonic() - started
    print("     ansible-playbook %s: exit %d in %.1f s" % (" ".join(options), run.returncode, seconds))
    results = {}
    if os.path.exists(results_file):
        with open(results_file) as f:
            for line in f:
                r = json.loads(line)
                results.setdefault(r["host"], {})[r["task"]] = dict(r["result"], status=r["status"])
    if not results:
        raise SystemExit("ansible-playbook ran no task:\n%s\n%s" % (run.stdout, run.stderr))
    return run.returncode, results


def changed(results, host):
    return sum(1 for r in results.get(host, {}).values() if r.get("changed"))


def failed(results, host):
    return sum(1 for r in results.get(host, {}).values() if r["status"] == "failed")


STORE = "The printer keeps the fleet's settings"
DOCTOR = "Nothing stands between the kiosk and its printer"


def documentation_and_examples():
    """ansible-doc explains every module; the README shows the example playbook as it is run
    here, and its example inventory is one the engine reads."""
    environment = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=os.path.join(REPOSITORY, "ansible"))
    for module in ("store", "doctor", "selftest"):
        doc = subprocess.run(["ansible-doc", "tesk.qbx740." + module], env=environment,
                             capture_output=True, text=True)
        check(doc.returncode == 0 and "EXAMPLES:" in doc.stdout and "RETURN VALUES:" in doc.stdout,
              "ansible-doc tesk.qbx740.%s %s" % (module, doc.stderr.strip()))
    with open(os.path.join(REPOSITORY, "README.md")) as f:
        readme = f.read()
    for name in ("site.yml", "inventory.yml", "kiosk.profile"):
        with open(os.path.join(EXAMPLES, name)) as f:
            check(f.read() in readme, "the README shows ansible/examples/%s as it is" % name)
    syntax = subprocess.run(["ansible-playbook", "--syntax-check", "-i", os.path.join(EXAMPLES, "inventory.yml"),
                             os.path.join(EXAMPLES, "site.yml")], env=environment, capture_output=True, text=True)
    check(syntax.returncode == 0, "the example inventory and playbook read: %s" % syntax.stderr.strip())


def main():
    if not shutil.which("ansible-playbook"):
        sys.exit("ansible-playbook is not installed (Debian package ansible-core; "
                 "'scripts/deps.sh test' installs it)")
    documentation_and_examples()
    folder = tempfile.mkdtemp(prefix="qbx-ansible-")
    printers = [None, None]
    try:
        for i in range(2):
            os.makedirs(os.path.join(folder, "printer-%d" % i))
            printers[i] = Simulator(os.path.join(folder, "printer-%d" % i))
        hosts = {"kiosk-1": kiosk(folder, "kiosk-1", printers[0].uri),
                 "kiosk-2": kiosk(folder, "kiosk-2", printers[1].uri),
                 "kiosk-3": kiosk(folder, "kiosk-3", "tcp:127.0.0.1:%d" % refused_port())}
        with open(os.path.join(folder, "inventory.json"), "w") as f:
            json.dump({"kiosks": {"hosts": hosts}}, f)
        live = ("kiosk-1", "kiosk-2")
        sent = lambda: [p.transmissions() for p in printers]

        status, results = playbook(folder, "--check")
        check(all(results[h][STORE].get("changed") and results[h][STORE]["status"] == "ok" for h in live),
              "check mode on new kiosks, before their profile was copied, reports the change")
        check(sent() == [0, 0], "and sends nothing: %s" % sent())

        status, results = playbook(folder)
        check(status != 0, "the first run fails, for the dead kiosk")
        check(all(results[h][STORE].get("changed") and failed(results, h) == 0 for h in live),
              "the first run changes both live kiosks")
        check(failed(results, "kiosk-3") == 1 and DOCTOR not in results["kiosk-3"],
              "the dead kiosk alone fails, at its store")
        check("connection refused" in results["kiosk-3"][STORE].get("msg", ""),
              "with the program's message: %s" % results["kiosk-3"][STORE].get("msg"))
        stored = results["kiosk-1"][STORE]
        check(stored.get("settings", {}).get("code-page") == "1252 (Windows Latin-1)"
              and stored.get("settings", {}).get("cut-offset") == "-2.5mm"
              and stored.get("frames", [""])[-1] == "1B 1D 23 57 30 30 30 30 30 0A 00",
              "store returns the settings and frames: %s" % {k: stored.get(k) for k in ("settings", "frames")})
        check(sent() == [1, 1], "each live printer got one transmission: %s" % sent())

        status, results = playbook(folder)
        check(all(changed(results, h) == 0 for h in live), "the second run changes nothing")
        check(sent() == [1, 1], "and sends nothing: %s" % sent())

        status, results = playbook(folder, "--check", "--diff", "-e", "cut_offset=-3")
        check(all(results[h][STORE].get("changed") for h in live), "check mode reports the change")
        diff = results["kiosk-2"][STORE].get("diff", {})
        check(diff.get("before", {}).get("cut-offset") == "-2.5mm" and diff.get("after", {}).get("cut-offset") == "-3mm",
              "diff mode shows the recorded value and the new one: %s" % diff)
        check(sent() == [1, 1], "check mode sends nothing: %s" % sent())

        status, results = playbook(folder, "-e", "force_store=true", "--tags", "store")
        check(all(results[h][STORE].get("changed") for h in live), "force sends again, changed")
        check(sent() == [2, 2], "force reaches both printers: %s" % sent())

        status, results = playbook(folder, "--tags", "doctor")
        check(all(results[h][DOCTOR]["status"] == "ok" and not results[h][DOCTOR].get("changed") for h in live),
              "doctor passes on the live kiosks, never changed")
        finding = results["kiosk-3"][DOCTOR]
        check(finding["status"] == "failed" and "connection refused" in finding.get("msg", ""),
              "doctor fails on the dead one: %s" % finding.get("msg"))
        check(sent() == [2, 2], "doctor sends nothing: %s" % sent())
    finally:
        for p in printers:
            if p:
                p.stop()
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        sys.exit("%d checks failed" % len(failures))


main()
