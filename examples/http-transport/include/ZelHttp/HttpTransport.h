// The client side of HTTP: a wire transport that POSTs each request to a
// server on the loopback interface and keeps the cookies the server sets, as
// a browser would, so that a session opened by a login carries on.
#pragma once

#include <Lumo/Wire/Transport.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Client;
}

namespace ZelHttp {

struct HttpTransportSettings {
  std::chrono::milliseconds connectTimeout{2000};
  std::chrono::milliseconds readTimeout{15000};
};

class HttpTransport : public Lumo::Wire::Transport {
 public:
  // url: "http://127.0.0.1:PORT/PATH" (also "localhost"). Other schemes and
  // hosts are refused with std::invalid_argument: the sample talks to the
  // loopback interface only.
  explicit HttpTransport(const std::string& url,
                         const HttpTransportSettings& settings = HttpTransportSettings());

  // Throws a WireFormatFault (reason "transport") when the server cannot be
  // reached or answers with something other than a SOAP message (an HTTP
  // error, another content type).
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override;

  const std::string& GetUrl() const { return _url; }
  // The value of a cookie the server set; empty when none.
  std::string GetCookie(const std::string& name) const;

 protected:
  ~HttpTransport() override;

 private:
  std::string CookieHeader() const;
  void Remember(const std::string& setCookie);

  std::string _url;
  std::string _path;
  std::unique_ptr<httplib::Client> _client;
  mutable std::mutex _mutex;
  std::map<std::string, std::string> _cookies;
};

// Splits "http://host:port/path"; false when it is not such a URL.
bool SplitUrl(const std::string& url, std::string& host, int& port, std::string& path);

}  // namespace ZelHttp
