#include <Lumo/Wire/WireFormatFault.h>
#include <ZelHttp/HttpTransport.h>
#include <httplib.h>

#include <cctype>
#include <stdexcept>

namespace ZelHttp {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool IsLoopbackHost(const std::string& host) {
  return host == "127.0.0.1" || host == "localhost" || host == "::1";
}

bool IsXml(const std::string& contentType) {
  std::string type = Lower(Trim(contentType.substr(0, contentType.find(';'))));
  return type == "text/xml" || type == "application/soap+xml";
}

}  // namespace

bool SplitUrl(const std::string& url, std::string& host, int& port, std::string& path) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0) return false;
  size_t hostStart = scheme.size();
  size_t slash = url.find('/', hostStart);
  std::string authority =
      url.substr(hostStart, slash == std::string::npos ? std::string::npos : slash - hostStart);
  path = slash == std::string::npos ? "/" : url.substr(slash);
  size_t colon;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(1, close - 1);
    colon = authority.find(':', close);
  } else {
    colon = authority.find(':');
    host = authority.substr(0, colon);
  }
  port = 80;
  if (colon != std::string::npos) {
    std::string digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    port = std::stoi(digits);
  }
  return !host.empty() && port > 0 && port < 65536;
}

HttpTransport::HttpTransport(const std::string& url, const HttpTransportSettings& settings)
    : _url(url) {
  std::string host;
  int port = 0;
  if (!SplitUrl(url, host, port, _path)) {
    throw std::invalid_argument("not an http://host:port/path URL: " + url);
  }
  if (!IsLoopbackHost(host)) {
    throw std::invalid_argument("the sample talks to the loopback interface only, not to " + host);
  }
  _client = std::make_unique<httplib::Client>(host == "::1" ? "[::1]" : host, port);
  _client->set_connection_timeout(settings.connectTimeout);
  _client->set_read_timeout(settings.readTimeout);
  _client->set_write_timeout(settings.readTimeout);
  _client->set_keep_alive(false);
}

HttpTransport::~HttpTransport() = default;

std::string HttpTransport::GetCookie(const std::string& name) const {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _cookies.find(name);
  return it == _cookies.end() ? std::string() : it->second;
}

std::string HttpTransport::CookieHeader() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::string header;
  for (const auto& [name, value] : _cookies) {
    if (!header.empty()) header += "; ";
    header += name + "=" + value;
  }
  return header;
}

void HttpTransport::Remember(const std::string& setCookie) {
  std::string pair = setCookie.substr(0, setCookie.find(';'));
  size_t equals = pair.find('=');
  if (equals == std::string::npos) return;
  std::string name = Trim(pair.substr(0, equals));
  std::string value = Trim(pair.substr(equals + 1));
  bool expired = Lower(setCookie).find("max-age=0") != std::string::npos;
  std::lock_guard<std::mutex> lock(_mutex);
  if (expired || value.empty()) {
    _cookies.erase(name);
  } else if (!name.empty()) {
    _cookies[name] = value;
  }
}

void HttpTransport::Send(const Lumo::Wire::TransportRequest& request,
                         Lumo::Wire::TransportResponse& response) {
  httplib::Headers headers;
  for (const auto& [name, value] : request.headers) headers.emplace(name, value);
  headers.emplace("SOAPAction", "\"" + request.action + "\"");
  std::string cookies = CookieHeader();
  if (!cookies.empty()) headers.emplace("Cookie", cookies);

  httplib::Result result = _client->Post(_path, headers, request.body, "text/xml; charset=utf-8");
  if (!result) {
    Lumo::Wire::ThrowWireFault(Lumo::Wire::Reason::kTransport, _url,
                               "no answer: " + httplib::to_string(result.error()));
  }
  for (const auto& [name, value] : result->headers) {
    if (Lower(name) == "set-cookie") Remember(value);
  }
  bool soap = (result->status == 200 || result->status == 500) &&
              IsXml(result->get_header_value("Content-Type"));
  if (!soap) {
    std::string detail = result->body.substr(0, 200);
    Lumo::Wire::ThrowWireFault(
        Lumo::Wire::Reason::kTransport, _url,
        "HTTP " + std::to_string(result->status) + (detail.empty() ? "" : ": " + detail));
  }
  response.status = result->status;
  response.body = std::move(result->body);
  response.headers.clear();
  for (const auto& [name, value] : result->headers) response.headers.emplace_back(name, value);
}

}  // namespace ZelHttp
