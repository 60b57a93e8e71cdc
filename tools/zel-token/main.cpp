// zel-token: mints a delegated token that the sample service accepts at
// loginByToken (format: ZelSample/Token.h), signed with an issuer's key.
//
//   zel-token --subject USER [--privilege P]... [--lifetime SECONDS]
//             [--key ISSUER-PRIVATE-KEY.pem] [--issuer NAME] [--out FILE]
//
// Without --key the token is signed by the DEMO issuer, which zel-server
// trusts unless it is given --trust-key.
#include <ZelCommandLine/Program.h>
#include <ZelSample/Token.h>

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  ZelSample::DelegatedToken token;
  std::string keyFile;
  std::string outFile;
  long long lifetime = ZelSample::kDefaultTokenLifetimeSeconds;
  std::vector<std::string> privileges;

  ZelCommandLine::Program program(
      "zel-token", ZEL_VERSION,
      "Writes a signed delegated token for zel.auth.SessionManager.loginByToken.");
  CLI::App& app = program.App();
  app.add_option("--subject", token.subject, "the user the token logs in")
      ->type_name("USER")
      ->required();
  app.add_option("--privilege", privileges,
                 "a privilege it grants (StorageProfile.View, StorageProfile.Update); "
                 "repeatable; none: all of them")
      ->type_name("P")
      ->allow_extra_args(false);
  app.add_option("--lifetime", lifetime, "valid from now for this long (default 3600)")
      ->type_name("SECONDS")
      ->check(CLI::Range(1LL, 366LL * 86400).description(""));
  app.add_option("--key", keyFile,
                 "the issuer's Ed25519 private key (PEM); default: the DEMO issuer's key, "
                 "published with the source")
      ->type_name("FILE");
  app.add_option(
         "--issuer", token.issuer,
         std::string("the issuer's name in the token (default ") + ZelSample::kTokenIssuer + ")")
      ->type_name("NAME");
  app.add_option("--out", outFile, "write the token there instead of to standard output")
      ->type_name("FILE");
  program.AddManSection("exit status",
                        "0 the token was written, 1 it could not be (an unreadable "
                        "key, an unwritable file), 2 bad usage.");
  program.AddManSection("example",
                        " zel-token --subject alice --privilege StorageProfile.View --out "
                        "alice.token\n zel call --url http://127.0.0.1:8080/zel --token "
                        "alice.token ServiceInstance retrieveContent");
  if (int status = program.Parse(argc, argv); status >= 0) return status;
  token.privileges.insert(privileges.begin(), privileges.end());
  if (token.subject.empty()) return program.UsageError("--subject is empty");

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
