// zel-server's command line: every option, its help text, and the settings
// of the HTTP server, the wire reader and the log it fills.
#pragma once

#include <Lumo/Wire/Options.h>
#include <ZelCommandLine/Program.h>
#include <ZelHttp/HttpServer.h>
#include <ZelSample/Service.h>

#include <ostream>
#include <string>

#include "RequestLog.h"

namespace ZelServer {

struct ServerOptions {
  ZelHttp::HttpServerSettings http;
  Lumo::Wire::Limits limits;
  ZelSample::ServiceSettings service;  // the inventory and data files
  LogLevel logLevel = LogLevel::kInfo;
  // The service's address in its description, checked (PublicAddress.h);
  // empty: from each request.
  std::string publicUrl;
  bool trustForwarded = false;
  // Serve the admin endpoints that reset the state and inject faults.
  bool admin = false;
  // Profiles and associations loaded at start; empty: none.
  std::string seedFile;
};

// What zel-server does, for its help and manual page.
extern const char* const kServerDescription;

// Declares every option on the program's command line; parsing fills
// options (a bad value is a usage error that names the option).
void AddServerOptions(ZelCommandLine::Program& program, ServerOptions& options);

// Checks what depends on several options and completes the settings after
// parsing; false, with the reason in error, when they do not fit together.
bool FinishOptions(ServerOptions& options, std::string& error);

}  // namespace ZelServer
