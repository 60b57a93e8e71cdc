// The server side of HTTP: serves wire requests POSTed to one path on the
// loopback interface and hands each to a handler (a dispatcher, an
// endpoint). Requests that are not SOAP messages get an HTTP error: 404 for
// another path, 405 for another method, 415 for another content type, 413
// for a body over the limit. The server keeps serving after any of them.
#pragma once

#include <Lumo/Wire/Transport.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace ZelHttp {

struct HttpServerSettings {
  // Only loopback addresses are accepted ("127.0.0.1", "::1").
  std::string host = "127.0.0.1";
  // 0: an ephemeral port, chosen by the system.
  int port = 0;
  std::string path = "/zel";
  size_t maxBodyBytes = 8u * 1024u * 1024u;
  std::chrono::seconds readTimeout{5};
  std::chrono::seconds writeTimeout{5};
};

using RequestHandler =
    std::function<void(const Lumo::Wire::TransportRequest&, Lumo::Wire::TransportResponse&)>;

class HttpServer {
 public:
  HttpServer(RequestHandler handler, const HttpServerSettings& settings = HttpServerSettings());
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the port and serves on threads of the server's own. Throws
  // std::runtime_error when the port cannot be bound and
  // std::invalid_argument for a host that is not a loopback address.
  void Start();
  // Stops serving and waits for the serving thread; idempotent.
  void Stop();

  int GetPort() const { return _port; }
  // "http://127.0.0.1:PORT/zel".
  std::string GetUrl() const;

 private:
  RequestHandler _handler;
  HttpServerSettings _settings;
  std::unique_ptr<httplib::Server> _server;
  std::thread _thread;
  int _port = 0;
};

}  // namespace ZelHttp
