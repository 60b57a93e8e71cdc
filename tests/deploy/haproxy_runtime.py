"""HAProxy's runtime API, on the socket the configuration names
(ZEL_LB_STATS): the servers' states and commands to them."""

import socket
import time

# The backend of docs/deploy/haproxy.cfg.
BACKEND = "zel"


def admin(stats_socket, command):
    """One command; its answer."""
    with socket.socket(socket.AF_UNIX) as connection:
        connection.settimeout(5)
        connection.connect(stats_socket)
        connection.sendall(command.encode("ascii") + b"\n")
        answer = b""
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                return answer.decode("utf-8", "replace")
            answer += chunk


def server_rows(stats_socket):
    """{server name: {column: value}} of the backend's servers, from 'show
    stat' (CSV): status, check_status, last_chk, ..."""
    lines = admin(stats_socket, "show stat").splitlines()
    header = lines[0].lstrip("# ").split(",")
    rows = {}
    for line in lines[1:]:
        row = dict(zip(header, line.split(",")))
        if row.get("pxname") == BACKEND and row.get("svname") not in (None, "BACKEND",
                                                                       "FRONTEND"):
            rows[row["svname"]] = row
    return rows


def settled_check(stats_socket, server, seconds=2.0):
    """The server's row once its check is not running ('show stat' marks a
    running check's check_status with "* " and has no last_chk for it)."""
    deadline = time.monotonic() + seconds
    while True:
        row = server_rows(stats_socket).get(server, {})
        if not row.get("check_status", "").startswith("* ") or time.monotonic() > deadline:
            return row
        time.sleep(0.05)


def server_states(stats_socket):
    """{server name: status} of the backend."""
    return {name: row.get("status", "") for name, row in server_rows(stats_socket).items()}


def wait_for_states(stats_socket, wanted, seconds):
    """Polls until the servers named in wanted have the states given; the
    last states seen (all the backend's servers)."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            states = server_states(stats_socket)
        except OSError:
            states = {}
        if all(states.get(name) == state for name, state in wanted.items()):
            return states
        if time.monotonic() > deadline:
            return states
        time.sleep(0.1)


def set_state(stats_socket, server, state):
    """Takes a server out ("drain": no new calls; "maint") or puts it back
    ("ready")."""
    admin(stats_socket, "set server %s/%s state %s" % (BACKEND, server, state))
