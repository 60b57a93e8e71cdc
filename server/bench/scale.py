#!/usr/bin/env python3
"""Calls per second and latency of zel-server by store and through HAProxy.

Measures two calls with wrk: a read (retrieveContent of one profile, in a
session) and create (a new profile each time, in a session), against

  memory       one instance, memory store
  sqlite       one instance, an SQLite file (--data FILE)
  postgresql   one instance, a PostgreSQL cluster of its own (--data URI)
  haproxy      HAProxy (docs/deploy/haproxy.cfg, its plain listener) in front
               of two instances on one PostgreSQL cluster

Then both run at once, each with half of the connections ("read beside
create", "create beside read"): what reads meet while changes run.

Each round of a setup gets fresh processes (and a fresh cluster: the service
holds at most 100000 profiles); instances run with --log-level error. Before
the runs the script logs in 16 sessions (wrk sends them in turn: a session
may create at most 10000 profiles) and creates the profile the read asks
for. Each run is wrk with --threads threads and --connections kept-alive
connections for --seconds; with --rounds over 1 the median of the rounds is
printed. With --in-a-row the rounds of a setup run one after the other on
the same processes, each printed, so that the later ones find what the
earlier ones created: how the figures move with the data stored. A run with
a failed call (a connection error, an HTTP status over 399) is reported as
failed.

The PostgreSQL rows need PostgreSQL's server programs; the balancer row
HAProxy as well. Rows that cannot run are left out, saying why.

  python3 server/bench/scale.py [--build build/default] [--seconds 5] [--rounds 1]
                                [--connections 8] [--threads 2] [--only SETUP,...]
                                [--in-a-row]
"""
import argparse
import itertools
import os
import pathlib
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

from servers import free_port

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
WRK_SCRIPT = HERE / "scale.lua"
PG_CLUSTER = ROOT / "tests" / "support" / "pg_cluster.sh"
HAPROXY_CONFIG = ROOT / "docs" / "deploy" / "haproxy.cfg"
SETUPS = ["memory", "sqlite", "postgresql", "haproxy"]
SESSIONS = 16
CALLS = ["read", "create", "read beside create", "create beside read"]
OTHER = {"read": "create", "create": "read"}
# Numbers the runs, whose profiles get names apart from the other runs'.
RUNS = itertools.count(1)
STARTUP_SECONDS = 30

ENVELOPE = ('<?xml version="1.0" encoding="UTF-8"?>'
            '<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
            'xmlns:xsd="http://www.w3.org/2001/XMLSchema"><soapenv:Body>%s'
            "</soapenv:Body></soapenv:Envelope>")
PROFILE_MANAGER = '<_this type="ZelProfileProfileManager">ProfileManager</_this>'
CREATE = ('<ZelCreate xmlns="urn:zel">' + PROFILE_MANAGER +
          "<createSpec><name>@NAME@</name><resourceType><resourceType>STORAGE</resourceType>"
          '</resourceType><constraints xsi:type="ZelCapabilitySubProfileConstraints">'
          "<subProfiles><name>replicated</name><capability><id><namespace>sample.storage"
          "</namespace><id>replicaCount</id></id><constraint><propertyInstance>"
          '<id>replicaCount</id><value xsi:type="xsd:int">2</value></propertyInstance>'
          "</constraint></capability></subProfiles></constraints></createSpec></ZelCreate>")
RETRIEVE = ('<ZelRetrieveContent xmlns="urn:zel">' + PROFILE_MANAGER +
            "<profileIds><uniqueId>%s</uniqueId></profileIds></ZelRetrieveContent>")
LOGIN = ('<ZelLoginByToken xmlns="urn:zel"><_this type="ZelSessionManager">SessionManager'
         "</_this><delegatedTokenXml>%s</delegatedTokenXml></ZelLoginByToken>")


def post(url, body, cookie=None):
    """One call; (answer text, the session cookie set, if any)."""
    headers = {"Content-Type": "text/xml; charset=utf-8", "SOAPAction": '"urn:zel"'}
    if cookie:
        headers["Cookie"] = "zel_session=" + cookie
    request = urllib.request.Request(url, data=(ENVELOPE % body).encode("utf-8"),
                                     method="POST", headers=headers)
    try:
        with urllib.request.urlopen(request, timeout=10) as answer:
            set_cookie = re.match(r"zel_session=([^;]+)", answer.headers.get("Set-Cookie") or "")
            return answer.read().decode("utf-8"), set_cookie.group(1) if set_cookie else None
    except urllib.error.HTTPError as e:
        sys.exit("a call to prepare the runs failed at %s: HTTP %d %s"
                 % (url, e.code, e.read(300).decode("utf-8", "replace")))


class Processes:
    """What a setup started, stopped in reverse order."""

    def __init__(self, folder):
        self.folder = folder
        self.running = []  # (name, Popen)
        self.clusters = []

    def start_server(self, build, name, *flags):
        program = build / "server" / "zel-server"
        with open(self.folder / (name + ".out"), "wb") as log:
            process = subprocess.Popen([str(program), "--port", "0", "--log-level", "error"] +
                                       list(flags), stdout=log, stderr=subprocess.STDOUT)
        self.running.append((name, process))
        deadline = time.monotonic() + STARTUP_SECONDS
        while time.monotonic() < deadline:
            found = re.search(r"http://127\.0\.0\.1:\d+/zel",
                              (self.folder / (name + ".out")).read_text(errors="replace"))
            if found:
                return found.group(0)
            if process.poll() is not None:
                break
            time.sleep(0.05)
        sys.exit("%s did not start:\n%s" % (name, (self.folder / (name + ".out")).read_text()))

    def start_cluster(self):
        folder = pathlib.Path(tempfile.mkdtemp(prefix="zel-scale-pg-"))
        self.clusters.append(folder)
        return subprocess.run(["bash", str(PG_CLUSTER), "start", str(folder)], check=True,
                              capture_output=True, text=True).stdout.strip()

    def start_haproxy(self, haproxy, instances):
        port = free_port()
        key, cert = self.folder / "lb.key", self.folder / "lb.crt"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-keyout", str(key), "-out", str(cert)],
                       check=True, capture_output=True)
        (self.folder / "lb.pem").write_bytes(cert.read_bytes() + key.read_bytes())
        environment = dict(os.environ, ZEL_LB_HTTP="127.0.0.1:%d" % port,
                           ZEL_LB_HTTPS="127.0.0.1:%d" % free_port(),
                           ZEL_LB_CERT=str(self.folder / "lb.pem"),
                           ZEL_LB_STATS=str(self.folder / "haproxy.sock"))
        for n, url in enumerate(instances, 1):
            environment["ZEL_INSTANCE_%d" % n] = url.split("/")[2]
        with open(self.folder / "haproxy.out", "wb") as log:
            process = subprocess.Popen([haproxy, "-db", "-f", str(HAPROXY_CONFIG)],
                                       env=environment, stdout=log, stderr=subprocess.STDOUT)
        self.running.append(("haproxy", process))
        url = "http://127.0.0.1:%d/zel" % port
        # Ready when a call through it is answered by each instance in turn.
        deadline = time.monotonic() + STARTUP_SECONDS
        answered = 0
        while answered < 2 * len(instances) and time.monotonic() < deadline:
            try:
                urllib.request.urlopen(url.replace("/zel", "/readyz"), timeout=2).read()
                answered += 1
            except OSError:
                answered = 0
                time.sleep(0.1)
        if answered < 2 * len(instances):
            sys.exit("HAProxy does not answer at %s" % url)
        return url

    def stop(self):
        for _, process in reversed(self.running):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(STARTUP_SECONDS)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.running = []
        for folder in self.clusters:
            subprocess.run(["bash", str(PG_CLUSTER), "stop", str(folder)], capture_output=True)
        self.clusters = []


def prepare(url, token_program):
    """Logs in the sessions and creates the profile the read asks for."""
    sessions = []
    for n in range(SESSIONS):
        token = subprocess.run([token_program, "--subject", "bench%d@sample.test" % n],
                               check=True, capture_output=True, text=True).stdout
        escaped = token.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
        _, cookie = post(url, LOGIN % escaped)
        if not cookie:
            sys.exit("no session cookie from the login at %s" % url)
        sessions.append(cookie)
    text, _ = post(url, CREATE.replace("@NAME@", "bench-read-%d" % next(RUNS)), sessions[0])
    profile = re.search(r"<uniqueId>([^<]+)</uniqueId>", text).group(1)
    return sessions, profile


def start_wrk(url, request_file, sessions, args, connections):
    environment = dict(os.environ, ZEL_BENCH_REQUEST=str(request_file),
                       ZEL_BENCH_SESSIONS=",".join(sessions), ZEL_BENCH_RUN=str(next(RUNS)))
    threads = min(args.threads, connections)
    return subprocess.Popen(["wrk", "-t", str(threads), "-c", str(connections),
                             "-d", "%ds" % args.seconds, "-s", str(WRK_SCRIPT), url],
                            env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)


def finish_wrk(running):
    stdout, stderr = running.communicate()
    found = re.search(r"zel-bench: (.*)", stdout)
    if running.returncode != 0 or not found:
        sys.exit("wrk failed:\n" + stdout + stderr)
    figures = dict((k, int(v)) for k, v in (p.split("=") for p in found.group(1).split()))
    return {"calls": figures["requests"] * 1e6 / figures["duration_us"],
            "p50": figures["p50_us"], "p99": figures["p99_us"],
            "failed": figures["failed"] + figures["status_errors"]}


def measure(url, args, folder):
    """{call: figures} of one run of each call against url."""
    sessions, profile = prepare(url, args.token_program)
    requests = {"read": folder / "read.xml", "create": folder / "create.xml"}
    requests["read"].write_text(ENVELOPE % (RETRIEVE % profile))
    requests["create"].write_text(ENVELOPE % CREATE)
    figures = {call: finish_wrk(start_wrk(url, requests[call], sessions, args, args.connections))
               for call in ("read", "create")}
    # Then both at once, half of the connections each: what reads meet while
    # changes run.
    half = max(1, args.connections // 2)
    both = {call: start_wrk(url, requests[call], sessions, args, half)
            for call in ("read", "create")}
    for call, running in both.items():
        figures[call + " beside " + OTHER[call]] = finish_wrk(running)
    return figures


def start_setup(setup, processes, build, haproxy, folder):
    """Starts what setup measures; the URL to send the calls to."""
    if setup == "memory":
        return processes.start_server(build, "instance")
    if setup == "sqlite":
        return processes.start_server(build, "instance", "--data", str(folder / "bench.db"))
    database = processes.start_cluster()
    if setup == "postgresql":
        return processes.start_server(build, "instance", "--data", database)
    instances = [processes.start_server(build, "instance%d" % n, "--data", database)
                 for n in (1, 2)]
    return processes.start_haproxy(haproxy, instances)


def print_row(setup, call, row, note=""):
    print("%-10s %-18s %8.0f calls/s  p50 %6d us  p99 %7d us%s%s"
          % (setup, call, row["calls"], row["p50"], row["p99"], note,
             "  FAILED CALLS: %d" % row["failed"] if row["failed"] else ""), flush=True)


def run_setup(setup, build, haproxy, args):
    """The rows of setup, the medians of its rounds. Each round runs on fresh
    processes (and a fresh database), so that no round meets the service's
    limit on profiles; with --in-a-row all rounds run on the same processes,
    one after the other, and each is printed: the later rounds find what the
    earlier ones created."""
    rounds = []
    folder = processes = None
    try:
        for number in range(1, args.rounds + 1):
            if processes is None or not args.in_a_row:
                if processes is not None:
                    processes.stop()
                    shutil.rmtree(folder, ignore_errors=True)
                folder = pathlib.Path(tempfile.mkdtemp(prefix="zel-scale-"))
                processes = Processes(folder)
                url = start_setup(setup, processes, build, haproxy, folder)
            rounds.append(measure(url, args, folder))
            if args.in_a_row:
                for call in CALLS:
                    print_row(setup, call, rounds[-1][call], "  (round %d)" % number)
    finally:
        if processes is not None:
            processes.stop()
            shutil.rmtree(folder, ignore_errors=True)
    rows = []
    for call in CALLS:
        runs = [r[call] for r in rounds]
        row = {k: statistics.median(r[k] for r in runs) for k in ("calls", "p50", "p99")}
        row["failed"] = sum(r["failed"] for r in runs)
        rows.append((setup, call, row))
        print_row(setup, call, row)
    return rows


def missing(haproxy, setup):
    """Why the setup cannot run here, or None."""
    if setup in ("postgresql", "haproxy"):
        if subprocess.run(["bash", str(PG_CLUSTER), "available"],
                          capture_output=True).returncode != 0:
            return "no PostgreSQL server programs"
    if setup == "haproxy" and not haproxy:
        return "no HAProxy"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "default"))
    parser.add_argument("--seconds", type=int, default=5)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--connections", type=int, default=8)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--in-a-row", action="store_true",
                        help="run the rounds on the same processes, printing each")
    parser.add_argument("--only", default=",".join(SETUPS), help="setups, comma separated")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    args.token_program = str(build / "tools" / "zel-token" / "zel-token")
    if not shutil.which("wrk"):
        print("SKIP: wrk is not installed (scripts/setup.sh --benchmarks)")
        return 77
    haproxy = shutil.which("haproxy") or shutil.which("haproxy", path="/usr/sbin")
    setups = [s for s in args.only.split(",") if s]
    for setup in setups:
        if setup not in SETUPS:
            parser.error("unknown setup %s (%s)" % (setup, ", ".join(SETUPS)))
    print("wrk: %d threads, %d connections, %d s, %d round(s); %d cores"
          % (args.threads, args.connections, args.seconds, args.rounds, os.cpu_count()))
    rows = []
    failed = False
    for setup in setups:
        why = missing(haproxy, setup)
        if why:
            print("%-10s left out: %s" % (setup, why))
            continue
        measured = run_setup(setup, build, haproxy, args)
        rows += measured
        failed = failed or any(row["failed"] for _, _, row in measured)
    print()
    print("| setup | call | calls/s | p50 µs | p99 µs |")
    print("|---|---|---|---|---|")
    for setup, call, row in rows:
        print("| %s | %s | %.0f | %d | %d |" % (setup, call, row["calls"], row["p50"], row["p99"]))
    if failed:
        print("some calls failed: the figures of those rows are not comparable")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
