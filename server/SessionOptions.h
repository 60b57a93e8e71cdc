// zel-server's options for sessions and token issuers, kept apart from the
// server's other options.
#pragma once

#include <ZelSample/Service.h>

#include <ostream>
#include <string>

namespace ZelServer {

// Reads the option at argv[i] (and its value, advancing i) into settings when
// it is one of these; true when it was. Throws std::invalid_argument, saying
// why, for a bad value (an unreadable key file included).
bool ParseSessionOption(int& i, int argc, char** argv, ZelSample::ServiceSettings& settings);
// Completes settings after parsing: no --trust-key means the demo issuer.
void FinishSessionOptions(ZelSample::ServiceSettings& settings);
void PrintSessionUsage(std::ostream& out);
// One line per trusted issuer key, for the start-up message.
void PrintTrustedIssuers(const ZelSample::ServiceSettings& settings, std::ostream& out);

}  // namespace ZelServer
