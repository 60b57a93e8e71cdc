#!/usr/bin/env python3
"""Start-up and idle cost of zel-server beside the gSOAP peer.

For each server, 7 times (--runs), in turn: starts it, asks the
service-content request (bench/RetrieveServiceContent.xml) until it is
answered with 200, and takes
the time from exec to that answer, the CPU time the process spent by then
(its threads' time on a CPU, /proc/PID/task/*/schedstat; a thread that has
ended by then is not counted, such as zel-server's thread that builds the
wire's type tables at start: callgrind counts every thread), and its resident
memory 0.3 s later, idle. Then zel-server's idle memory by component, from
/proc/PID/smaps: its program file, the system's shared objects, the heap,
the threads' stacks and the other anonymous memory. Also times
`zel-server --version` (exec, the dynamic loader, static constructors and
exit: what start-up costs before the runtime starts), wall and CPU. Prints
medians.

  python3 server/bench/startup.py [--build build/default] [--runs N]
                                  [--baseline OTHER/zel-server]

--baseline starts another zel-server program (an earlier build) in the same
turns, for a comparison that the machine's load sways alike.
"""
import argparse
import os
import pathlib
import resource
import socket
import statistics
import subprocess
import time

from servers import free_port

HERE = pathlib.Path(__file__).resolve().parent
REQUEST = (HERE / "RetrieveServiceContent.xml").read_bytes()
RUNS = 7


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
    # Nanoseconds on a CPU per thread: finer than the clock ticks of /proc/PID/stat.
    total = 0
    for task in pathlib.Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return total / 1e6


def rss_mb(pid):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return 0.0


def thread_stack_pointers(pid):
    # A thread waiting in a system call shows its stack pointer in .../syscall.
    pointers = []
    for task in pathlib.Path(f"/proc/{pid}/task").iterdir():
        try:
            fields = (task / "syscall").read_text().split()
        except OSError:
            continue
        if len(fields) >= 3:
            pointers.append(int(fields[-2], 16))
    return pointers


def memory_by_component(pid, program):
    """Resident and private dirty kB of the idle process by component, from
    /proc/PID/smaps. Clean pages of a file are shared with every process that
    maps it; dirty ones (written: relocated pointers, heap, stacks) are this
    process's own."""
    stacks = thread_stack_pointers(pid)
    components = {}
    mapping = None
    for line in pathlib.Path(f"/proc/{pid}/smaps").read_text().splitlines():
        head = line.split()
        if "-" in head[0] and not head[0].endswith(":"):
            start, end = (int(address, 16) for address in head[0].split("-"))
            path = head[5] if len(head) > 5 else ""
            if path == os.path.realpath(program):
                mapping = f"{pathlib.Path(program).name} (program: code, records, tables)"
            elif path.startswith("/") and ".so" in path:
                mapping = pathlib.Path(path).name.split(".so")[0]
            elif path == "[heap]":
                mapping = "heap (malloc)"
            elif path == "[stack]":
                mapping = "main thread's stack"
            elif path.startswith("["):
                mapping = "kernel-provided (vdso, vvar)"
            elif not path and any(start <= sp < end for sp in stacks):
                mapping = "other threads' stacks"
            elif not path:
                mapping = "anonymous (mimalloc's heap for runtime values and types, large blocks)"
            else:
                mapping = "other files"
            components.setdefault(mapping, [0, 0])
        elif head[0] == "Rss:" and mapping is not None:
            components[mapping][0] += int(head[1])
        elif head[0] == "Private_Dirty:" and mapping is not None:
            components[mapping][1] += int(head[1])
    return components


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
        return wall, cpu, rss_mb(process.pid), memory_by_component(process.pid, command[0])
    finally:
        process.terminate()
        process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--runs", type=int, default=RUNS)
    parser.add_argument("--baseline", metavar="ZEL_SERVER",
                        help="another zel-server program (an earlier build) to start beside")
    args = parser.parse_args()
    build = pathlib.Path(args.build)
    server = build / "server" / "zel-server"
    peer = build / "server" / "bench" / "gsoap-peer" / "zel-gsoap-peer"

    def zel(program):
        return lambda p: [str(program), "--port", str(p), "--log-level", "error"]

    servers = [("zel-server", zel(server))]
    if args.baseline:
        servers.append((f"zel-server {args.baseline}", zel(args.baseline)))
    servers.append(("gSOAP peer", lambda p: [str(peer), str(p)]))
    for name, make in servers:
        if not pathlib.Path(make(0)[0]).exists():
            print(f"{name}: not built")
    servers = [(name, make) for name, make in servers if pathlib.Path(make(0)[0]).exists()]
    # The servers start in turn, one run of each after the other, so that a
    # change of the machine's load falls on all of them alike.
    runs = {name: [] for name, _ in servers}
    for _ in range(args.runs):
        for name, make in servers:
            port = free_port()
            runs[name].append(start_once(make(port), port))
    print("| server | exec to first answer ms, median (fastest) | CPU ms by then | idle RSS MB |")
    print("|---|---|---|---|")
    for name, _ in servers:
        print("| %s | %.1f (%.1f) | %.1f | %.1f |" % (
            name, statistics.median(run[0] for run in runs[name]),
            min(run[0] for run in runs[name]),
            *(statistics.median(run[i] for run in runs[name]) for i in (1, 2))))
    zel_memory = [run[3] for run in runs.get("zel-server", [])]
    if zel_memory:
        print("\n| zel-server idle, by component | RSS kB | private dirty kB |\n|---|---|---|")
        names = {name for run in zel_memory for name in run}
        rows = [(*(statistics.median(run.get(name, [0, 0])[i] for run in zel_memory)
                   for i in range(2)), name) for name in names]
        for rss, dirty, name in sorted(rows, reverse=True):
            print("| %s | %d | %d |" % (name, rss, dirty))
    wall, cpu = [], []
    for _ in range(args.runs * 2):
        started = time.monotonic()
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run([str(server), "--version"], stdout=subprocess.DEVNULL, check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        wall.append((time.monotonic() - started) * 1000)
        cpu.append((after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1000)
    print("\nzel-server --version: %.1f ms, CPU %.1f ms" % (statistics.median(wall),
                                                          statistics.median(cpu)))


main()
