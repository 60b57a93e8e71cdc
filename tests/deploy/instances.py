"""zel-server instances the checks start (again) on a given port, as
deploy.sh starts them; they end with the checks, however these end."""

import ctypes
import os
import signal
import subprocess
import time

from soap_session import Session, Unanswered

READY_WITHIN_SECONDS = 15.0
PR_SET_PDEATHSIG = 1


def die_with_parent():
    # Runs in the child before exec: SIGTERM when the checks' process ends.
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Instance:
    started = []

    def __init__(self, server, flags, url, log, cafile=None):
        """Starts server on url's port with flags; returns once it is ready.
        An https url's certificate is checked against cafile."""
        self.url = url
        port = url.split("/")[2].rsplit(":", 1)[1]
        with open(log, "ab") as out:
            self.process = subprocess.Popen([server, "--port", port] + flags, stdout=out,
                                            stderr=subprocess.STDOUT,
                                            preexec_fn=die_with_parent)
        Instance.started.append(self)
        deadline = time.monotonic() + READY_WITHIN_SECONDS
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                if Session(url, cafile).get("/readyz")[0] == 200:
                    return
            except OSError:
                pass
            time.sleep(0.05)
        raise Unanswered("%s did not start on %s (see %s)" % (server, url, log))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(30)

    @classmethod
    def stop_at(cls, url):
        for instance in cls.started:
            if instance.url == url:
                instance.stop()

    @classmethod
    def stop_all(cls):
        for instance in cls.started:
            instance.stop()


def wait_for_exit(pid, seconds=30):
    """Waits for a process that is not a child of this one to end."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return
        time.sleep(0.05)
