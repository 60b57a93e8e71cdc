#!/usr/bin/env python3
"""Load comparison of zel-server with a stock gSOAP server (zel-gsoap-peer).

Starts both on free loopback ports (zel-server with --log-level error and its
memory store), checks that both answer the service-content request with 200,
then drives each with wrk posting that same request: 1, 2, 8 and 64 kept-alive
connections, and 8 connections that each ask for a new connection per request
(Connection: close). The two servers take turns (A B A B A B) and each row
prints the medians over the rounds of calls/s, p50 and p99 latency, the
server's CPU time per call (utime + stime of the process from /proc) and, where
perf can count them, its context switches per call, with the ratio zel/gSOAP.

  python3 server/bench/compare.py [--build build/default] [--seconds 5] [--rounds 3]
      [--zel-option=--io-threads=8 ...]
"""
import argparse
import os
import pathlib
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from servers import free_port, wait_until_listening

HERE = pathlib.Path(__file__).resolve().parent
REQUEST = HERE / "RetrieveServiceContent.xml"
WRK_SCRIPT = HERE / "post-request.lua"
ACTION = '"urn:zel/6.7.2"'
# (label, connections, new connection per request)
ROWS = [("keep-alive c=1", 1, False), ("keep-alive c=2", 2, False),
        ("keep-alive c=8", 8, False), ("keep-alive c=64", 64, False),
        ("close c=8", 8, True)]
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def check_answers(url, name):
    request = urllib.request.Request(url, data=REQUEST.read_bytes(), method="POST", headers={
        "Content-Type": "text/xml; charset=utf-8", "SOAPAction": ACTION})
    with urllib.request.urlopen(request, timeout=5) as answer:
        body = answer.read()
        if answer.status != 200 or b"<replicationManager" not in body:
            sys.exit(f"{name} did not answer the request with the service content")
        return len(body)


def cpu_seconds(pid):
    # utime and stime are the 14th and 15th fields; the name may hold spaces.
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def perf_available():
    try:
        return subprocess.run(["perf", "stat", "-e", "context-switches", "true"],
                              capture_output=True).returncode == 0
    except FileNotFoundError:
        return False


def to_micros(text):
    """wrk's latency ("93.00us", "3.19ms", "1.02s", "1.50m"); None for what it
    prints when it measured none ("-nanus")."""
    found = re.fullmatch(r"([\d.]+)(us|ms|s|m)", text)
    if not found:
        print(f"  note: wrk printed the latency {text!r}")
        return None
    value, unit = found.groups()
    return float(value) * {"us": 1, "ms": 1e3, "s": 1e6, "m": 60e6}[unit]


def run_wrk(url, connections, close, seconds, pid, count_switches):
    env = dict(os.environ, ZEL_BENCH_REQUEST=str(REQUEST))
    if close:
        env["ZEL_BENCH_CLOSE"] = "1"
    threads = min(2, connections)
    perf = None
    if count_switches:
        perf_out = tempfile.NamedTemporaryFile(suffix=".perf", delete=False)
        perf = subprocess.Popen(["perf", "stat", "-x,", "-e", "context-switches", "-p",
                                 str(pid), "-o", perf_out.name])
        time.sleep(0.2)
    cpu_before = cpu_seconds(pid)
    out = subprocess.run(["wrk", "-t", str(threads), "-c", str(connections), "-d", f"{seconds}s",
                          "--latency", "-s", str(WRK_SCRIPT), url],
                         env=env, capture_output=True, text=True, check=True).stdout
    cpu = cpu_seconds(pid) - cpu_before
    switches = None
    if perf:
        perf.send_signal(signal.SIGINT)
        perf.wait()
        for line in pathlib.Path(perf_out.name).read_text().splitlines():
            parts = line.split(",")
            if len(parts) > 2 and parts[2] == "context-switches" and parts[0].isdigit():
                switches = int(parts[0])
        os.unlink(perf_out.name)
    calls = int(re.search(r"(\d+) requests in", out).group(1))
    for problem in re.findall(r"(Non-2xx or 3xx responses: \d+|Socket errors: .*)", out):
        print(f"  note: {url} with {connections} connections: {problem}")
    return {
        "calls/s": float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1)),
        # The distribution's lines, not a "+/- Stdev" column ending in 50%.
        "p50 us": to_micros(re.search(r"^\s+50%\s+(\S+)", out, re.M).group(1)),
        "p99 us": to_micros(re.search(r"^\s+99%\s+(\S+)", out, re.M).group(1)),
        "cpu us/call": cpu * 1e6 / max(calls, 1),
        "cs/call": switches / max(calls, 1) if switches is not None else None,
    }


def median(runs, key):
    values = [run[key] for run in runs if run[key] is not None]
    return statistics.median(values) if values else None


def cell(value, digits=1):
    return "-" if value is None else f"{value:.{digits}f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build/default", help="the build tree")
    parser.add_argument("--seconds", type=int, default=5, help="length of one wrk run")
    parser.add_argument("--rounds", type=int, default=3, help="runs of each server per row")
    parser.add_argument("--zel-option", action="append", default=[],
                        help="an option more for zel-server (--zel-option=--io-threads=8)")
    args = parser.parse_args()
    build = pathlib.Path(args.build)
    zel_binary = build / "server" / "zel-server"
    peer_binary = build / "server" / "bench" / "gsoap-peer" / "zel-gsoap-peer"
    for binary in (zel_binary, peer_binary):
        if not binary.exists():
            sys.exit(f"{binary} is not built (the peer needs soapcpp2 and libgsoap-dev)")

    zel_port, peer_port = free_port(), free_port()
    servers = {
        "zel": subprocess.Popen([str(zel_binary), "--port", str(zel_port), "--log-level", "error",
                                 *args.zel_option], stdout=subprocess.DEVNULL),
        "gSOAP": subprocess.Popen([str(peer_binary), str(peer_port)], stdout=subprocess.DEVNULL),
    }
    urls = {"zel": f"http://127.0.0.1:{zel_port}/zel", "gSOAP": f"http://127.0.0.1:{peer_port}/zel"}
    try:
        wait_until_listening(zel_port, servers["zel"], "zel-server")
        wait_until_listening(peer_port, servers["gSOAP"], "zel-gsoap-peer")
        sizes = {name: check_answers(url, name) for name, url in urls.items()}
        model = re.search(r"model name\s*:\s*(.*)", pathlib.Path("/proc/cpuinfo").read_text())
        print(f"machine: {os.cpu_count()} cores, {model.group(1) if model else 'unknown CPU'}; "
              f"load average at start: {os.getloadavg()[0]:.2f}")
        if args.zel_option:
            print(f"zel-server options: {' '.join(args.zel_option)}")
        print(f"request: {REQUEST.stat().st_size} bytes; answers: zel {sizes['zel']} bytes, "
              f"gSOAP {sizes['gSOAP']} bytes; {args.rounds} rounds of {args.seconds} s, "
              f"medians")
        count_switches = perf_available()
        columns = ["calls/s", "p50 us", "p99 us", "cpu us/call", "cs/call"]
        print("| load | server | " + " | ".join(columns) + " |")
        print("|---|---|" + "---|" * len(columns))
        for label, connections, close in ROWS:
            runs = {"zel": [], "gSOAP": []}
            for _ in range(args.rounds):
                for name in ("zel", "gSOAP"):
                    runs[name].append(run_wrk(urls[name], connections, close, args.seconds,
                                              servers[name].pid, count_switches))
            medians = {name: {key: median(runs[name], key) for key in columns} for name in runs}
            for name in ("zel", "gSOAP"):
                values = medians[name]
                print(f"| {label} | {name} | {cell(values['calls/s'], 0)} | "
                      f"{cell(values['p50 us'])} | {cell(values['p99 us'])} | "
                      f"{cell(values['cpu us/call'])} | {cell(values['cs/call'], 2)} |")
            ratios = [
                (a / b if a is not None and b else None)
                for a, b in ((medians["zel"][key], medians["gSOAP"][key]) for key in columns)
            ]
            print(f"| {label} | zel/gSOAP | " + " | ".join(cell(r, 2) for r in ratios) + " |")
        print(f"load average at end: {os.getloadavg()[0]:.2f}")
    finally:
        for server in servers.values():
            server.terminate()
            server.wait()


if __name__ == "__main__":
    main()
