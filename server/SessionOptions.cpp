#include "SessionOptions.h"

#include <ZelSample/IssuerKeys.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace ZelServer {

namespace {

long long Number(int& i, int argc, char** argv, long long min, long long max) {
  std::string option = argv[i];
  if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
  const char* text = argv[++i];
  char* end = nullptr;
  long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || value < min || value > max) {
    throw std::invalid_argument(option + " takes a whole number from " + std::to_string(min) +
                                " to " + std::to_string(max) + ", not \"" + text + "\"");
  }
  return value;
}

// The keys given so far with --trust-key; the service settings share them.
std::shared_ptr<ZelSample::TrustedIssuers>& GivenKeys() {
  static std::shared_ptr<ZelSample::TrustedIssuers> keys;
  return keys;
}

}  // namespace

bool ParseSessionOption(int& i, int argc, char** argv, ZelSample::ServiceSettings& settings) {
  std::string option = argv[i];
  if (option == "--max-sessions") {
    settings.sessions.maxSessions = static_cast<size_t>(Number(i, argc, argv, 1, 10000000));
  } else if (option == "--max-sessions-per-user") {
    settings.sessions.maxSessionsPerUser = static_cast<size_t>(Number(i, argc, argv, 1, 1000000));
  } else if (option == "--session-idle") {
    settings.sessions.idleTimeout = std::chrono::seconds(Number(i, argc, argv, 1, 30 * 86400));
  } else if (option == "--max-token-lifetime") {
    settings.sessions.maxTokenLifetime =
        std::chrono::seconds(Number(i, argc, argv, 1, 366 * 86400));
  } else if (option == "--trust-key") {
    if (i + 1 >= argc) throw std::invalid_argument("--trust-key needs a public key file");
    auto& keys = GivenKeys();
    if (!keys) keys = std::make_shared<ZelSample::TrustedIssuers>();
    keys->Add(ZelSample::IssuerPublicKey::FromFile(argv[++i]));
    settings.trustedIssuers = keys;
  } else {
    return false;
  }
  return true;
}

void FinishSessionOptions(ZelSample::ServiceSettings& settings) {
  if (!settings.trustedIssuers) settings.trustedIssuers = ZelSample::DemoTrustedIssuers();
}

void PrintSessionUsage(std::ostream& out) {
  out << "  --trust-key FILE   trust the token issuer of this Ed25519 public key (PEM);\n"
         "                     repeatable; default: the DEMO issuer, whose private key is\n"
         "                     published with the source (anyone can log in)\n"
         "  --max-token-lifetime SECONDS\n"
         "                     refuse tokens valid for longer from issue to expiry\n"
         "                     (default 86400)\n"
         "  --max-sessions N   sessions held at once (default 1024); a login beyond ends the\n"
         "                     least recently used session of the user who holds the most\n"
         "  --max-sessions-per-user N\n"
         "                     sessions of one user (default 16); a user's extra login ends\n"
         "                     that user's least recently used session\n"
         "  --session-idle SECONDS\n"
         "                     a session unused this long ends (default 1800)\n";
}

void PrintTrustedIssuers(const ZelSample::ServiceSettings& settings, std::ostream& out) {
  const std::string demo = ZelSample::DemoIssuerPublicKey().GetFingerprint();
  for (const std::string& fingerprint : settings.trustedIssuers->GetFingerprints()) {
    out << "zel-server: trusting tokens signed by the issuer key " << fingerprint;
    if (fingerprint == demo) out << " (the DEMO issuer: for demonstrations only)";
    out << "\n";
  }
}

}  // namespace ZelServer
