// zel-token: mints a delegated token that the sample service accepts at
// loginByToken (format: ZelSample/Token.h), signed with an issuer's key.
//
//   zel-token --subject USER [--privilege P]... [--lifetime SECONDS]
//             [--key ISSUER-PRIVATE-KEY.pem] [--issuer NAME] [--out FILE]
//
// Without --key the token is signed by the DEMO issuer, which zel-server
// trusts unless it is given --trust-key.
#include <ZelSample/Token.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

void Usage(std::ostream& out) {
  out << "usage: zel-token --subject USER [--privilege P]... [--lifetime SECONDS]\n"
         "                 [--key FILE] [--issuer NAME] [--out FILE]\n"
         "Writes a signed delegated token for zel.auth.SessionManager.loginByToken.\n"
         "  --subject USER      the user the token logs in\n"
         "  --privilege P       a privilege it grants (StorageProfile.View,\n"
         "                      StorageProfile.Update); repeatable; none: all of them\n"
         "  --lifetime SECONDS  valid from now for this long (default 3600)\n"
         "  --key FILE          the issuer's Ed25519 private key (PEM); default: the\n"
         "                      DEMO issuer's key, published with the source\n"
         "  --issuer NAME       the issuer's name in the token (default "
      << ZelSample::kTokenIssuer
      << ")\n"
         "  --out FILE          write the token there instead of to standard output\n"
         "  --version, --help\n";
}

}  // namespace

int main(int argc, char** argv) {
  ZelSample::DelegatedToken token;
  std::string keyFile;
  std::string outFile;
  long long lifetime = ZelSample::kDefaultTokenLifetimeSeconds;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      Usage(std::cout);
      return 0;
    } else if (arg == "--version") {
      std::cout << "zel-token " << ZEL_VERSION << "\n";
      return 0;
    } else if (arg == "--subject" && hasValue) {
      token.subject = argv[++i];
    } else if (arg == "--privilege" && hasValue) {
      token.privileges.insert(argv[++i]);
    } else if (arg == "--issuer" && hasValue) {
      token.issuer = argv[++i];
    } else if (arg == "--key" && hasValue) {
      keyFile = argv[++i];
    } else if (arg == "--out" && hasValue) {
      outFile = argv[++i];
    } else if (arg == "--lifetime" && hasValue) {
      char* end = nullptr;
      lifetime = std::strtoll(argv[++i], &end, 10);
      if (*end != '\0' || lifetime <= 0 || lifetime > 366LL * 86400) {
        std::cerr << "zel-token: --lifetime takes 1 to 31622400 seconds\n";
        return 2;
      }
    } else {
      std::cerr << "zel-token: bad argument " << arg << "\n";
      Usage(std::cerr);
      return 2;
    }
  }
  if (token.subject.empty()) {
    std::cerr << "zel-token: --subject is required\n";
    Usage(std::cerr);
    return 2;
  }
  try {
    token.issuedAt = ZelSample::TokenClockNow();
    token.expires = token.issuedAt + lifetime;
    std::string xml =
        keyFile.empty()
            ? ZelSample::SignDelegatedToken(token, ZelSample::DemoIssuerPrivateKey())
            : ZelSample::SignDelegatedToken(token, ZelSample::IssuerPrivateKey::FromFile(keyFile));
    if (outFile.empty()) {
      std::cout << xml;
    } else {
      std::ofstream out(outFile, std::ios::binary | std::ios::trunc);
      out << xml;
      if (!out.flush()) throw std::runtime_error("cannot write " + outFile);
    }
  } catch (const std::exception& e) {
    std::cerr << "zel-token: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
