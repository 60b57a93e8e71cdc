"""A small SOAP client of the profile calls, holding one session cookie.

Enough of the wire for the deployment checks: the service content, login by
token, create, query, retrieve and delete of profiles, logout. The session
cookie can be carried from one address to another (another instance, the
balancer), which is what the checks of shared sessions need.
"""

import http.client
import re
import ssl
import urllib.parse
import xml.sax.saxutils

ENVELOPE = ('<?xml version="1.0" encoding="UTF-8"?>'
            '<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><soapenv:Body>%s'
            "</soapenv:Body></soapenv:Envelope>")
PROFILE_MANAGER = '<_this type="ZelProfileProfileManager">ProfileManager</_this>'
SESSION_MANAGER = '<_this type="ZelSessionManager">SessionManager</_this>'
STORAGE = "<resourceType><resourceType>STORAGE</resourceType></resourceType>"
SESSION_COOKIE = "zel_session"
TIMEOUT_SECONDS = 10
# An answer larger than this is refused rather than read.
MAX_ANSWER_BYTES = 16 << 20


class Fault(Exception):
    """The service answered with a SOAP fault."""

    def __init__(self, status, message):
        super().__init__("HTTP %d: %s" % (status, message))
        self.status = status
        self.message = message


class Unanswered(Exception):
    """No SOAP answer: the connection failed, or an HTTP error page came back
    (a balancer's 502 or 503, for instance)."""


def escape(text):
    return xml.sax.saxutils.escape(text)


def profile_ids(ids, element):
    return "".join("<%s><uniqueId>%s</uniqueId></%s>" % (element, escape(i), element) for i in ids)


def create_spec(name):
    """A profile of one sub-profile: two replicas."""
    return ("<createSpec><name>%s</name>%s"
            '<constraints xsi:type="ZelCapabilitySubProfileConstraints"><subProfiles>'
            "<name>replicated</name><capability><id><namespace>sample.storage</namespace>"
            "<id>replicaCount</id></id><constraint><propertyInstance><id>replicaCount</id>"
            '<value xsi:type="xsd:int" xmlns:xsd="http://www.w3.org/2001/XMLSchema">2</value>'
            "</propertyInstance></constraint></capability></subProfiles></constraints>"
            "</createSpec>") % (escape(name), STORAGE)


class Session:
    """Calls to one address at a time over a kept-alive connection; the
    session cookie the service sets is kept and sent with every call."""

    def __init__(self, url, cafile=None):
        self.cookie = None
        self._cafile = cafile
        self._connection = None
        self.use(url)

    def use(self, url):
        """Sends the next calls to url, keeping the session cookie."""
        self.close()
        parts = urllib.parse.urlsplit(url)
        self._https = parts.scheme == "https"
        self._host = parts.hostname
        self._port = parts.port or (443 if self._https else 80)
        self._path = parts.path or "/zel"

    def close(self):
        if self._connection is not None:
            self._connection.close()
            self._connection = None

    def _connect(self):
        if self._https:
            context = ssl.create_default_context(cafile=self._cafile)
            return http.client.HTTPSConnection(self._host, self._port, timeout=TIMEOUT_SECONDS,
                                               context=context)
        return http.client.HTTPConnection(self._host, self._port, timeout=TIMEOUT_SECONDS)

    def get(self, target):
        """GET of target on a connection of its own: (status, body text)."""
        connection = self._connect()
        try:
            connection.request("GET", target)
            answer = connection.getresponse()
            return answer.status, answer.read(MAX_ANSWER_BYTES).decode("utf-8", "replace")
        finally:
            connection.close()

    def call(self, body):
        """Posts one call; the answer's body text. Raises Fault or Unanswered."""
        headers = {"Content-Type": "text/xml; charset=utf-8", "SOAPAction": '"urn:zel"'}
        if self.cookie:
            headers["Cookie"] = "%s=%s" % (SESSION_COOKIE, self.cookie)
        try:
            if self._connection is None:
                self._connection = self._connect()
            self._connection.request("POST", self._path, (ENVELOPE % body).encode("utf-8"),
                                     headers)
            answer = self._connection.getresponse()
            text = answer.read(MAX_ANSWER_BYTES).decode("utf-8", "replace")
            set_cookie = answer.getheader("Set-Cookie") or ""
            if answer.getheader("Connection", "").lower() == "close":
                self.close()
        except (OSError, http.client.HTTPException) as e:
            self.close()
            raise Unanswered("%s: %s" % (type(e).__name__, e)) from e
        found = re.match(SESSION_COOKIE + r"=([^;]*)", set_cookie)
        if found:
            self.cookie = found.group(1) or None
        if "<soapenv:Fault>" in text:
            message = re.search(r"<faultstring>(.*?)</faultstring>", text, re.S)
            raise Fault(answer.status, message.group(1) if message else text[:200])
        if answer.status != 200 or "<soapenv:Envelope" not in text:
            raise Unanswered("HTTP %d without an envelope: %s" % (answer.status, text[:200]))
        return text

    # ---- the calls ------------------------------------------------------------------------

    def login(self, token):
        self.call('<ZelLoginByToken xmlns="urn:zel">%s<delegatedTokenXml>%s</delegatedTokenXml>'
                  "</ZelLoginByToken>" % (SESSION_MANAGER, escape(token)))

    def logout(self):
        self.call('<ZelLogout xmlns="urn:zel">%s</ZelLogout>' % SESSION_MANAGER)

    def create(self, name):
        """The new profile's id."""
        text = self.call('<ZelCreate xmlns="urn:zel">%s%s</ZelCreate>'
                         % (PROFILE_MANAGER, create_spec(name)))
        return re.search(r"<uniqueId>([^<]+)</uniqueId>", text).group(1)

    def query(self):
        """The ids of every storage profile."""
        text = self.call('<ZelQueryProfile xmlns="urn:zel">%s%s</ZelQueryProfile>'
                         % (PROFILE_MANAGER, STORAGE))
        return re.findall(r"<uniqueId>([^<]+)</uniqueId>", text)

    def retrieve(self, ids):
        """The names of the profiles with these ids, in their order."""
        text = self.call('<ZelRetrieveContent xmlns="urn:zel">%s%s</ZelRetrieveContent>'
                         % (PROFILE_MANAGER, profile_ids(ids, "profileIds")))
        return re.findall(r"<returnval[^>]*>.*?<name>([^<]*)</name>", text, re.S)

    def delete(self, ids):
        """The ids whose deletion answered a fault."""
        text = self.call('<ZelDelete xmlns="urn:zel">%s%s</ZelDelete>'
                         % (PROFILE_MANAGER, profile_ids(ids, "profileId")))
        outcomes = re.findall(r"<returnval[^>]*>(.*?)</returnval>", text, re.S)
        return [re.search(r"<uniqueId>([^<]+)", o).group(1) for o in outcomes if "<fault" in o]
