#!/usr/bin/env python3
"""Floods a running zel-server from eight clients with the calls that take the
most memory, leaves nothing stored, and checks that the server gives the
memory back: its resident size at the end within twice its size at start.
"At start" is after one small call of each kind, so that what the server sets
up once on first use (the token library, the handler threads) is not taken
for memory of the flood.

Usage: memory_flood.py PORT PID ZEL_TOKEN [--no-bound]
(--no-bound: report the sizes only, for builds whose allocator keeps freed
memory on purpose, as the sanitizers' does.)
"""
import http.client
import re
import subprocess
import sys
import threading
import time
from xml.sax.saxutils import escape

PORT, PID, TOKEN_TOOL = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
BOUND = "--no-bound" not in sys.argv
CLIENTS, ROUNDS = 8, 3
ENVELOPE = ('<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
            'xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
            '<soapenv:Body>%s</soapenv:Body></soapenv:Envelope>')
PROFILES = '<_this type="ZelProfileProfileManager">ProfileManager</_this>'


def resident_mib():
    with open("/proc/%d/status" % PID) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    raise RuntimeError("no VmRSS")


def call(conn, body, cookie=None):
    headers = {"Content-Type": "text/xml", "SOAPAction": '"urn:zel/6.7.2"'}
    if cookie:
        headers["Cookie"] = cookie
    conn.request("POST", "/zel", ENVELOPE % body, headers)
    answer = conn.getresponse()
    return answer.status, answer.read().decode(), answer.getheader("Set-Cookie")


def login(conn, user):
    token = subprocess.run([TOKEN_TOOL, "--subject", user], capture_output=True, text=True,
                           check=True).stdout.strip()
    status, body, cookie = call(
        conn, '<ZelLoginByToken xmlns="urn:zel"><_this type="ZelSessionManager">SessionManager'
        '</_this><delegatedTokenXml>%s</delegatedTokenXml></ZelLoginByToken>' % escape(token))
    if status != 200:
        raise RuntimeError("login refused: " + body[:300])
    return cookie.split(";")[0]


def compliance(first, count):
    entities = "".join("<entities><objectType>virtualMachine</objectType><key>vm-%d</key></entities>"
                       % n for n in range(first, first + count))
    return ('<ZelCheckCompliance xmlns="urn:zel"><_this type="ZelComplianceManager">'
            'ComplianceManager</_this>%s</ZelCheckCompliance>' % entities)


def create(name):
    # A profile of many sub-profiles and a long description: a large tree.
    capability = ('<capability><id><namespace>sample.storage</namespace><id>replicaCount</id></id>'
                  '<constraint><propertyInstance><id>replicaCount</id>'
                  '<value xsi:type="xsd:int">2</value></propertyInstance></constraint></capability>')
    subprofiles = "".join("<subProfiles><name>s%d</name>%s</subProfiles>" % (n, capability)
                          for n in range(200))
    return ('<ZelCreate xmlns="urn:zel">%s<createSpec><name>%s</name><description>%s</description>'
            '<resourceType><resourceType>STORAGE</resourceType></resourceType>'
            '<constraints xsi:type="ZelCapabilitySubProfileConstraints">%s</constraints>'
            '</createSpec></ZelCreate>' % (PROFILES, name, "d" * 60000, subprofiles))


def client(number, failures):
    conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=120)
    try:
        cookie = login(conn, "flood%d@sample.test" % number)
        for round_ in range(ROUNDS):
            status, body, _ = call(conn, compliance(number * 100000, 10000), cookie)
            if status != 200:
                failures.append("checkCompliance: %d %s" % (status, body[:200]))
            status, body, _ = call(conn, create("flood-%d-%d" % (number, round_)), cookie)
            match = re.search(r"<uniqueId>([^<]+)</uniqueId>", body)
            if status != 200 or not match:
                failures.append("create: %d %s" % (status, body[:200]))
                continue
            status, body, _ = call(conn, '<ZelDelete xmlns="urn:zel">%s<profileId><uniqueId>%s'
                                   '</uniqueId></profileId></ZelDelete>' % (PROFILES, match[1]),
                                   cookie)
            if status != 200:
                failures.append("delete: %d %s" % (status, body[:200]))
            for path in ("/zel?wsdl", "/zel.xsd"):
                conn.request("GET", path)
                conn.getresponse().read()
        call(conn, '<ZelLogout xmlns="urn:zel"><_this type="ZelSessionManager">SessionManager'
             '</_this></ZelLogout>', cookie)
    except Exception as error:  # noqa: BLE001 - reported as a failure of the flood
        failures.append("client %d: %r" % (number, error))
    finally:
        conn.close()


def warm_up():
    """One login, one small check and a logout: the one-time set-ups."""
    conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=120)
    try:
        cookie = login(conn, "warm@sample.test")
        status, body, _ = call(conn, compliance(0, 1), cookie)
        if status != 200:
            raise RuntimeError("checkCompliance: %d %s" % (status, body[:200]))
        call(conn, '<ZelLogout xmlns="urn:zel"><_this type="ZelSessionManager">SessionManager'
             '</_this></ZelLogout>', cookie)
    finally:
        conn.close()


def main():
    warm_up()
    start = resident_mib()
    failures = []
    threads = [threading.Thread(target=client, args=(n, failures)) for n in range(CLIENTS)]
    for thread in threads:
        thread.start()
    peak = start
    while any(thread.is_alive() for thread in threads):
        peak = max(peak, resident_mib())
        time.sleep(0.05)
    time.sleep(0.5)
    end = resident_mib()
    print("resident: %.1f MiB at start, %.1f at the peak, %.1f at the end (%.2fx)"
          % (start, peak, end, end / start))
    for failure in failures:
        print("FAILED:", failure)
    if failures:
        return 1
    if BOUND and end > 2 * start:
        print("FAILED: the memory of the flood was not given back")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
