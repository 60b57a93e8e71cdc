"""Checks of zel-server instances on one database behind HAProxy.

Run by deploy.sh once the database, the instances and the balancer are up:

1. the balancer finds both instances ready (its health checks, read from its
   runtime API socket);
2. the WSDL fetched through the balancer, over https and over plain HTTP,
   names the balancer's public address;
3. a conversation through the balancer with the zel client, each call a new
   login: create, retrieve, list, delete; each login and the call after it
   reach different instances;
4. a profile created on one instance is read on the other;
5. a session opened on one instance is used, and ended, on the other; the
   ended session is refused by both;
6. four clients create profiles through the balancer while one instance is
   killed with SIGKILL: the balancer takes it out, calls after that are all
   answered, and every create that was answered is listed afterwards;
7. the killed instance started again is put back in; then, under load, each
   instance in turn is drained at the balancer, stopped with SIGTERM and
   started again: no call fails;
8. the database stopped: the instances are not ready, the balancer takes
   them out and answers 503; the database started again: the instances are
   back in and answer.

Prints "every deployment check passed" and exits 0 when all hold.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import threading
import time

from haproxy_runtime import set_state, wait_for_states
from instances import Instance, wait_for_exit
from load_client import LoadClient
from soap_session import Fault, Session, Unanswered

CLIENTS = 4
LOAD_BEFORE_KILL_SECONDS = 1.5
# Two failed checks a second apart take an instance out; give it twice that.
TAKEN_OUT_WITHIN_SECONDS = 5.0
LOAD_AFTER_TAKEN_OUT_SECONDS = 1.5
READY_WITHIN_SECONDS = 15.0
AFTER_OUTAGE_ATTEMPTS = 8

failures = []


def run_checks(checks, args):
    """Runs the checks in turn, stops every instance whatever happened, and
    exits with the verdict."""
    try:
        for one in checks:
            one(args)
    except (Fault, Unanswered) as e:
        check(False, "a call that should have been answered: %s" % e)
    finally:
        Instance.stop_all()
    if failures:
        sys.exit("%d deployment check(s) failed" % len(failures))
    print("every deployment check passed")


def check(condition, what):
    print("    %s: %s" % ("ok" if condition else "FAILED", what))
    if not condition:
        failures.append(what)
    return condition


# ---- helpers --------------------------------------------------------------------------------


def mint_token(program, subject):
    return subprocess.run([program, "--subject", subject], check=True, capture_output=True,
                          text=True).stdout


def calls_counted(instance_url, method, cafile=None):
    """zel_calls_total for method's answered calls, from an instance's
    /metrics."""
    status, text = Session(instance_url, cafile).get("/metrics")
    if status != 200:
        return 0
    total = 0
    for line in text.splitlines():
        if line.startswith("zel_calls_total{") and 'method="%s"' % method in line \
                and 'outcome="ok"' in line:
            total += float(line.rsplit(" ", 1)[1])
    return total


def answered_by(args, method):
    """For each instance, in args.instance's order, how many calls of method
    it answered."""
    return [calls_counted(url, method, args.instances_ca) for url in args.instance]


def start_clients(args, stop, prefix, url=None, cafile=None):
    """CLIENTS load clients through the balancer (its plain listener unless
    url is given), each with a session of its own, started."""
    clients = [LoadClient(url or args.http, n, mint_token(args.token_program, "%s%d@sample.test"
                                                          % (prefix, n)), stop, prefix, cafile)
               for n in range(CLIENTS)]
    for client in clients:
        client.start()
    return clients


def start_instance(args, url, name):
    """An instance on url's port, as deploy.sh starts them."""
    return Instance(args.server, ["--data", args.database, "--public-url", args.https], url,
                    os.path.join(os.path.dirname(args.cafile), name + ".out"))


def wsdl_names(session, target="/zel?wsdl"):
    status, text = session.get(target)
    location = re.search(r'<soap:address location="([^"]*)"', text)
    schemas = re.findall(r'schemaLocation="([^"]*)"', text)
    return status, location.group(1) if location else None, schemas


# ---- the checks ------------------------------------------------------------------------------


def check_ready(args):
    print("1. The balancer finds both instances ready")
    states = wait_for_states(args.stats, {"zel1": "UP", "zel2": "UP"}, READY_WITHIN_SECONDS)
    check(states.get("zel1") == "UP" and states.get("zel2") == "UP", "states %s" % states)


def check_wsdl(args):
    print("2. The WSDL through the balancer names the balancer")
    for url in [url for url in (args.https, args.http) if url]:
        status, location, schemas = wsdl_names(Session(url, args.cafile))
        check(status == 200 and location == args.https,
              "through %s: %d, address %s" % (url, status, location))
        check(schemas and all(s.startswith(args.https + "?xsd") for s in schemas),
              "and its %d schema locations" % len(schemas))


def zel_call(args, token_file, *words):
    environment = dict(os.environ, SSL_CERT_FILE=args.cafile)
    done = subprocess.run([args.zel, "call", "--url", args.https, "--token", token_file] +
                          list(words), capture_output=True, text=True, env=environment,
                          timeout=30)
    return done.returncode, done.stdout + done.stderr


class InstancesApart:
    """Which instances answered the login and the call of each zel call (the
    calls' counts in their /metrics before and after): with round robin the
    two consecutive calls reach different instances."""

    LOGIN = "zel.auth.SessionManager.loginByToken"

    def __init__(self, args):
        self.args = args
        self.together = []
        self.calls = 0

    def zel_call(self, token_file, method, *words):
        """zel_call of ProfileManager's method."""
        full_name = "zel.profile.ProfileManager." + method
        logins = answered_by(self.args, self.LOGIN)
        calls = answered_by(self.args, full_name)
        outcome = zel_call(self.args, token_file, "ProfileManager", method, *words)
        login_on = [after - before for before, after
                    in zip(logins, answered_by(self.args, self.LOGIN))]
        call_on = [after - before for before, after
                   in zip(calls, answered_by(self.args, full_name))]
        self.calls += 1
        if sorted(login_on) != [0, 1] or sorted(call_on) != [0, 1] or login_on == call_on:
            self.together.append("%s: logins %s, calls %s" % (method, login_on, call_on))
        return outcome


def check_conversation(args, folder):
    print("3. A conversation through the balancer (https) with the zel client")
    token_file = os.path.join(folder, "conversation.token")
    with open(token_file, "w") as out:
        out.write(mint_token(args.token_program, "conversation@sample.test"))
    apart = InstancesApart(args)
    status, text = apart.zel_call(
        token_file, "create", "createSpec.name=Balanced",
        "createSpec.resourceType.resourceType=STORAGE",
        "createSpec.constraints@type=zel.profile.SubProfileCapabilityConstraints",
        "createSpec.constraints.subProfiles[0].name=replicated",
        "createSpec.constraints.subProfiles[0].capability[0].id.namespace=sample.storage",
        "createSpec.constraints.subProfiles[0].capability[0].id.id=replicaCount",
        "createSpec.constraints.subProfiles[0].capability[0].constraint[0]"
        ".propertyInstance[0].id=replicaCount",
        "createSpec.constraints.subProfiles[0].capability[0].constraint[0]"
        ".propertyInstance[0].value@type=xsd:int",
        "createSpec.constraints.subProfiles[0].capability[0].constraint[0]"
        ".propertyInstance[0].value=2")
    found = re.search(r"uniqueId: (\S+)", text)
    if not check(status == 0 and found, "created (%d): %s" % (status, text.strip()[-200:])):
        return
    profile = found.group(1)
    status, text = apart.zel_call(token_file, "retrieveContent",
                                  "profileIds[0].uniqueId=" + profile)
    check(status == 0 and "name: Balanced" in text, "retrieved (%d)" % status)
    status, text = apart.zel_call(token_file, "queryProfile", "resourceType.resourceType=STORAGE")
    check(status == 0 and profile in text, "listed (%d)" % status)
    status, text = apart.zel_call(token_file, "delete", "profileId[0].uniqueId=" + profile)
    check(status == 0 and "fault" not in text, "deleted (%d)" % status)
    status, text = apart.zel_call(token_file, "queryProfile", "resourceType.resourceType=STORAGE")
    check(status == 0 and profile not in text, "no longer listed (%d)" % status)
    check(not apart.together, "in each of the %d calls the login and the call reached different "
          "instances%s" % (apart.calls, "".join("; not in " + t for t in apart.together)))


def check_shared_data(args):
    print("4. A profile created on one instance is read on the other")
    first, second = args.instance
    writer = Session(first)
    writer.login(mint_token(args.token_program, "writer@sample.test"))
    profile = writer.create("Made on the first instance")
    reader = Session(second)
    reader.login(mint_token(args.token_program, "reader@sample.test"))
    check(profile in reader.query(), "the second instance lists it")
    check(reader.retrieve([profile]) == ["Made on the first instance"],
          "and retrieves it by its id")
    check(reader.delete([profile]) == [], "and deletes it")
    check(profile not in writer.query(), "which the first instance then no longer lists")
    writer.logout()
    reader.logout()


def check_shared_session(args):
    print("5. A session opened on one instance is used and ended on the other")
    first, second = args.instance
    session = Session(first)
    session.login(mint_token(args.token_program, "traveller@sample.test"))
    cookie = session.cookie
    check(cookie is not None, "the first instance set a session cookie")
    session.use(second)
    try:
        session.query()
        check(True, "the second instance answers a call of that session")
    except (Fault, Unanswered) as e:
        check(False, "the second instance answers a call of that session (%s)" % e)
    session.logout()
    for url in (second, first):
        stale = Session(url)
        stale.cookie = cookie
        try:
            stale.query()
            check(False, "the ended session is refused by %s" % url)
        except Fault as e:
            check("Permission denied" in e.message, "the ended session is refused by %s" % url)


def check_instance_killed(args):
    print("6. One instance killed with SIGKILL under the load of %d clients" % CLIENTS)
    stop = threading.Event()
    clients = start_clients(args, stop, "load")
    time.sleep(LOAD_BEFORE_KILL_SECONDS)
    victim = args.instance[1]
    served = calls_counted(victim, "zel.profile.ProfileManager.create")
    check(served > 0, "before the kill the balancer sent creates to both (%d to the second)"
          % served)
    killed_at = time.monotonic()
    os.kill(args.victim_pid, signal.SIGKILL)
    states = wait_for_states(args.stats, {"zel2": "DOWN"}, TAKEN_OUT_WITHIN_SECONDS)
    out_at = time.monotonic()
    check(states.get("zel2") == "DOWN" and states.get("zel1") == "UP",
          "the balancer took the killed instance out after %.1f s: %s"
          % (out_at - killed_at, states))
    time.sleep(LOAD_AFTER_TAKEN_OUT_SECONDS)
    stop.set()
    for client in clients:
        client.join(30)
    check(not any(client.is_alive() for client in clients), "the clients stopped")

    check(all(client.answered for client in clients), "every client had creates answered")
    answered = [entry for client in clients for entry in client.answered]
    unanswered = [entry for client in clients for entry in client.unanswered]
    print("    %d creates answered, %d not (%d before the kill)"
          % (len(answered), len(unanswered), sum(1 for t, _ in answered if t < killed_at)))
    for when, what in unanswered[:10]:
        print("      %+.2f s after the kill: %s" % (when - killed_at, what[:160]))
    if len(unanswered) > 10:
        print("      and %d more" % (len(unanswered) - 10))
    check(any(t > out_at for t, _ in answered), "creates were answered after the instance was out")
    check(not [w for t, w in unanswered if t > out_at],
          "every create after the instance was out was answered")

    lister = Session(args.http)
    lister.login(mint_token(args.token_program, "lister@sample.test"))
    listed = set(lister.query())
    lost = [profile for _, profile in answered if profile not in listed]
    check(not lost, "every answered create is listed (%d of %d missing)"
          % (len(lost), len(answered)))
    lister.logout()


def check_restart_without_failures(args):
    print("7. Both instances restarted one after the other under load, taken out first")
    first, second = args.instance
    # The instance killed before comes back on its port; one good check puts
    # it back in.
    start_instance(args, second, "instance2-again")
    states = wait_for_states(args.stats, {"zel1": "UP", "zel2": "UP"}, TAKEN_OUT_WITHIN_SECONDS)
    check(states == {"zel1": "UP", "zel2": "UP"}, "the killed instance, started again, is back "
          "in: %s" % states)
    stop = threading.Event()
    clients = start_clients(args, stop, "steady")
    time.sleep(LOAD_BEFORE_KILL_SECONDS)
    running = {"zel1": args.first_pid, "zel2": None}
    for name, url in (("zel1", first), ("zel2", second)):
        set_state(args.stats, name, "drain")
        drained = wait_for_states(args.stats, {name: "DRAIN"}, TAKEN_OUT_WITHIN_SECONDS)
        check(drained.get(name) == "DRAIN", "%s drained: %s" % (name, drained))
        if running[name] is not None:
            os.kill(running[name], signal.SIGTERM)
            wait_for_exit(running[name])
        Instance.stop_at(url)
        start_instance(args, url, name + "-restarted")
        set_state(args.stats, name, "ready")
        back = wait_for_states(args.stats, {name: "UP"}, TAKEN_OUT_WITHIN_SECONDS)
        check(back.get(name) == "UP", "%s restarted and back in: %s" % (name, back))
    time.sleep(LOAD_AFTER_TAKEN_OUT_SECONDS)
    stop.set()
    for client in clients:
        client.join(30)
    answered = sum(len(client.answered) for client in clients)
    unanswered = [what for client in clients for _, what in client.unanswered]
    for what in unanswered[:10]:
        print("      %s" % what[:200])
    check(answered > 0 and not unanswered,
          "every call answered while they restarted (%d answered, %d not)"
          % (answered, len(unanswered)))


def check_database_outage(args):
    print("8. The database stopped and started again")
    subprocess.run(["bash", args.pg_cluster, "halt", args.pg_folder], check=True)
    both_down = {"zel1": "DOWN", "zel2": "DOWN"}
    states = wait_for_states(args.stats, both_down, TAKEN_OUT_WITHIN_SECONDS)
    check(states == both_down, "the instances are not ready, so out: %s" % states)
    status, text = Session(args.http).get("/readyz")
    check(status == 503, "the balancer, with no instance ready, answers 503 (%d)" % status)
    subprocess.run(["bash", args.pg_cluster, "restart", args.pg_folder], check=True)
    both_up = {"zel1": "UP", "zel2": "UP"}
    states = wait_for_states(args.stats, both_up, TAKEN_OUT_WITHIN_SECONDS)
    check(states == both_up, "with the database back, the instances are back: %s" % states)
    # The instances' connections to the database notice that they were cut
    # before they are next used and connect again: no call fails.
    failed = []
    for attempt in range(AFTER_OUTAGE_ATTEMPTS):
        session = Session(args.http)
        try:
            session.login(mint_token(args.token_program, "after%d@sample.test" % attempt))
            listed = session.query()
            session.logout()
            break
        except (Fault, Unanswered) as e:
            failed.append(str(e))
    else:
        listed = []
    for what in failed:
        print("      a call failed after the database was back: %s" % what[:200])
    check(len(listed) > 0 and not failed, "and the instances answer calls through the "
          "balancer again, none failing (%d failed)" % len(failed))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--https", required=True, help="the balancer's public URL")
    parser.add_argument("--http", required=True, help="the balancer's plain URL")
    parser.add_argument("--cafile", required=True, help="the balancer's certificate")
    parser.add_argument("--stats", required=True, help="HAProxy's runtime API socket")
    parser.add_argument("--instance", action="append", required=True, help="two instance URLs")
    parser.add_argument("--first-pid", type=int, required=True, help="the first instance")
    parser.add_argument("--victim-pid", type=int, required=True, help="the second instance")
    parser.add_argument("--server", required=True, help="zel-server, to start instances again")
    parser.add_argument("--database", required=True, help="the instances' --data")
    parser.add_argument("--pg-cluster", required=True, help="pg_cluster.sh")
    parser.add_argument("--pg-folder", required=True, help="the cluster's folder")
    parser.add_argument("--zel", required=True)
    parser.add_argument("--token-program", required=True)
    args = parser.parse_args()
    # The instances speak plain HTTP here.
    args.instances_ca = None
    if len(args.instance) != 2:
        parser.error("give two --instance URLs")
    folder = os.path.dirname(args.cafile)
    run_checks([check_ready, check_wsdl, lambda a: check_conversation(a, folder),
                check_shared_data, check_shared_session, check_instance_killed,
                check_restart_without_failures, check_database_outage], args)


if __name__ == "__main__":
    main()
