#include <ZelHttp/HttpServer.h>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <future>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ConnectionTable.h"
#include "HandlerPool.h"
#include "HeaderText.h"
#include "IoThreads.h"
#include "RequestAnswer.h"
#include "ServerSession.h"

namespace ZelHttp {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Detail::ConnectionTable;
using Detail::ServerContext;
using Detail::ServerSession;

namespace {

std::unique_ptr<net::ssl::context> MakeTlsContext(const HttpServerSettings& settings) {
  if (settings.tlsCertificateFile.empty() && settings.tlsKeyFile.empty()) return nullptr;
  if (settings.tlsCertificateFile.empty() || settings.tlsKeyFile.empty()) {
    throw std::invalid_argument("TLS needs both a certificate file and a key file");
  }
  auto context = std::make_unique<net::ssl::context>(net::ssl::context::tls_server);
  context->set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                       net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                       net::ssl::context::no_tlsv1_1 | net::ssl::context::single_dh_use);
  try {
    context->use_certificate_chain_file(settings.tlsCertificateFile);
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot load the TLS certificate " + settings.tlsCertificateFile +
                             ": " + e.what());
  }
  try {
    context->use_private_key_file(settings.tlsKeyFile, net::ssl::context::pem);
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot load the TLS key " + settings.tlsKeyFile + ": " + e.what());
  }
  return context;
}

constexpr char kBusyReason[] = "too many connections now";

// A connection over the limits, with no idle connection to close instead:
// a short answer if the socket takes it at once, then closed.
void RefuseBusy(tcp::socket& socket) {
  static const std::string kBusy =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 25\r\n"
      "Connection: close\r\n\r\n" +
      std::string(kBusyReason) + "\n";
  boost::system::error_code ignored;
  socket.non_blocking(true, ignored);
  socket.write_some(net::buffer(kBusy), ignored);
  socket.shutdown(tcp::socket::shutdown_both, ignored);
  socket.close(ignored);
}

size_t IoThreadCount(const HttpServerSettings& settings) {
  if (settings.ioThreads > 0) return static_cast<size_t>(settings.ioThreads);
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

struct HttpServer::Impl {
  Impl(const HttpServerSettings& settings, const CallHandler& handler)
      : table(settings.maxConnections, settings.maxConnectionsPerPeer),
        tls(MakeTlsContext(settings)),
        handlers(static_cast<size_t>(std::max(1, settings.handlerThreads))),
        context{settings, handler, table, handlers},
        io(IoThreadCount(settings)),
        acceptor(io.First()),
        retry(acceptor.get_executor()) {}

  // Each accepted connection lives on the next I/O thread's loop.
  void Accept() {
    acceptor.async_accept(io.Next(), [this](boost::system::error_code ec, tcp::socket socket) {
      if (ec == net::error::operation_aborted || !acceptor.is_open()) return;
      if (ec) {
        // Out of descriptors or memory: try again in a moment, not at once.
        retry.expires_after(std::chrono::milliseconds(50));
        retry.async_wait([this](boost::system::error_code waited) {
          if (!waited) Accept();
        });
        return;
      }
      Admit(std::move(socket));
      Accept();
    });
  }

  void Admit(tcp::socket socket) {
    boost::system::error_code ec;
    tcp::endpoint remote = socket.remote_endpoint(ec);
    if (ec) return;
    std::string peer = remote.address().to_string();
    ConnectionTable::Admission admission = table.Admit(peer);
    if (!admission.admitted) {
      Detail::LogRefusedConnection(context, peer, 503, kBusyReason);
      return RefuseBusy(socket);
    }
    if (admission.evicted) admission.evicted->Close();
    socket.set_option(tcp::no_delay(true), ec);
    std::shared_ptr<Detail::Closable> session;
    if (tls) {
      auto tlsSession = std::make_shared<ServerSession<net::ssl::stream<tcp::socket>>>(
          context, admission.id, peer, net::ssl::stream<tcp::socket>(std::move(socket), *tls));
      table.Attach(admission.id, tlsSession);
      tlsSession->Start();
    } else {
      auto plainSession = std::make_shared<ServerSession<tcp::socket>>(context, admission.id, peer,
                                                                       std::move(socket));
      table.Attach(admission.id, plainSession);
      plainSession->Start();
    }
  }

  ConnectionTable table;
  std::unique_ptr<net::ssl::context> tls;
  Detail::HandlerPool handlers;
  ServerContext context;
  Detail::IoThreads io;
  tcp::acceptor acceptor;
  net::steady_timer retry;
};

HttpServer::HttpServer(RequestHandler handler, const HttpServerSettings& settings)
    : HttpServer(CallHandler([handler = std::move(handler)](Lumo::Wire::TransportRequest& request,
                                                            Lumo::Wire::TransportResponse& response,
                                                            Lumo::Wire::CallInfo&) {
                   handler(request, response);
                 }),
                 settings) {}

HttpServer::HttpServer(CallHandler handler, const HttpServerSettings& settings)
    : _handler(std::move(handler)), _settings(settings) {}

HttpServer::~HttpServer() { Stop(); }

std::vector<std::string> PageRequest::Values(const std::string& name) const {
  std::vector<std::string> values;
  std::string wanted = Detail::Lower(name);
  for (const auto& [field, value] : headers) {
    if (Detail::Lower(field) == wanted) values.push_back(value);
  }
  return values;
}

std::string HttpServer::GetUrl() const {
  std::string host = _settings.host;
  if (host == "0.0.0.0") host = "127.0.0.1";
  if (host == "::") host = "::1";
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string scheme = _settings.tlsCertificateFile.empty() ? "http://" : "https://";
  return scheme + host + ":" + std::to_string(_port) + _settings.path;
}

size_t HttpServer::GetConnectionCount() const { return _impl ? _impl->table.Count() : 0; }

void HttpServer::Start() {
  if (_impl) throw std::runtime_error("the server is already started");
  boost::system::error_code ec;
  net::ip::address address = net::ip::make_address(_settings.host, ec);
  if (ec) throw std::invalid_argument("not an IP address to listen on: " + _settings.host);
  if (_settings.port < 0 || _settings.port > 65535) {
    throw std::invalid_argument("not a port: " + std::to_string(_settings.port));
  }
  auto impl = std::make_unique<Impl>(_settings, _handler);
  tcp::endpoint endpoint(address, static_cast<unsigned short>(_settings.port));
  tcp::acceptor& acceptor = impl->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  // SO_REUSEADDR only lets a restarted server bind past connections in
  // TIME_WAIT; unlike SO_REUSEPORT it never lets two servers share a port.
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec && address.is_v6()) acceptor.set_option(net::ip::v6_only(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (ec == net::error::address_in_use) {
    throw std::runtime_error("port " + std::to_string(_settings.port) + " on " + _settings.host +
                             " is already in use by another program");
  }
  if (!ec) acceptor.listen(_settings.backlog, ec);
  if (ec) {
    throw std::runtime_error("cannot listen on " + _settings.host + ":" +
                             std::to_string(_settings.port) + ": " + ec.message());
  }
  _port = acceptor.local_endpoint().port();
  // Kept before any thread starts: the handlers may ask for it at once
  // (GetConnectionCount).
  _impl = std::move(impl);
  _impl->Accept();
  _impl->io.Start();
}

void HttpServer::Stop() {
  if (!_impl) return;
  Impl& impl = *_impl;
  // Stop accepting, then close what is idle or half-read; the calls in
  // flight are answered (with Connection: close) and their connections close.
  std::promise<void> closed;
  net::post(impl.acceptor.get_executor(), [&impl, &closed] {
    boost::system::error_code ignored;
    impl.acceptor.close(ignored);
    impl.retry.cancel();
    closed.set_value();
  });
  closed.get_future().wait();
  impl.context.stopping = true;
  for (const auto& connection : impl.table.All()) connection->Drain();
  auto deadline = std::chrono::steady_clock::now() + _settings.drainTimeout;
  if (!impl.table.WaitUntilEmpty(deadline)) {
    for (const auto& connection : impl.table.All()) connection->Close();
    impl.table.WaitUntilEmpty(std::chrono::steady_clock::now() + std::chrono::seconds(2));
  }
  impl.io.Stop();
  impl.handlers.Join();
  _impl.reset();
}

}  // namespace ZelHttp
