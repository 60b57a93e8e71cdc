"""zel-server's pages for load balancers and monitors, over real sockets.

Starts zel-server (with a data file, with --trust-forwarded, with
--public-url) and checks: /healthz answers 200; /readyz 200, then 503 with
the reason once the data file is gone; /metrics parses as the Prometheus
text format and its counters move with the calls (an answer counted as ok, a
fault as a fault with its type, a refusal under its code and reason); the
WSDL names the host the client asked for, the public URL when one is given,
and the forwarded host only when forwarded headers are trusted; a hostile
Host header never gets into the document; a connection refused as one too
many is counted and logged; the probes stay out of the request log at the
info level.

usage: ops_pages.py ZEL_SERVER
Exits 77 (skipped) when python3-prometheus-client is not installed.
"""

import os
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    print("SKIP: python3-prometheus-client is not installed (scripts/setup.sh installs it)")
    sys.exit(77)

STARTUP_SECONDS = 30
ENVELOPE = ('<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/">'
            "<soapenv:Body>%s</soapenv:Body></soapenv:Envelope>")
RETRIEVE_CONTENT = ENVELOPE % ('<ZelRetrieveServiceContent xmlns="urn:zel"><_this '
                               'type="ZelServiceInstance">ServiceInstance</_this>'
                               "</ZelRetrieveServiceContent>")
# Needs a session: without one it is answered with a fault (Permission denied).
FETCH_RESOURCE_TYPE = ENVELOPE % ('<ZelFetchResourceType xmlns="urn:zel"><_this '
                                  'type="ZelProfileProfileManager">ProfileManager</_this>'
                                  "</ZelFetchResourceType>")
CONTENT_METHOD = "zel.ServiceInstance.retrieveContent"
FETCH_METHOD = "zel.profile.ProfileManager.fetchResourceType"

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


class Server:
    def __init__(self, program, *args):
        self.process = subprocess.Popen([program, "--port", "0"] + list(args),
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.output = b""
        deadline = time.monotonic() + STARTUP_SECONDS
        while time.monotonic() < deadline:
            ready, _, _ = select.select([self.process.stdout], [], [], 0.5)
            if not ready:
                if self.process.poll() is not None:
                    break
                continue
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                break
            self.output += chunk
            found = re.search(rb"http://127\.0\.0\.1:(\d+)/zel", self.output)
            if found:
                self.port = int(found.group(1))
                return
        self.process.kill()
        self.process.wait()
        sys.exit("zel-server did not start:\n" + self.output.decode("utf-8", "replace"))

    def stop(self):
        self.process.terminate()
        rest, _ = self.process.communicate(timeout=STARTUP_SECONDS)
        self.output += rest
        return self.output.decode("utf-8", "replace")

    def request(self, method, target, headers=None, body=b"", host=None):
        """One request on a connection of its own; (status, headers, body).

        headers: raw header lines; host: the Host header's value, sent as is.
        """
        if host is None:
            host = "127.0.0.1:%d" % self.port
        head = "%s %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n" % (method, target, host)
        for line in headers or []:
            head += line + "\r\n"
        if body or method == "POST":
            head += "Content-Length: %d\r\n" % len(body)
        data = head.encode("latin-1") + b"\r\n" + body
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as connection:
            connection.sendall(data)
            answer = b""
            while True:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                answer += chunk
        header, _, content = answer.partition(b"\r\n\r\n")
        lines = header.decode("latin-1").split("\r\n")
        status = int(lines[0].split()[1])
        fields = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            fields[name.strip().lower()] = value.strip()
        return status, fields, content.decode("utf-8", "replace")

    def call(self, envelope):
        return self.request("POST", "/zel", ["Content-Type: text/xml; charset=utf-8",
                                             'SOAPAction: "urn:zel/6.7.2"'],
                            envelope.encode("utf-8"))

    def metrics(self):
        """The samples of /metrics: {(name, sorted labels): value}."""
        status, fields, body = self.request("GET", "/metrics")
        check(status == 200, "/metrics answers 200 (%d)" % status)
        check(fields.get("content-type") == "text/plain; version=0.0.4; charset=utf-8",
              "/metrics has the text format's content type (%s)" % fields.get("content-type"))
        return parse_metrics(body)

    def wsdl_address(self, headers=None, host=None):
        """The address the WSDL names, and every schema location; None when
        the WSDL is not answered."""
        status, _, body = self.request("GET", "/zel?wsdl", headers, host=host)
        if status != 200:
            return None, [], body
        location = re.search(r'<soap:address location="([^"]*)"', body)
        schemas = re.findall(r'schemaLocation="([^"]*)"', body)
        return location.group(1) if location else "", schemas, body


def parse_metrics(text):
    """The samples of a metrics text: {(name, sorted labels): value}."""
    samples = {}
    for family in text_string_to_metric_families(text):
        for sample in family.samples:
            samples[(sample.name, tuple(sorted(sample.labels.items())))] = sample.value
    return samples


def value(samples, name, **labels):
    return samples.get((name, tuple(sorted(labels.items()))), 0)


def check_probes_and_metrics(program, folder):
    data = os.path.join(folder, "data.db")
    server = Server(program, "--data", data)
    bound = "http://127.0.0.1:%d/zel" % server.port

    status, _, body = server.request("GET", "/healthz")
    check(status == 200 and body.strip() == "ok", "/healthz: 200 ok (%d %r)" % (status, body))
    status, _, body = server.request("HEAD", "/healthz")
    check(status == 200 and body == "", "HEAD /healthz: 200, no body (%d)" % status)
    status, _, body = server.request("GET", "/readyz")
    check(status == 200, "/readyz with a working store: 200 (%d %r)" % (status, body))

    before = server.metrics()
    check(("zel_sessions_open", ()) in before, "/metrics has the open sessions gauge")
    status, _, _ = server.call(RETRIEVE_CONTENT)
    check(status == 200, "a call is answered (%d)" % status)
    status, _, body = server.call(FETCH_RESOURCE_TYPE)
    check(status == 500 and "Permission denied" in body, "a call without a session is a fault")
    status, _, _ = server.request("POST", "/zel", ["Content-Type: text/plain"], b"x")
    check(status == 415, "a body that is not SOAP is refused with 415 (%d)" % status)
    status, _, _ = server.request("GET", "/nowhere")
    check(status == 404, "GET of nothing: 404 (%d)" % status)
    after = server.metrics()

    def moved(name, **labels):
        return value(after, name, **labels) - value(before, name, **labels)

    check(moved("zel_calls_total", method=CONTENT_METHOD, outcome="ok") == 1,
          "the answered call is counted as ok")
    check(moved("zel_calls_total", method=FETCH_METHOD, outcome="fault",
                fault="MethodFault") == 1,
          "the fault is counted as a fault with its type")
    check(moved("zel_call_duration_seconds_count", method=CONTENT_METHOD) == 1,
          "the answered call's duration is counted")
    check(moved("zel_call_duration_seconds_bucket", method=CONTENT_METHOD, le="+Inf") == 1,
          "the duration histogram's last bucket holds the call")
    check(moved("zel_http_refusals_total", code="415", reason="unsupported_media_type") == 1,
          "the 415 is counted under its reason")
    check(moved("zel_http_refusals_total", code="404", reason="not_found") == 1,
          "the 404 is counted under its reason")
    check(("zel_store_errors_total", ()) in after, "/metrics has the store errors counter")
    check(("zel_store_commit_duration_seconds_count", ()) in after,
          "/metrics has the store commit histogram")

    # The WSDL: the host the client asked for, with the listener's scheme;
    # forwarded headers are not trusted by default.
    location, schemas, _ = server.wsdl_address(host="example.test:8443")
    check_names(location, schemas, "http://example.test:8443/zel", "the requested host")
    location, _, _ = server.wsdl_address(
        ["X-Forwarded-Host: lb.example", "X-Forwarded-Proto: https"], host="example.test")
    check(location == "http://example.test/zel",
          "X-Forwarded-* are ignored without --trust-forwarded (%s)" % location)
    location, _, _ = server.wsdl_address()
    check(location == bound, "a loopback client is told the bound address (%s)" % location)

    # Hostile Host headers: the document names the bound address, or no
    # document is answered; the hostile text never gets into it.
    hostile = ['evil"><x', "a" * 10240, "evil.test\r\n<x>: y", "evil\rx", "", "h:99999",
               "[::1", "evil.test:80/x"]
    for host in hostile:
        location, schemas, body = server.wsdl_address(host=host)
        if location is None:
            continue
        check(location == bound, "a Host of %r falls back to the bound address (%s)"
              % (host[:40], location))
        check('"><x' not in body and "evil" not in body and "a" * 300 not in body,
              "a Host of %r does not get into the document" % host[:40])

    # The data file gone: not ready, and why.
    os.remove(data)
    status, _, body = server.request("GET", "/readyz")
    check(status == 503 and "data.db" in body,
          "/readyz without the data file: 503 naming it (%d %r)" % (status, body))
    status, _, _ = server.request("GET", "/healthz")
    check(status == 200, "/healthz stays 200 while not ready (%d)" % status)

    log = server.stop()
    check("/healthz" not in log and "/readyz" not in log and "/metrics" not in log,
          "the probes stay out of the request log at info")
    check("/nowhere" in log, "other requests are logged at info")


def check_names(location, schemas, url, what):
    """The WSDL's address and every schema location name url."""
    check(location == url, "the WSDL names %s (%s)" % (what, location))
    check(schemas and all(s.startswith(url + "?xsd") for s in schemas),
          "the schema locations name %s (%s)" % (what, schemas))


def check_forwarded(program):
    server = Server(program, "--trust-forwarded", "--log-level", "debug")
    location, schemas, _ = server.wsdl_address(
        ["X-Forwarded-Host: lb.example:443, inner.proxy", "X-Forwarded-Proto: https"],
        host="10.0.0.5:8080")
    check_names(location, schemas, "https://lb.example:443/zel",
                "the forwarded host (X-Forwarded-* honoured with --trust-forwarded)")
    location, _, body = server.wsdl_address(
        ['X-Forwarded-Host: evil"><x', "X-Forwarded-Proto: gopher"], host="example.test")
    check(location == "http://example.test/zel",
          "a bad forwarded host and scheme are not used (%s)" % location)
    check("evil" not in body and "gopher" not in body, "nor get into the document")
    server.request("GET", "/healthz")
    log = server.stop()
    check("GET /healthz" in log, "the probes are logged at debug")


def check_busy_refusal(program):
    # A connection beyond --max-connections, while the one allowed is reading
    # a request, is refused by the HTTP layer and counted under its reason;
    # the held request, finished afterwards, reads the metrics.
    server = Server(program, "--max-connections", "1")
    # The held connection counts as idle (and would be closed to make room)
    # until the server has read its first bytes: when the second connection
    # is let in instead of refused, try again, waiting a little longer.
    answer = b""
    for attempt in range(10):
        held = socket.create_connection(("127.0.0.1", server.port), timeout=10)
        held.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\n")
        time.sleep(0.05 * attempt)
        with socket.create_connection(("127.0.0.1", server.port), timeout=2) as refused:
            try:
                answer = refused.recv(4096)
            except socket.timeout:
                answer = b""
        if answer:
            break
        held.close()
    check(answer.startswith(b"HTTP/1.1 503"), "a connection too many is refused (%r)" % answer[:40])
    held.sendall(b"Connection: close\r\n\r\n")
    metrics = b""
    while True:
        chunk = held.recv(65536)
        if not chunk:
            break
        metrics += chunk
    held.close()
    samples = parse_metrics(metrics.partition(b"\r\n\r\n")[2].decode("utf-8"))
    check(value(samples, "zel_http_refusals_total", code="503",
                reason="too_many_connections") == 1,
          "the refused connection is counted under its reason")
    log = server.stop()
    check("http:503 (too many connections now)" in log, "the refused connection is logged")


def check_public_url(program):
    server = Server(program, "--public-url", "https://lb.example/zel", "--trust-forwarded")
    location, schemas, _ = server.wsdl_address(["X-Forwarded-Host: other.example"],
                                               host="example.test:8443")
    check(location == "https://lb.example/zel", "--public-url wins (%s)" % location)
    check(schemas and all(s.startswith("https://lb.example/zel?xsd") for s in schemas),
          "the schema locations name the public URL (%s)" % schemas)
    server.stop()
    for bad in ["ftp://lb.example/zel", "https://", "https://lb.example/zel?x=1",
                'https://lb"><x/zel', "https://user@lb.example/zel"]:
        refused = subprocess.run([program, "--port", "0", "--public-url", bad],
                                 capture_output=True, text=True, timeout=STARTUP_SECONDS)
        check(refused.returncode == 2 and "--public-url" in refused.stderr,
              "a bad --public-url %r is refused at start" % bad)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    program = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="zel-ops-")
    try:
        check_probes_and_metrics(program, folder)
        check_forwarded(program)
        check_busy_refusal(program)
        check_public_url(program)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        sys.exit("%d checks failed" % len(failures))
    print("every probe, metric and address as expected")


if __name__ == "__main__":
    main()
