// zel-server's options for sessions and token issuers, kept apart from the
// server's other options.
#pragma once

#include <ZelSample/Service.h>

#include <CLI/CLI.hpp>
#include <ostream>

namespace ZelServer {

// Declares the session and issuer options on app; parsing fills settings.
// A bad value (an unreadable key file included) is a usage error saying why.
void AddSessionOptions(CLI::App& app, ZelSample::ServiceSettings& settings);
// Completes settings after parsing: no --trust-key means the demo issuer.
void FinishSessionOptions(ZelSample::ServiceSettings& settings);
// One line per trusted issuer key, for the start-up message.
void PrintTrustedIssuers(const ZelSample::ServiceSettings& settings, std::ostream& out);

}  // namespace ZelServer
