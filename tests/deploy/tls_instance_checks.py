"""Checks of zel-server instances that serve https behind HAProxy, which
speaks TLS to them and checks their certificates against the CA that signed
them (docs/deploy/haproxy-tls-instances.cfg).

Run by deploy.sh (tls-to-instances) once the database, the instances and
the balancer are up:

1. the balancer finds both instances ready: its health checks pass over TLS;
2. the WSDL fetched through the balancer names the balancer's address;
3. a conversation through the balancer with the zel client, each call a new
   login: create, retrieve, list, delete; each login and the call after it
   reach different instances;
4. a profile created on one instance directly (https, its certificate
   checked against the CA) is read and deleted through the balancer;
5. four clients create profiles through the balancer for a while, over
   connections the balancer keeps to the instances: every call is answered,
   both instances answer some;
6. the second instance, started again with a certificate for the same
   address that another CA signed, is taken out by the balancer for a failed
   TLS handshake although it is ready; with its own certificate again it is
   back in.

Prints "every deployment check passed" and exits 0 when all hold.
"""

import argparse
import os
import signal
import sys
import threading
import time

from balancer_checks import (CLIENTS, READY_WITHIN_SECONDS, TAKEN_OUT_WITHIN_SECONDS,
                             calls_counted, check, check_conversation, check_ready, check_wsdl,
                             mint_token, run_checks, start_clients)
from haproxy_runtime import settled_check, wait_for_states
from instances import Instance, wait_for_exit
from soap_session import Session

# HAProxy's check status for a check whose TLS handshake failed ("Layer6
# invalid response").
HANDSHAKE_FAILED = "L6RSP"
# How long a refused instance is watched staying out, in checks a second
# apart.
STAYS_OUT_SECONDS = 3.0
LOAD_SECONDS = 2.0
CREATE = "zel.profile.ProfileManager.create"


def check_instance_direct(args):
    print("4. A profile created on one instance directly (https) is read through the balancer")
    writer = Session(args.instance[0], args.instances_ca)
    writer.login(mint_token(args.token_program, "direct@sample.test"))
    profile = writer.create("Made on the first instance over https")
    reader = Session(args.https, args.cafile)
    reader.login(mint_token(args.token_program, "through@sample.test"))
    check(reader.retrieve([profile]) == ["Made on the first instance over https"],
          "the balancer retrieves it by its id")
    check(reader.delete([profile]) == [], "and deletes it")
    check(profile not in writer.query(), "which the instance then no longer lists")
    writer.logout()
    reader.logout()


def check_load(args):
    print("5. %d clients create profiles through the balancer for %.0f s" % (CLIENTS, LOAD_SECONDS))
    before = [calls_counted(url, CREATE, args.instances_ca) for url in args.instance]
    stop = threading.Event()
    clients = start_clients(args, stop, "tls", args.https, args.cafile)
    time.sleep(LOAD_SECONDS)
    stop.set()
    for client in clients:
        client.join(30)
    answered = sum(len(client.answered) for client in clients)
    unanswered = [what for client in clients for _, what in client.unanswered]
    for what in unanswered[:10]:
        print("      %s" % what[:200])
    check(answered > 0 and not unanswered,
          "every call answered (%d answered, %d not)" % (answered, len(unanswered)))
    served = [calls_counted(url, CREATE, args.instances_ca) - counted
              for url, counted in zip(args.instance, before)]
    check(all(served), "both instances answered some: %s" % served)


def start_instance(args, certificate, key, cafile, name):
    """The second instance, on its port, serving https with certificate."""
    return Instance(args.server, ["--data", args.database, "--public-url", args.https,
                                  "--tls-cert", certificate, "--tls-key", key],
                    args.instance[1], os.path.join(args.folder, name + ".out"), cafile)


def check_unsigned_refused(args):
    print("6. An instance whose certificate the CA did not sign is taken out")
    os.kill(args.victim_pid, signal.SIGTERM)
    wait_for_exit(args.victim_pid)
    log = os.path.join(args.folder, "instance2-other-ca.out")
    # Ready, and its certificate valid for its address: only the signer differs.
    impostor = start_instance(args, args.other_cert, args.other_key, args.other_ca,
                              "instance2-other-ca")
    states = wait_for_states(args.stats, {"zel2": "DOWN"}, TAKEN_OUT_WITHIN_SECONDS)
    check(states.get("zel2") == "DOWN" and states.get("zel1") == "UP",
          "the balancer took it out: %s" % states)
    time.sleep(STAYS_OUT_SECONDS)
    row = settled_check(args.stats, "zel2")
    check(row.get("status") == "DOWN" and row.get("check_status") == HANDSHAKE_FAILED,
          "and keeps it out, its checks failing in the TLS handshake: %s, %s %s"
          % (row.get("status"), row.get("check_status"), row.get("last_chk")))
    check(Session(args.instance[1], args.other_ca).get("/readyz")[0] == 200,
          "while the instance itself is ready")
    with open(log, encoding="utf-8", errors="replace") as out:
        refused = [line for line in out if "TLS handshake failed" in line]
    check(refused, "the instance logged the balancer's refusal: %s"
          % (refused[-1].strip() if refused else "nothing"))
    answered = Session(args.https, args.cafile)
    answered.login(mint_token(args.token_program, "meanwhile@sample.test"))
    check(isinstance(answered.query(), list), "the balancer answers through the other instance")
    answered.logout()
    impostor.stop()
    start_instance(args, args.instance_cert, args.instance_key, args.instances_ca,
                   "instance2-again")
    states = wait_for_states(args.stats, {"zel1": "UP", "zel2": "UP"}, READY_WITHIN_SECONDS)
    check(states == {"zel1": "UP", "zel2": "UP"},
          "started again with the certificate the CA signed, it is back in: %s" % states)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--https", required=True, help="the balancer's public URL")
    parser.add_argument("--cafile", required=True, help="the balancer's certificate")
    parser.add_argument("--stats", required=True, help="HAProxy's runtime API socket")
    parser.add_argument("--instance", action="append", required=True,
                        help="two instance URLs (https)")
    parser.add_argument("--instances-ca", required=True,
                        help="the CA certificate that signed the instances'")
    parser.add_argument("--instance-cert", required=True,
                        help="the second instance's certificate, signed by that CA")
    parser.add_argument("--instance-key", required=True, help="its key")
    parser.add_argument("--other-ca", required=True, help="another CA's certificate")
    parser.add_argument("--other-cert", required=True,
                        help="a certificate for the same address, signed by the other CA")
    parser.add_argument("--other-key", required=True, help="its key")
    parser.add_argument("--victim-pid", type=int, required=True, help="the second instance")
    parser.add_argument("--server", required=True, help="zel-server, to start instances again")
    parser.add_argument("--database", required=True, help="the instances' --data")
    parser.add_argument("--zel", required=True)
    parser.add_argument("--token-program", required=True)
    args = parser.parse_args()
    if len(args.instance) != 2:
        parser.error("give two --instance URLs")
    # Only the https listener: where the instances are reached over TLS, the
    # network is not one to offer plain HTTP on.
    args.http = None
    args.folder = os.path.dirname(args.cafile)
    run_checks([check_ready, check_wsdl, lambda a: check_conversation(a, a.folder),
                check_instance_direct, check_load, check_unsigned_refused], args)


if __name__ == "__main__":
    main()
