#include "ServerOptions.h"

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

#include "PublicAddress.h"
#include "SessionOptions.h"

namespace ZelServer {

namespace {

bool ParseNumber(const std::string& text, long long min, long long max, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value >= min && value <= max;
}

struct Flag {
  const char* name;
  const char* value;  // null: takes no value
  const char* help;
  // Applies the value; false when it is not acceptable.
  std::function<bool(ServerOptions&, const std::string&)> apply;
};

template <class T>
std::function<bool(ServerOptions&, const std::string&)> Number(long long min, long long max,
                                                               T ServerOptions::*group,
                                                               size_t T::*field) {
  return [=](ServerOptions& options, const std::string& text) {
    long long value = 0;
    if (!ParseNumber(text, min, max, value)) return false;
    options.*group.*field = static_cast<size_t>(value);
    return true;
  };
}

std::function<bool(ServerOptions&, const std::string&)> Quota(
    size_t ZelSample::QuotaSettings::*field, long long min) {
  return [=](ServerOptions& options, const std::string& text) {
    long long value = 0;
    if (!ParseNumber(text, min, 1LL << 40, value)) return false;
    options.service.quotas.*field = static_cast<size_t>(value);
    return true;
  };
}

std::function<bool(ServerOptions&, const std::string&)> Seconds(
    std::chrono::seconds ZelHttp::HttpServerSettings::*field) {
  return [=](ServerOptions& options, const std::string& text) {
    long long value = 0;
    if (!ParseNumber(text, 1, 86400, value)) return false;
    options.http.*field = std::chrono::seconds(value);
    return true;
  };
}

std::function<bool(ServerOptions&, const std::string&)> Count(
    int ZelHttp::HttpServerSettings::*field, long long max) {
  return [=](ServerOptions& options, const std::string& text) {
    long long value = 0;
    if (!ParseNumber(text, 1, max, value)) return false;
    options.http.*field = static_cast<int>(value);
    return true;
  };
}

const std::vector<Flag>& Flags() {
  using Http = ZelHttp::HttpServerSettings;
  using Limits = Lumo::Wire::Limits;
  static const std::vector<Flag> flags = {
      {"--port", "N", "the port to listen on (0: any free port); required",
       [](ServerOptions& o, const std::string& v) {
         long long value = 0;
         if (!ParseNumber(v, 0, 65535, value)) return false;
         o.http.port = static_cast<int>(value);
         return true;
       }},
      {"--bind", "ADDRESS", "the address to listen on (default 127.0.0.1; 0.0.0.0 or :: for all)",
       [](ServerOptions& o, const std::string& v) {
         o.http.host = v;
         return !v.empty();
       }},
      {"--tls-cert", "FILE", "serve https with this PEM certificate (chain); needs --tls-key",
       [](ServerOptions& o, const std::string& v) {
         o.http.tlsCertificateFile = v;
         return !v.empty();
       }},
      {"--tls-key", "FILE", "the PEM private key of --tls-cert",
       [](ServerOptions& o, const std::string& v) {
         o.http.tlsKeyFile = v;
         return !v.empty();
       }},
      {"--max-body", "BYTES", "the largest request body, however framed (default 8388608)",
       Number<Http>(1, 1LL << 30, &ServerOptions::http, &Http::maxBodyBytes)},
      {"--max-header", "BYTES", "the largest request line and headers (default 16384)",
       Number<Http>(1024, 1 << 20, &ServerOptions::http, &Http::maxHeaderBytes)},
      {"--max-depth", "N", "the deepest nesting of values in a message (default 64, at most 512)",
       [](ServerOptions& o, const std::string& v) {
         long long value = 0;
         if (!ParseNumber(v, 1, Lumo::Wire::Limits::kHardMaxDepth, value)) return false;
         o.limits.maxDepth = static_cast<int>(value);
         return true;
       }},
      {"--max-elements", "N", "the most elements of one array (default 100000)",
       Number<Limits>(1, 1LL << 30, &ServerOptions::limits, &Limits::maxArrayElements)},
      {"--max-string", "BYTES", "the longest text value (default 8388608)",
       Number<Limits>(1, 1LL << 30, &ServerOptions::limits, &Limits::maxStringBytes)},
      {"--max-connections", "N", "connections open at once (default 1024)",
       Number<Http>(1, 1 << 20, &ServerOptions::http, &Http::maxConnections)},
      {"--max-connections-per-peer", "N", "connections from one address (default 256)",
       Number<Http>(1, 1 << 20, &ServerOptions::http, &Http::maxConnectionsPerPeer)},
      {"--backlog", "N", "the listen backlog (default 1024)", Count(&Http::backlog, 65535)},
      {"--read-timeout", "SECONDS", "the time a whole request may take to arrive (default 10)",
       Seconds(&Http::readTimeout)},
      {"--write-timeout", "SECONDS", "the time an answer may take to be sent (default 10)",
       Seconds(&Http::writeTimeout)},
      {"--idle-timeout", "SECONDS", "the time a kept-alive connection may wait (default 30)",
       Seconds(&Http::idleTimeout)},
      {"--drain-timeout", "SECONDS",
       "on SIGTERM, the time calls in flight get to finish (default 30)",
       Seconds(&Http::drainTimeout)},
      {"--handler-threads", "N", "calls served at once (default 8)",
       Count(&Http::handlerThreads, 1024)},
      {"--io-threads", "N", "threads reading and writing connections (default: one per core)",
       Count(&Http::ioThreads, 64)},
      {"--inventory", "FILE", "the inventory to serve (default: the built-in sample)",
       [](ServerOptions& o, const std::string& v) {
         return !(o.service.inventoryFile = v).empty();
       }},
      {"--data", "FILE|URI",
       "keep profiles, associations and results in this SQLite file, or in the PostgreSQL "
       "database of a postgresql://USER@HOST:PORT/DB URI (several servers may share one)",
       [](ServerOptions& o, const std::string& v) { return !(o.service.dataFile = v).empty(); }},
      {"--max-session-bytes", "BYTES",
       "bytes of profiles, associations and results a session may add (default 16777216)",
       Quota(&ZelSample::QuotaSettings::bytesPerSession, 1)},
      {"--max-stored-bytes", "BYTES",
       "bytes of profiles, associations and results held in all (default 268435456)",
       Quota(&ZelSample::QuotaSettings::maxBytes, 1)},
      {"--max-description", "BYTES", "the longest profile description (default 65536)",
       Quota(&ZelSample::QuotaSettings::maxDescriptionBytes, 0)},
      {"--public-url", "URL",
       "the address the WSDL names, http[s]://HOST[:PORT][/PATH] (default: the request's Host)",
       [](ServerOptions& o, const std::string& v) { return !(o.publicUrl = v).empty(); }},
      {"--trust-forwarded", nullptr,
       "believe a proxy's X-Forwarded-Host and X-Forwarded-Proto for that address",
       [](ServerOptions& o, const std::string&) { return o.trustForwarded = true; }},
      {"--admin", nullptr,
       "serve /admin/reset and /admin/faults, which reset the state and inject faults",
       [](ServerOptions& o, const std::string&) { return o.admin = true; }},
      {"--seed", "FILE", "load profiles and associations from this file at start",
       [](ServerOptions& o, const std::string& v) { return !(o.seedFile = v).empty(); }},
      {"--log-level", "LEVEL",
       "error (no request log), warning (failed calls), info (every call; default), debug "
       "(with message bodies, tokens redacted)",
       [](ServerOptions& o, const std::string& v) { return ParseLogLevel(v, o.logLevel); }},
  };
  return flags;
}

}  // namespace

const char* const kServerDescription =
    "Serves the sample storage-policy service: clients POST SOAP requests to\n"
    "http://ADDRESS:N/zel (https with --tls-cert). SIGTERM or SIGINT stops it after\n"
    "the calls in flight are answered. GET /healthz answers 200 while it serves,\n"
    "/readyz 200 when its store answers (else 503 and why), /metrics its metrics\n"
    "in the Prometheus text format, PATH?wsdl its WSDL.";

void AddServerOptions(ZelCommandLine::Program& program, ServerOptions& options) {
  CLI::App& app = program.App();
  for (const Flag& flag : Flags()) {
    const std::string name = flag.name;
    if (flag.value == nullptr) {
      app.add_flag_callback(
          name, [&options, flag] { flag.apply(options, std::string()); }, flag.help);
      continue;
    }
    CLI::Option* option = app.add_option_function<std::string>(
        name,
        [&options, flag, name](const std::string& value) {
          if (!flag.apply(options, value)) {
            throw CLI::ValidationError("bad value for " + name + ": " + value);
          }
        },
        flag.help);
    option->type_name(flag.value);
    if (name == "--port") option->required();
  }
  AddSessionOptions(app, options.service);
  program.AddManSection("exit status",
                        "0 stopped by SIGTERM or SIGINT after the calls in flight, 1 it could not "
                        "serve (the port is taken), 2 bad usage or settings.");
  program.AddManSection("example",
                        " zel-server --port 8080 --data /var/lib/zel/store.db\n"
                        " zel-server --port 8443 --tls-cert server.crt --tls-key server.key");
}

bool FinishOptions(ServerOptions& options, std::string& error) {
  if (options.http.tlsCertificateFile.empty() != options.http.tlsKeyFile.empty()) {
    error = "--tls-cert and --tls-key go together";
    return false;
  }
  if (!options.publicUrl.empty()) {
    std::string url, why;
    if (!ParsePublicUrl(options.publicUrl, options.http.path, url, why)) {
      error = "bad value for --public-url: " + options.publicUrl + ": " + why;
      return false;
    }
    options.publicUrl = url;
  }
  FinishSessionOptions(options.service);
  // The wire writes answers within these limits (the message limit is the
  // body limit); the service refuses, before storing anything, a change
  // whose answer would break them.
  options.limits.maxMessageBytes = options.http.maxBodyBytes;
  options.service.quotas.answerLimits = options.limits;
  return true;
}

}  // namespace ZelServer
