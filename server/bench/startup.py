#!/usr/bin/env python3
"""Start-up and idle cost of zel-server beside the gSOAP peer.

For each server, 7 times: starts it, asks the service-content request
(bench/RetrieveServiceContent.xml) until it is answered with 200, and takes
the time from exec to that answer, the CPU time the process spent by then
(utime + stime from /proc), and its resident memory 0.3 s later, idle. Also
times `zel-server --version` (exec, the dynamic loader, static constructors
and exit: what start-up costs before the runtime starts). Prints medians.

  python3 server/bench/startup.py [--build build/default]
"""
import argparse
import os
import pathlib
import socket
import statistics
import subprocess
import time

HERE = pathlib.Path(__file__).resolve().parent
REQUEST = (HERE / "RetrieveServiceContent.xml").read_bytes()
RUNS = 7


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def answered(port):
    head = ("POST /zel HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n"
            'SOAPAction: "urn:zel/6.7.2"\r\nConnection: close\r\n'
            "Content-Length: %d\r\n\r\n" % len(REQUEST)).encode()
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        connection.sendall(head + REQUEST)
        answer = b""
        while chunk := connection.recv(65536):
            answer += chunk
    return answer.startswith(b"HTTP/1.1 200")


def cpu_ms(pid):
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")


def rss_mb(pid):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return 0.0


def start_once(command, port):
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while True:
            try:
                if answered(port):
                    break
            except OSError:
                time.sleep(0.0005)
            if time.monotonic() - started > 30:
                raise SystemExit(f"{command[0]} did not answer within 30 s")
        wall = (time.monotonic() - started) * 1000
        cpu = cpu_ms(process.pid)
        time.sleep(0.3)
        return wall, cpu, rss_mb(process.pid)
    finally:
        process.terminate()
        process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/default")
    args = parser.parse_args()
    build = pathlib.Path(args.build)
    server = build / "server" / "zel-server"
    peer = build / "server" / "bench" / "gsoap-peer" / "zel-gsoap-peer"
    print("| server | exec to first answer ms | CPU ms by then | idle RSS MB |")
    print("|---|---|---|---|")
    for name, make in [("zel-server", lambda p: [str(server), "--port", str(p),
                                                 "--log-level", "error"]),
                       ("gSOAP peer", lambda p: [str(peer), str(p)])]:
        if not pathlib.Path(make(0)[0]).exists():
            print(f"| {name} | not built | | |")
            continue
        runs = [start_once(make(port), port) for port in (free_port() for _ in range(RUNS))]
        print("| %s | %.1f | %.1f | %.1f |" % (
            name, *(statistics.median(run[i] for run in runs) for i in range(3))))
    version = []
    for _ in range(RUNS * 2):
        started = time.monotonic()
        subprocess.run([str(server), "--version"], stdout=subprocess.DEVNULL, check=True)
        version.append((time.monotonic() - started) * 1000)
    print("zel-server --version: %.1f ms" % statistics.median(version))


main()
