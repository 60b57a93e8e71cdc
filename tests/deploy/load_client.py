"""A client creating profiles in a loop, keeping the time and the outcome of
every call."""

import threading
import time

from soap_session import Fault, Session, Unanswered


class LoadClient(threading.Thread):
    """Logs in at url, then creates profiles named "PREFIX NUMBER.SERIAL"
    until stop is set."""

    def __init__(self, url, number, token, stop, prefix, cafile=None):
        super().__init__(name="%s-%d" % (prefix, number))
        self.number = number
        self.prefix = prefix
        self.session = Session(url, cafile)
        self.token = token
        self.stop = stop
        self.answered = []  # (time, id)
        self.unanswered = []  # (time, what)

    def run(self):
        try:
            self.session.login(self.token)
        except (Fault, Unanswered) as e:
            self.unanswered.append((time.monotonic(), "login: %s" % e))
            return
        serial = 0
        while not self.stop.is_set():
            serial += 1
            name = "%s %d.%d" % (self.prefix, self.number, serial)
            try:
                self.answered.append((time.monotonic(), self.session.create(name)))
            except (Fault, Unanswered) as e:
                self.unanswered.append((time.monotonic(), str(e)))
        self.session.close()
