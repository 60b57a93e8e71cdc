#include <Lumo/Wire/Cookies.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <ZelHttp/HttpTransport.h>

#include <boost/asio/ssl.hpp>
#include <ctime>
#include <stdexcept>

#include "ClientConnection.h"
#include "HeaderText.h"

namespace ZelHttp {

namespace net = boost::asio;
namespace http = boost::beast::http;
using Detail::ClientConnection;

struct HttpTransport::TlsContext {
  net::ssl::context context{net::ssl::context::tls_client};
};

bool ParseUrl(const std::string& url, Url& parsed) {
  std::string rest;
  if (url.rfind("http://", 0) == 0) {
    parsed.tls = false;
    rest = url.substr(7);
  } else if (url.rfind("https://", 0) == 0) {
    parsed.tls = true;
    rest = url.substr(8);
  } else {
    return false;
  }
  size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  parsed.path = slash == std::string::npos ? "/" : rest.substr(slash);
  size_t colon;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    parsed.host = authority.substr(1, close - 1);
    colon = authority.find(':', close);
    if (colon == std::string::npos && close + 1 != authority.size()) return false;
  } else {
    colon = authority.find(':');
    parsed.host = authority.substr(0, colon);
  }
  parsed.port = parsed.tls ? 443 : 80;
  if (colon != std::string::npos) {
    std::string digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    parsed.port = std::stoi(digits);
  }
  for (char c : parsed.host) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == '@' || c == '/') return false;
  }
  return !parsed.host.empty() && parsed.port > 0 && parsed.port < 65536;
}

bool SplitUrl(const std::string& url, std::string& host, int& port, std::string& path) {
  Url parsed;
  if (!ParseUrl(url, parsed)) return false;
  host = parsed.host;
  port = parsed.port;
  path = parsed.path;
  return true;
}

HttpTransport::HttpTransport(const std::string& url, const HttpTransportSettings& settings)
    : _url(url), _settings(settings) {
  Url parsed;
  if (!ParseUrl(url, parsed)) {
    throw std::invalid_argument("not an http:// or https://host:port/path URL: " + url);
  }
  _host = parsed.host;
  _port = parsed.port;
  _path = parsed.path;
  if (parsed.tls) {
    _tls = std::make_unique<TlsContext>();
    _tls->context.set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                              net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                              net::ssl::context::no_tlsv1_1);
    try {
      if (settings.trustedCertificateFile.empty()) {
        _tls->context.set_default_verify_paths();
      } else {
        _tls->context.load_verify_file(settings.trustedCertificateFile);
      }
    } catch (const std::exception& e) {
      throw std::invalid_argument("cannot load the certificates to trust from " +
                                  settings.trustedCertificateFile + ": " + e.what());
    }
  }
}

HttpTransport::~HttpTransport() = default;

std::string HttpTransport::GetCookie(const std::string& name) const {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _cookies.find(name);
  return it == _cookies.end() ? std::string() : it->second;
}

size_t HttpTransport::GetIdleConnectionCount() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _idle.size();
}

std::string HttpTransport::CookieHeader() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::string header;
  for (const auto& [name, value] : _cookies) Lumo::Wire::AppendCookie(header, name, value);
  return header;
}

void HttpTransport::Remember(const std::string& setCookie) {
  Lumo::Wire::SetCookie cookie;
  if (!Lumo::Wire::ParseSetCookie(setCookie, cookie)) return;
  std::lock_guard<std::mutex> lock(_mutex);
  if (cookie.Removes(std::time(nullptr)) || cookie.value.empty()) {
    _cookies.erase(cookie.name);
  } else if (_cookies.size() < Lumo::Wire::kMaxCookiesPerHeader ||
             _cookies.count(cookie.name) != 0) {
    // No more cookies than a Cookie header may carry.
    _cookies[cookie.name] = cookie.value;
  }
}

std::unique_ptr<ClientConnection> HttpTransport::TakeIdle() {
  std::lock_guard<std::mutex> lock(_mutex);
  auto now = std::chrono::steady_clock::now();
  while (!_idle.empty()) {
    std::unique_ptr<ClientConnection> connection = std::move(_idle.back());
    _idle.pop_back();
    if (now - connection->GetLastUsed() < _settings.maxIdleTime) return connection;
  }
  return nullptr;
}

void HttpTransport::PutBack(std::unique_ptr<ClientConnection> connection) {
  std::lock_guard<std::mutex> lock(_mutex);
  if (_idle.size() < _settings.maxIdleConnections) _idle.push_back(std::move(connection));
}

void HttpTransport::Send(const Lumo::Wire::TransportRequest& request,
                         Lumo::Wire::TransportResponse& response) {
  Detail::ClientRequest message(http::verb::post, _path, 11);
  message.set(http::field::host, _host.find(':') != std::string::npos
                                     ? "[" + _host + "]:" + std::to_string(_port)
                                     : _host + ":" + std::to_string(_port));
  for (const auto& [name, value] : request.headers) message.insert(name, value);
  message.set("SOAPAction", "\"" + request.action + "\"");
  message.set(http::field::content_type, "text/xml; charset=utf-8");
  std::string cookies = CookieHeader();
  if (!cookies.empty()) message.set(http::field::cookie, cookies);
  message.keep_alive(_settings.keepAlive);
  message.body() = request.body;
  message.prepare_payload();

  Detail::ClientResponse answer;
  try {
    // A pooled connection the server has closed in the meantime fails before
    // any answer: send again once on a new connection.
    for (int attempt = 0;; ++attempt) {
      std::unique_ptr<ClientConnection> connection;
      if (attempt == 0 && _settings.keepAlive) connection = TakeIdle();
      bool reused = connection != nullptr;
      if (!connection) {
        connection =
            std::make_unique<ClientConnection>(_host, _port, _tls ? &_tls->context : nullptr,
                                               _settings.connectTimeout, _settings.verifyPeer);
      }
      auto outcome =
          connection->Exchange(message, answer, _settings.readTimeout, _settings.maxResponseBytes);
      if (outcome == ClientConnection::Outcome::kClosedBeforeAnswer) {
        if (reused) continue;
        throw std::runtime_error("the server closed the connection without an answer");
      }
      if (_settings.keepAlive && answer.keep_alive()) PutBack(std::move(connection));
      break;
    }
  } catch (const std::runtime_error& e) {
    Lumo::Wire::ThrowWireFault(Lumo::Wire::Reason::kTransport, _url,
                               std::string("no answer: ") + e.what());
  }

  for (const auto& field : answer) {
    if (field.name() == http::field::set_cookie) Remember(std::string(field.value()));
  }
  int status = static_cast<int>(answer.result_int());
  bool soap = (status == 200 || status == 500) && Detail::IsXml(answer[http::field::content_type]);
  if (!soap) {
    std::string detail = answer.body().substr(0, 200);
    Lumo::Wire::ThrowWireFault(
        Lumo::Wire::Reason::kTransport, _url,
        "HTTP " + std::to_string(status) + (detail.empty() ? "" : ": " + detail));
  }
  response.status = status;
  response.headers.clear();
  for (const auto& field : answer) {
    response.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  response.body = std::move(answer.body());
}

}  // namespace ZelHttp
