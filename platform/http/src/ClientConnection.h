// One connection of the client transport to a server, plain or TLS, used by
// one call at a time. Its operations run on an I/O context of its own under
// the connect and call deadlines.
#pragma once

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <chrono>
#include <memory>
#include <string>

namespace ZelHttp {
namespace Detail {

using ClientRequest = boost::beast::http::request<boost::beast::http::string_body>;
using ClientResponse = boost::beast::http::response<boost::beast::http::string_body>;

class ClientConnection {
 public:
  // tls: null for plain HTTP. verifyPeer false accepts any certificate
  // (the user asked not to check). Throws std::runtime_error with the reason
  // when the server cannot be reached (or its certificate is not trusted)
  // within connectTimeout.
  ClientConnection(const std::string& host, int port, boost::asio::ssl::context* tls,
                   std::chrono::milliseconds connectTimeout, bool verifyPeer = true);
  ~ClientConnection();

  enum class Outcome {
    kAnswered,
    // The connection failed before any byte of an answer came: a kept-alive
    // connection the server had closed. The request may be sent again.
    kClosedBeforeAnswer,
  };
  // Sends request and reads the answer, all within timeout. Throws
  // std::runtime_error for any other failure.
  Outcome Exchange(const ClientRequest& request, ClientResponse& response,
                   std::chrono::milliseconds timeout, size_t maxResponseBytes);

  std::chrono::steady_clock::time_point GetLastUsed() const { return _lastUsed; }

 private:
  template <class Stream>
  Outcome ExchangeOn(Stream& stream, const ClientRequest& request, ClientResponse& response,
                     std::chrono::milliseconds timeout, size_t maxResponseBytes);

  boost::asio::io_context _io;
  std::unique_ptr<boost::beast::tcp_stream> _plain;
  std::unique_ptr<boost::beast::ssl_stream<boost::beast::tcp_stream>> _tls;
  boost::beast::flat_buffer _buffer;
  std::chrono::steady_clock::time_point _lastUsed;
};

}  // namespace Detail
}  // namespace ZelHttp
