"""What the load scripts beside this file share: free loopback ports and
waiting for a server they started to listen."""
import socket
import sys
import time


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until_listening(port, process, name, seconds=10):
    """Returns once port takes connections; exits naming the server when it
    ends first or does not listen within seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            sys.exit(f"{name} exited at start with status {process.returncode}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"{name} does not listen on port {port}")
