#!/usr/bin/env python3
"""Instructions and context switches per call of zel-server and the gSOAP peer.

Sends a fixed number of service-content calls over kept-alive connections
(each connection one call at a time, as a client waiting for its answer) and
reports, per call, the server's context switches (perf's software counter,
every thread of the server) and, with --callgrind, the instructions it
ran (valgrind's callgrind, counting only while the calls run). Instruction
counts do not depend on the machine's load; switches do a little.

  python3 server/bench/percall.py [--build build/default] [--calls 2000]
      [--connections 1] [--callgrind] [--keep DIR]

With --keep, callgrind's output files stay in DIR for callgrind_annotate.
"""
import argparse
import pathlib
import re
import selectors
import signal
import socket
import subprocess
import sys
import tempfile
import time

from servers import free_port, wait_until_listening

HERE = pathlib.Path(__file__).resolve().parent
REQUEST = (HERE / "RetrieveServiceContent.xml").read_bytes()


def http_request(port):
    return (f"POST /zel HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
            f"Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"urn:zel/6.7.2\"\r\n"
            f"Content-Length: {len(REQUEST)}\r\n\r\n").encode() + REQUEST


class Connection:
    """One kept-alive connection: sends a call, reads its whole answer."""

    def __init__(self, port, request):
        self.port = port
        self.request = request
        self.pending = b""
        self.sock = None
        self.connect()

    def connect(self):
        self.sock = socket.create_connection(("127.0.0.1", self.port))
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def send(self):
        self.sock.sendall(self.request)

    def received(self):
        """Reads what came; True when a whole answer is in. A server that
        closes after a number of calls (gSOAP does after 100) is connected
        to again."""
        chunk = self.sock.recv(65536)
        if not chunk:
            sys.exit("the server closed a connection")
        self.pending += chunk
        head_end = self.pending.find(b"\r\n\r\n")
        if head_end < 0:
            return False
        head = self.pending[:head_end].decode("latin-1")
        if not head.startswith("HTTP/1.1 200"):
            sys.exit(f"the server answered {head.splitlines()[0]!r}")
        length = int(re.search(r"(?im)^content-length:\s*(\d+)", head).group(1))
        if len(self.pending) < head_end + 4 + length:
            return False
        self.pending = self.pending[head_end + 4 + length:]
        self.closes = re.search(r"(?im)^connection:\s*close", head) is not None
        return True


def run_calls(port, calls, connections):
    request = http_request(port)
    selector = selectors.DefaultSelector()
    open_ = [Connection(port, request) for _ in range(connections)]
    sent = 0
    for connection in open_:
        if sent < calls:
            connection.send()
            sent += 1
            selector.register(connection.sock, selectors.EVENT_READ, connection)
    answered = 0
    while answered < calls:
        for key, _ in selector.select():
            connection = key.data
            if not connection.received():
                continue
            answered += 1
            if connection.closes:
                selector.unregister(connection.sock)
                connection.sock.close()
                connection.connect()
                selector.register(connection.sock, selectors.EVENT_READ, connection)
            if sent < calls:
                connection.send()
                sent += 1
    for connection in open_:
        connection.sock.close()


class SwitchCounter:
    """Context switches of a process while it runs, threads started meanwhile
    (gSOAP's, one a connection) included: perf's software counter."""

    def __init__(self, pid):
        self.out = tempfile.NamedTemporaryFile(suffix=".perf", delete=False)
        self.perf = subprocess.Popen(["perf", "stat", "-x,", "-e", "context-switches", "-p",
                                      str(pid), "-o", self.out.name])
        time.sleep(0.3)

    def stop(self):
        self.perf.send_signal(signal.SIGINT)
        self.perf.wait()
        text = pathlib.Path(self.out.name).read_text()
        pathlib.Path(self.out.name).unlink()
        for line in text.splitlines():
            parts = line.split(",")
            if len(parts) > 2 and parts[2] == "context-switches" and parts[0].isdigit():
                return int(parts[0])
        sys.exit(f"perf counted no context switches: {text}")


def measure(name, command, port, args, keep):
    callgrind_out = None
    if args.callgrind:
        callgrind_out = pathlib.Path(keep) / f"callgrind.{name}" if keep else pathlib.Path(
            tempfile.mkdtemp()) / "callgrind.out"
        command = ["valgrind", "--tool=callgrind", "--instr-atstart=no",
                   f"--callgrind-out-file={callgrind_out}.%p"] + command
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until_listening(port, process, name, seconds=60)
        run_calls(port, 20, args.connections)  # warm: first-call work is not per call
        if args.callgrind:
            subprocess.run(["callgrind_control", "-i", "on", str(process.pid)],
                           capture_output=True, check=True)
        counter = SwitchCounter(process.pid)
        run_calls(port, args.calls, args.connections)
        switched = counter.stop()
        if args.callgrind:
            for step in ("-i", "off"), ("-d",):
                subprocess.run(["callgrind_control", *step, str(process.pid)],
                               capture_output=True, check=True)
    finally:
        process.terminate()
        process.wait()
    result = {"cs/call": switched / args.calls}
    if args.callgrind:
        files = list(callgrind_out.parent.glob(callgrind_out.name + ".*"))
        total = 0
        for path in files:
            found = re.search(r"^totals:\s*(\d+)", path.read_text(errors="replace"),
                              re.M)
            total += int(found.group(1)) if found else 0
        result["instr/call"] = total / args.calls
        result["files"] = [str(f) for f in files]
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build/default", help="the build tree")
    parser.add_argument("--calls", type=int, default=2000, help="calls counted")
    parser.add_argument("--connections", type=int, default=1, help="kept-alive connections")
    parser.add_argument("--callgrind", action="store_true", help="count instructions")
    parser.add_argument("--keep", help="folder for callgrind's output files")
    args = parser.parse_args()
    build = pathlib.Path(args.build)
    zel_port, peer_port = free_port(), free_port()
    servers = {
        "zel": ([str(build / "server" / "zel-server"), "--port", str(zel_port), "--log-level",
                 "error"], zel_port),
        "gSOAP": ([str(build / "server" / "bench" / "gsoap-peer" / "zel-gsoap-peer"),
                   str(peer_port)], peer_port),
    }
    print(f"{args.calls} calls over {args.connections} kept-alive connection(s)")
    for name, (command, port) in servers.items():
        result = measure(name, command, port, args, args.keep)
        line = f"{name}: {result['cs/call']:.2f} context switches a call"
        if "instr/call" in result:
            line += f", {result['instr/call']:.0f} instructions a call"
            if args.keep:
                line += f" ({', '.join(result['files'])})"
        print(line)


if __name__ == "__main__":
    main()
