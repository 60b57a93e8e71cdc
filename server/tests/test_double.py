#!/usr/bin/env python3
"""zel-server as a test double, driven as a client developer drives it.

Starts zel-server with --admin, --seed and --log-level debug and checks: the
seed's calls ran (a profile and its association are there); faults injected
through /admin/faults hit one session or all, for N calls or until cleared,
by short or full method name, with a delay, a 503 or a reset connection;
/admin/reset drops the state and the faults; the admin endpoints are absent
without --admin; the debug log carries the bodies with the token redacted; a
bad seed file keeps the server from starting, naming the call.

Usage: test_double.py ZEL_SERVER ZEL_TOKEN
"""
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import time

SERVER, TOKEN_PROGRAM = sys.argv[1], sys.argv[2]
ENVELOPE = ('<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
            'xmlns:xsd="http://www.w3.org/2001/XMLSchema">'
            "<soapenv:Body>%s</soapenv:Body></soapenv:Envelope>")
PM = '<_this type="ZelProfileProfileManager">ProfileManager</_this>'
CREATE = ("<ZelCreate xmlns=\"urn:zel\">" + PM + "<createSpec><name>%s</name><resourceType>"
          "<resourceType>STORAGE</resourceType></resourceType><constraints "
          'xsi:type="ZelCapabilitySubProfileConstraints"><subProfiles><name>replicated</name>'
          "<capability><id><namespace>sample.storage</namespace><id>replicaCount</id></id>"
          "<constraint><propertyInstance><id>replicaCount</id><value xsi:type=\"xsd:int\">2"
          "</value></propertyInstance></constraint></capability></subProfiles></constraints>"
          "</createSpec></ZelCreate>")
ASSOCIATE = ("<ZelAssociate>" + PM + "<entity><objectType>virtualMachine</objectType>"
             "<key>vm-42</key></entity><profile><uniqueId>{{id:Seeded}}</uniqueId></profile>"
             "</ZelAssociate>")
SEED = ('<seed xmlns="urn:zel" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
            'xmlns:xsd="http://www.w3.org/2001/XMLSchema">'
        + CREATE.replace(' xmlns="urn:zel"', "") % "Seeded" + ASSOCIATE + "</seed>")
QUERY = ENVELOPE % ('<ZelQueryProfile xmlns="urn:zel">' + PM + "<resourceType><resourceType>"
                    "STORAGE</resourceType></resourceType></ZelQueryProfile>")
ASSOCIATED = ENVELOPE % ('<ZelQueryAssociatedProfile xmlns="urn:zel">' + PM +
                         "<entity><objectType>virtualMachine</objectType><key>vm-42</key>"
                         "</entity></ZelQueryAssociatedProfile>")

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


class Server:
    def __init__(self, *args):
        self.process = subprocess.Popen([SERVER, "--port", "0"] + list(args),
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.output = b""
        self.port = None
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and self.port is None:
            ready, _, _ = select.select([self.process.stdout], [], [], 0.5)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 4096)
                if not chunk:
                    break
                self.output += chunk
                found = re.search(rb"http://127\.0\.0\.1:(\d+)/zel", self.output)
                self.port = int(found.group(1)) if found else None
        if self.port is None:
            self.process.wait(timeout=30)
            self.output += self.process.stdout.read()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        rest, _ = self.process.communicate(timeout=30)
        self.output += rest
        return self.output.decode("utf-8", "replace")

    def request(self, method, target, body=b"", cookie=None, soap=False):
        """(status, body, cookie set); status None when the connection was reset."""
        head = "%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" % (method, target)
        if soap:
            head += 'Content-Type: text/xml; charset=utf-8\r\nSOAPAction: "urn:zel"\r\n'
        if cookie:
            head += "Cookie: zel_session=%s\r\n" % cookie
        head += "Content-Length: %d\r\n\r\n" % len(body)
        answer = b""
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=10) as connection:
                connection.sendall(head.encode("latin-1") + body)
                while True:
                    chunk = connection.recv(65536)
                    if not chunk:
                        break
                    answer += chunk
        except ConnectionResetError:
            return None, "", None
        header, _, content = answer.partition(b"\r\n\r\n")
        if not header:
            return None, "", None
        status = int(header.split(b" ")[1])
        found = re.search(rb"zel_session=([0-9a-f]+)", header)
        return status, content.decode("utf-8", "replace"), found.group(1).decode() if found else None

    def call(self, envelope, cookie=None):
        return self.request("POST", "/zel", envelope.encode(), cookie, soap=True)

    def login(self, subject):
        token = subprocess.run([TOKEN_PROGRAM, "--subject", subject], check=True,
                               capture_output=True, text=True).stdout
        escaped = token.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
        status, body, cookie = self.call(ENVELOPE % (
            '<ZelLoginByToken xmlns="urn:zel"><_this type="ZelSessionManager">SessionManager'
            "</_this><delegatedTokenXml>%s</delegatedTokenXml></ZelLoginByToken>" % escaped))
        check(status == 200 and cookie, "log in as " + subject + ": " + body[-400:])
        return cookie


def profile_count(server, cookie):
    status, body, _ = server.call(QUERY, cookie)
    check(status == 200, "query profiles: " + body[-400:])
    return body.count("<uniqueId>")


def main():
    with tempfile.TemporaryDirectory() as folder:
        seed = os.path.join(folder, "seed.xml")
        with open(seed, "w") as out:
            out.write(SEED)
        server = Server("--admin", "--seed", seed, "--log-level", "debug")
        check(server.port is not None, "starts with a seed: " + server.output.decode()[-500:])
        if server.port is None:
            return
        alice, bob = server.login("alice"), server.login("bob")

        print("1. The seed's calls ran")
        check(profile_count(server, alice) == 1, "the seeded profile is there")
        status, body, _ = server.call(ASSOCIATED, alice)
        check(status == 200 and "<uniqueId>" in body, "vm-42 has the seeded profile: " + body[-400:])

        print("2. A fault for one session, by short name, for 2 calls")
        status, body, _ = server.request(
            "POST", "/admin/faults?method=queryProfile&session=%s&calls=2&fault=zel.fault.ZELFault"
            % alice)
        check(status == 200 and "zel.profile.ProfileManager.queryProfile" in body,
              "inject by short name: %s %s" % (status, body))
        for attempt in range(2):
            status, body, _ = server.call(QUERY, alice)
            check(status == 500 and "ZelFault" in body and "on purpose" in body,
                  "alice's call %d fails on purpose: %s" % (attempt, body[-400:]))
            status, body, _ = server.call(QUERY, bob)
            check(status == 200, "bob's call is not hit: " + body[-400:])
        check(server.call(QUERY, alice)[0] == 200, "the third call of alice runs")

        print("3. A delay, a 503 and a reset, for every session until cleared")
        status, _, _ = server.request("POST", "/admin/faults?method=ProfileManager.queryProfile"
                                      "&delay=300&calls=1")
        check(status == 200, "inject a delay")
        started = time.monotonic()
        check(server.call(QUERY, bob)[0] == 200, "a delayed call answers")
        check(time.monotonic() - started >= 0.3, "the call waited the delay")
        server.request("POST", "/admin/faults?method=zel.profile.ProfileManager.queryProfile"
                       "&http=503")
        status, body, _ = server.call(QUERY, bob)
        check(status == 503, "503 while injected: %s %s" % (status, body[:200]))
        status, listed, _ = server.request("GET", "/admin/faults")
        check("http=503" in listed and "calls=until-cleared" in listed, "listed: " + listed)
        server.request("DELETE", "/admin/faults")
        server.request("POST", "/admin/faults?method=create&http=reset&calls=1")
        status, _, _ = server.call(ENVELOPE % (CREATE % "NotMade"), bob)
        check(status is None, "the connection is reset, with nothing answered")
        check(profile_count(server, bob) == 1, "the reset create made nothing")

        print("4. Bad rules are refused with the reason")
        for query, reason in [("method=nosuch&fault=zel.fault.ZELFault", "no method"),
                              ("method=create&fault=NoFault", "no fault type"),
                              ("method=create&delay=600000", "delay"),
                              ("method=create&http=404", "http is 503 or reset"),
                              ("method=create", "give a fault")]:
            status, body, _ = server.request("POST", "/admin/faults?" + query)
            check(status == 400 and reason in body, "%s refused: %s %s" % (query, status, body))

        print("5. Reset drops the state and the faults; sessions stay")
        server.request("POST", "/admin/faults?method=queryProfile&fault=zel.fault.ZELFault")
        status, body, _ = server.request("POST", "/admin/reset")
        check(status == 200, "reset: %s %s" % (status, body))
        check(profile_count(server, alice) == 0, "no profiles after reset, alice still logged in")
        status, body, _ = server.call(ENVELOPE % (CREATE % "Seeded"), alice)
        check(status == 200, "the seeded name is free again: " + body[-400:])
        check(server.request("GET", "/admin/reset")[0] == 405, "GET /admin/reset is refused")

        log = server.stop()
        print("6. The debug log has the bodies, without the token")
        check("request: " in log and "<ZelCreate" in log, "bodies logged")
        check("[redacted]" in log and "Signature" not in log, "the token is redacted")

        print("7. Without --admin there are no admin endpoints; a bad seed stops the start")
        plain = Server()
        check(plain.request("POST", "/admin/reset")[0] == 404, "no /admin/reset without --admin")
        plain.stop()
        with open(seed, "w") as out:
            out.write(SEED.replace("{{id:Seeded}}", "{{id:Missing}}"))
        bad = Server("--seed", seed)
        output = bad.stop()
        check(bad.port is None and bad.process.returncode == 2 and
              "call 2 (ZelAssociate)" in output and '"Missing"' in output,
              "a bad seed is refused, naming the call: " + output[-300:])

    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("the test double answers as configured")


main()
