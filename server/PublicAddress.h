// The address the service description tells clients to call: the public URL
// the operator gave (--public-url), else the host the client asked for (its
// Host header, or with --trust-forwarded the X-Forwarded-Host and
// X-Forwarded-Proto a proxy set) with the listener's scheme, else the
// address the server is bound to. Every header is checked before it is
// used: a value that is not a plain host name or IP literal with an
// optional port is not used, so nothing a client sends but a well-formed
// host gets into a document.
#pragma once

#include <ZelHttp/HttpServer.h>

#include <mutex>
#include <string>

namespace ZelServer {

// A host name (letters, digits, '-', '.'), an IPv4 literal or a bracketed
// IPv6 literal, with an optional ":PORT" (1 to 65535).
bool IsHostAndPort(const std::string& text);

// Checks an operator's public URL: http or https, a host, an optional port
// and an optional path; no user, query or fragment. The URL as it will be
// used goes to url (the service's path appended when it has none); false,
// with the reason in error, otherwise.
bool ParsePublicUrl(const std::string& text, const std::string& servicePath, std::string& url,
                    std::string& error);

struct AddressSettings {
  // The checked public URL (ParsePublicUrl); empty: from the request.
  std::string publicUrl;
  // Whether X-Forwarded-Proto and X-Forwarded-Host are believed.
  bool trustForwarded = false;
  // "http" or "https": the listener's.
  std::string scheme = "http";
  // The service's path ("/zel").
  std::string path = "/zel";
};

class PublicAddress {
 public:
  explicit PublicAddress(AddressSettings settings);

  // The address the server is bound to ("http://127.0.0.1:PORT/zel"), used
  // when a request names no usable host.
  void SetBoundUrl(const std::string& url);

  // The service's URL as the client of request should be told it.
  std::string For(const ZelHttp::PageRequest& request) const;

 private:
  AddressSettings _settings;
  mutable std::mutex _mutex;  // guards _boundUrl, set once the server listens
  std::string _boundUrl;
};

}  // namespace ZelServer
