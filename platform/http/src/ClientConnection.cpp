#include "ClientConnection.h"

#include <openssl/ssl.h>

#include <optional>
#include <stdexcept>
#include <vector>

namespace ZelHttp {
namespace Detail {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;

namespace {

// Runs the context until its work is done.
void RunAll(net::io_context& io) {
  io.restart();
  io.run();
}

std::string Describe(const beast::error_code& ec) {
  if (ec == beast::error::timeout) return "timed out";
  return ec.message();
}

}  // namespace

ClientConnection::ClientConnection(const std::string& host, int port, net::ssl::context* tls,
                                   std::chrono::milliseconds connectTimeout, bool verifyPeer)
    : _buffer(64 * 1024) {
  auto deadline = std::chrono::steady_clock::now() + connectTimeout;
  beast::error_code ec;
  std::vector<tcp::endpoint> endpoints;
  // An address needs no resolver: Asio resolves on a thread of its own per
  // context, which costs a new connection milliseconds.
  const net::ip::address address = net::ip::make_address(host, ec);
  const bool isAddress = !ec;
  if (isAddress) {
    endpoints.emplace_back(address, static_cast<unsigned short>(port));
  } else {
    tcp::resolver resolver(_io);
    bool resolved = false;
    resolver.async_resolve(host, std::to_string(port),
                           [&](beast::error_code result, tcp::resolver::results_type found) {
                             ec = result;
                             for (const auto& entry : found) endpoints.push_back(entry.endpoint());
                             resolved = true;
                           });
    _io.run_until(deadline);
    if (!resolved) {
      resolver.cancel();
      RunAll(_io);
      throw std::runtime_error("cannot resolve " + host + ": timed out");
    }
    if (ec) throw std::runtime_error("cannot resolve " + host + ": " + ec.message());
  }

  _plain = std::make_unique<beast::tcp_stream>(_io);
  beast::tcp_stream& stream = *_plain;
  stream.expires_at(deadline);
  stream.async_connect(endpoints,
                       [&](beast::error_code result, const tcp::endpoint&) { ec = result; });
  RunAll(_io);
  if (ec) throw std::runtime_error("cannot connect: " + Describe(ec));
  stream.socket().set_option(tcp::no_delay(true), ec);

  if (tls != nullptr) {
    _tls = std::make_unique<beast::ssl_stream<beast::tcp_stream>>(std::move(*_plain), *tls);
    _plain.reset();
    // Name the server for virtual hosting, and check that the certificate
    // is for the host that was asked for.
    if (!isAddress) SSL_set_tlsext_host_name(_tls->native_handle(), host.c_str());
    if (verifyPeer) {
      _tls->set_verify_mode(net::ssl::verify_peer);
      _tls->set_verify_callback(net::ssl::host_name_verification(host));
    } else {
      _tls->set_verify_mode(net::ssl::verify_none);
    }
    beast::get_lowest_layer(*_tls).expires_at(deadline);
    _tls->async_handshake(net::ssl::stream_base::client,
                          [&](beast::error_code result) { ec = result; });
    RunAll(_io);
    if (ec) throw std::runtime_error("TLS handshake failed: " + Describe(ec));
  }
  _lastUsed = std::chrono::steady_clock::now();
}

ClientConnection::~ClientConnection() = default;

ClientConnection::Outcome ClientConnection::Exchange(const ClientRequest& request,
                                                     ClientResponse& response,
                                                     std::chrono::milliseconds timeout,
                                                     size_t maxResponseBytes) {
  Outcome outcome = _tls ? ExchangeOn(*_tls, request, response, timeout, maxResponseBytes)
                         : ExchangeOn(*_plain, request, response, timeout, maxResponseBytes);
  _lastUsed = std::chrono::steady_clock::now();
  return outcome;
}

template <class Stream>
ClientConnection::Outcome ClientConnection::ExchangeOn(Stream& stream, const ClientRequest& request,
                                                       ClientResponse& response,
                                                       std::chrono::milliseconds timeout,
                                                       size_t maxResponseBytes) {
  http::response_parser<http::string_body> parser;
  parser.body_limit(maxResponseBytes);
  parser.header_limit(64 * 1024);
  beast::error_code writeError;
  beast::error_code readError;
  beast::get_lowest_layer(stream).expires_after(timeout);
  http::async_write(stream, request, [&](beast::error_code ec, size_t) {
    writeError = ec;
    if (ec) return;
    http::async_read(stream, _buffer, parser,
                     [&](beast::error_code result, size_t) { readError = result; });
  });
  RunAll(_io);
  beast::error_code ec = writeError ? writeError : readError;
  if (ec) {
    bool nothingCame = !parser.got_some() && _buffer.size() == 0;
    if (nothingCame && ec != beast::error::timeout) return Outcome::kClosedBeforeAnswer;
    if (ec == http::error::body_limit) {
      throw std::runtime_error("the answer is larger than " + std::to_string(maxResponseBytes) +
                               " bytes");
    }
    throw std::runtime_error(ec == beast::error::timeout
                                 ? "no answer within " + std::to_string(timeout.count()) + " ms"
                                 : "the connection failed: " + ec.message());
  }
  response = parser.release();
  if (_buffer.capacity() > 256 * 1024) _buffer.shrink_to_fit();
  return Outcome::kAnswered;
}

}  // namespace Detail
}  // namespace ZelHttp
