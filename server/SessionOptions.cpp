#include "SessionOptions.h"

#include <ZelSample/IssuerKeys.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace ZelServer {

namespace {

// A whole number option from min to max, stored by apply.
template <class Apply>
void AddNumber(CLI::App& app, const char* name, const char* value, const std::string& help,
               long long min, long long max, Apply apply) {
  app.add_option_function<std::string>(
         name,
         [=](const std::string& text) {
           char* end = nullptr;
           long long number = std::strtoll(text.c_str(), &end, 10);
           if (text.empty() || *end != '\0' || number < min || number > max) {
             throw CLI::ValidationError(std::string(name) + " takes a whole number from " +
                                        std::to_string(min) + " to " + std::to_string(max) +
                                        ", not \"" + text + "\"");
           }
           apply(number);
         },
         help)
      ->type_name(value);
}

}  // namespace

void AddSessionOptions(CLI::App& app, ZelSample::ServiceSettings& settings) {
  app.add_option_function<std::vector<std::string>>(
         "--trust-key",
         [&settings](const std::vector<std::string>& files) {
           auto keys = std::make_shared<ZelSample::TrustedIssuers>();
           try {
             for (const std::string& file : files) {
               keys->Add(ZelSample::IssuerPublicKey::FromFile(file));
             }
           } catch (const std::exception& e) {
             throw CLI::ValidationError(std::string("--trust-key: ") + e.what());
           }
           settings.trustedIssuers = keys;
         },
         "trust the token issuer of this Ed25519 public key (PEM); repeatable; default: the "
         "DEMO issuer, whose private key is published with the source (anyone can log in)")
      ->type_name("FILE")
      ->allow_extra_args(false);
  AddNumber(
      app, "--max-token-lifetime", "SECONDS",
      "refuse tokens valid for longer from issue to expiry (default 86400)", 1, 366 * 86400,
      [&settings](long long n) { settings.sessions.maxTokenLifetime = std::chrono::seconds(n); });
  AddNumber(app, "--max-sessions", "N",
            "sessions held at once (default 1024); a login beyond ends the least recently used "
            "session of the user who holds the most",
            1, 10000000,
            [&settings](long long n) { settings.sessions.maxSessions = static_cast<size_t>(n); });
  AddNumber(app, "--max-sessions-per-user", "N",
            "sessions of one user (default 16); a user's extra login ends that user's least "
            "recently used session",
            1, 1000000, [&settings](long long n) {
              settings.sessions.maxSessionsPerUser = static_cast<size_t>(n);
            });
  AddNumber(app, "--session-idle", "SECONDS", "a session unused this long ends (default 1800)", 1,
            30 * 86400,
            [&settings](long long n) { settings.sessions.idleTimeout = std::chrono::seconds(n); });
}

void FinishSessionOptions(ZelSample::ServiceSettings& settings) {
  if (!settings.trustedIssuers) settings.trustedIssuers = ZelSample::DemoTrustedIssuers();
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
