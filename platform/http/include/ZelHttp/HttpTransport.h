// The client side of HTTP: a wire transport that POSTs each request to a
// server (http:// or https://, any host) and keeps the cookies the server
// sets, as a browser would, so that a session opened by a login carries on.
//
// Connections are kept alive and reused across calls and threads: a call
// takes an idle connection from a small pool or opens a new one, and puts it
// back when the answer is read, so many threads may call at once over one
// transport. https:// verifies the server's certificate and host name
// against the system's CA bundle, or against a certificate file given in the
// settings.
#pragma once

#include <Lumo/Wire/Transport.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ZelHttp {

namespace Detail {
class ClientConnection;
}

struct HttpTransportSettings {
  // Resolving the host, connecting and the TLS handshake together.
  std::chrono::milliseconds connectTimeout{2000};
  // A whole call once connected: sending the request and reading the answer.
  std::chrono::milliseconds readTimeout{15000};
  // Reuse connections across calls; false opens one per call.
  bool keepAlive = true;
  // Idle connections kept for reuse; more are closed.
  size_t maxIdleConnections = 8;
  // An idle connection older than this is not reused (servers close
  // kept-alive connections after a while).
  std::chrono::milliseconds maxIdleTime{20000};
  size_t maxResponseBytes = 64u * 1024u * 1024u;
  // https: a PEM file of certificates to trust (a test server's own
  // certificate, a private CA). Empty: the system's CA bundle.
  std::string trustedCertificateFile;
  // https: false accepts any certificate for any host name (a user's
  // explicit choice): the connection is encrypted, but the server is not
  // authenticated.
  bool verifyPeer = true;
};

class HttpTransport : public Lumo::Wire::Transport {
 public:
  // url: "http://HOST[:PORT]/PATH" or "https://HOST[:PORT]/PATH"; other
  // URLs are refused with std::invalid_argument, and so is an https URL
  // whose trusted certificate file cannot be loaded.
  explicit HttpTransport(const std::string& url,
                         const HttpTransportSettings& settings = HttpTransportSettings());

  // Throws a WireFormatFault (reason "transport") when the server cannot be
  // reached, its certificate is not trusted, no answer comes in time, or the
  // answer is something other than a SOAP message (an HTTP error, another
  // content type). Safe to call from many threads at once.
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override;

  const std::string& GetUrl() const { return _url; }
  // The value of a cookie the server set; empty when none.
  std::string GetCookie(const std::string& name) const;
  // Connections idle in the pool right now.
  size_t GetIdleConnectionCount() const;

 protected:
  ~HttpTransport() override;

 private:
  struct TlsContext;
  std::string CookieHeader() const;
  void Remember(const std::string& setCookie);
  std::unique_ptr<Detail::ClientConnection> TakeIdle();
  void PutBack(std::unique_ptr<Detail::ClientConnection> connection);

  std::string _url;
  std::string _host;
  int _port = 0;
  std::string _path;
  HttpTransportSettings _settings;
  std::unique_ptr<TlsContext> _tls;
  mutable std::mutex _mutex;
  std::map<std::string, std::string> _cookies;
  std::vector<std::unique_ptr<Detail::ClientConnection>> _idle;
};

struct Url {
  bool tls = false;
  std::string host;
  int port = 0;
  std::string path;
};

// Splits "http://host[:port][/path]" and "https://..." (IPv6 hosts in
// brackets); false when it is not such a URL.
bool ParseUrl(const std::string& url, Url& parsed);
// The same, without the scheme's kind.
bool SplitUrl(const std::string& url, std::string& host, int& port, std::string& path);

}  // namespace ZelHttp
