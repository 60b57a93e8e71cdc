// zel-server's command line: every flag, its help text, and the settings
// of the HTTP server, the wire reader and the log it fills.
#pragma once

#include <Lumo/Wire/Options.h>
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
  bool help = false;
  bool version = false;
};

void PrintUsage(std::ostream& out);

// False, with the reason in error, for an unknown flag, a missing or bad
// value, or no --port.
bool ParseOptions(int argc, char** argv, ServerOptions& options, std::string& error);

}  // namespace ZelServer
