// zel: a command-line client for the whole zel API, driven only by the
// runtime's description records, so it serves any type library loaded.
//
//   zel types [PATTERN]    zel describe NAME    zel template METHOD    zel wsdl
//   zel call --url URL [--token FILE] [-d BODY] OBJECT METHOD [NAME=VALUE ...]
//
// README.md beside this file tells the argument syntax.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wsdl.h>
#include <ZelCommandLine/Program.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "Call.h"
#include "Describe.h"
#include "Records.h"
#include "Template.h"

namespace {

constexpr char kArgumentsHelp[] =
    "Arguments, by parameter name:\n"
    "  name=text              a string, number, boolean, enumeration value, or the\n"
    "                         id of a managed object (TYPE:ID for another type)\n"
    "  name.prop.sub=text     a property of a data object, at any depth\n"
    "  name.list[0].prop=x    an array element by index; name[]=x appends one\n"
    "  name@type=TYPE         the actual type of the value (a subtype; xsd:int...\n"
    "                         for anyType values)\n"
    "  name='<a>..</a>'       the value's content as XML, as on the wire\n"
    "  name=@FILE             the value (text or XML) read from FILE; @- reads\n"
    "                         standard input\n"
    "-d gives parameters as XML instead: their elements as the method's element\n"
    "holds them (<createSpec>...</createSpec>), alone or inside that element;\n"
    "zel template METHOD prints a skeleton of the arguments.\n"
    "Example:\n"
    "  zel call --url URL --token alice.token ProfileManager queryProfile \\\n"
    "      resourceType.resourceType=STORAGE\n"
    "Exit status: 0 answered, 1 the service answered with a fault, 2 bad usage\n"
    "(a missing file included), 3 the call failed (no connection, a refused\n"
    "certificate, no answer in time, an unreadable answer).";

struct Settings {
  std::string pattern = "*";
  std::string name;
  int depth = 1;
  int templateDepth = 6;
  std::string wsdlNamespace = "zel";
  std::string wsdlVersion;
  std::string wsdlLocation;
  std::string apiVersion;
  double timeoutSeconds = 0;
  bool xml = false;
  ZelCli::CallOptions call;
};

void AddCommands(ZelCommandLine::Program& program, Settings& s) {
  CLI::App& app = program.App();
  app.require_subcommand(1);

  CLI::App* types =
      app.add_subcommand("types", "list the types whose wire or WSDL name matches PATTERN");
  types->description(
      "List the types (kind, wire name, WSDL name, version) whose wire or WSDL name\n"
      "matches the shell pattern PATTERN (default \"*\"), e.g. 'zel.fault.*' or\n"
      "'*Profile*'. Exits 1 when nothing matches.");
  types->add_option("PATTERN", s.pattern, "a shell pattern (default *)");

  CLI::App* describe = app.add_subcommand("describe", "describe a type or a method");
  describe->description(
      "A type's properties, or a method's parameters, result, privilege, faults and\n"
      "flags. NAME is a type (zel.profile.ProfileId, ZelProfileId or ProfileId), or a\n"
      "method: zel.profile.ProfileManager.create, ProfileManager.create, or create when\n"
      "one type alone has it. Each property or parameter shows its type ([] for\n"
      "arrays), required or optional, the version it came with and, for a string\n"
      "holding an enumeration's values, those values.");
  describe->add_option("NAME", s.name, "a type or a method")->required();
  describe
      ->add_option("--depth", s.depth,
                   "levels of nested data objects shown (default 1: the properties or "
                   "parameters alone)")
      ->type_name("N")
      ->check(CLI::Range(1, 16).description(""));

  CLI::App* skeleton = app.add_subcommand(
      "template", "print a skeleton of a method's arguments, to fill in for zel call");
  skeleton->description(
      "Prints the arguments of METHOD (any name, as describe takes it) as key-path\n"
      "assignments for zel call, with placeholder values by type: data objects\n"
      "opened one level of nesting at a time, arrays as [0], optional values and\n"
      "subtypes in comments.");
  skeleton->add_option("METHOD", s.name, "a method")->required();
  skeleton->add_option("--depth", s.templateDepth, "levels of data objects opened (default 6)")
      ->type_name("N")
      ->check(CLI::Range(1, 16).description(""));

  CLI::App* wsdl = app.add_subcommand("wsdl", "print the WSDL of the API");
  wsdl->description(
      "Prints the WSDL of an API version (the newest numbered one by default), its\n"
      "schema inline, made from the description records.");
  wsdl->add_option("--api", s.wsdlNamespace, "the API namespace (default zel)")->type_name("NS");
  wsdl->add_option("--api-version", s.wsdlVersion,
                   "a full or short version name, a version id, or \"all\"")
      ->type_name("V");
  wsdl->add_option("--location", s.wsdlLocation, "the service address the WSDL names")
      ->type_name("URL");

  CLI::App* call = app.add_subcommand("call", "call a method of a running service");
  call->description(
      "Calls METHOD on OBJECT at the service at URL (http://127.0.0.1:PORT/zel or\n"
      "https://...) and prints the answer. OBJECT is ID or TYPE:ID of a managed\n"
      "object; with ID alone the type is the managed type whose name ends in ID\n"
      "(ProfileManager: zel.profile.ProfileManager).");
  call->footer(kArgumentsHelp);
  ZelCli::CallOptions& o = s.call;
  call->add_option("--url", o.url, "the service's address")->type_name("URL")->required();
  call->add_option("--token", o.tokenFile,
                   "log in first with the delegated token in FILE (e.g. made by zel-token)")
      ->type_name("FILE");
  call->add_option("-d,--data", o.data,
                   "the request's parameters as XML: @FILE, @- for standard input, or the "
                   "XML itself")
      ->type_name("BODY");
  call->add_flag("--xml", s.xml, "print the answer as XML instead of an outline");
  call->add_flag("--wire", o.wire, "print every request and response, with their headers");
  call->add_option("--api-version", s.apiVersion,
                   "speak version V (version2, zel.version.version2, 2.0)")
      ->type_name("V");
  call->add_option("--service-instance", o.serviceInstance,
                   "the service instance's id (default ServiceInstance)")
      ->type_name("ID");
  call->add_option("--cacert", o.caCertificateFile,
                   "https: trust the PEM certificates in FILE (a private CA, a server's own) "
                   "instead of the system's")
      ->type_name("FILE");
  call->add_flag("--insecure", o.insecure,
                 "https: accept any certificate (encrypted, but the server is not "
                 "authenticated)");
  call->add_option("-H,--header", o.headers, "send this HTTP header with every request; repeatable")
      ->type_name("'NAME: VALUE'")
      ->allow_extra_args(false);
  call->add_option("--timeout", s.timeoutSeconds,
                   "the longest connecting and each call may take, in seconds (default: 2 to "
                   "connect, 15 for a call)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.001, 86400.0).description(""));
  call->add_option("OBJECT", o.object, "ID or TYPE:ID of a managed object")->required();
  call->add_option("METHOD", o.method, "a method or property of its type")->required();
  call->add_option("ARGUMENT", o.assignments, "NAME=VALUE assignments");
  program.AddManSection("arguments", kArgumentsHelp);
  program.AddManSection("environment",
                        "SSL_CERT_FILE, SSL_CERT_DIR: where OpenSSL finds the system's trusted "
                        "certificates; --cacert FILE names a file instead.");
}

int Types(const Settings& s) { return ZelCli::ListTypes(s.pattern, std::cout) > 0 ? 0 : 1; }

int Describe(const Settings& s) {
  std::string error;
  if (!ZelCli::Describe(s.name, s.depth, std::cout, error)) {
    std::cerr << "zel describe: " << error << "\n";
    return 1;
  }
  return 0;
}

int Template(const Settings& s) {
  std::string error;
  if (!ZelCli::WriteTemplate(s.name, s.templateDepth, std::cout, error)) {
    std::cerr << "zel template: " << error << "\n";
    return 1;
  }
  return 0;
}

int Wsdl(const Settings& s) {
  Lumo::Wire::WsdlOptions options;
  options.ns = s.wsdlNamespace;
  options.location = s.wsdlLocation;
  std::string version = s.wsdlVersion;
  if (version.empty()) version = Lumo::Wire::DefaultApiVersion(options.ns);
  if (version != "all") {
    options.version = Lumo::Wire::ResolveApiVersion(options.ns, version);
    if (options.version.empty()) {
      std::cerr << "zel wsdl: no version \"" << version << "\" of the API \"" << options.ns
                << "\"\n";
      return 1;
    }
  }
  try {
    std::cout << Lumo::Wire::MakeWsdl(options).wsdl;
  } catch (const std::exception& e) {
    std::cerr << "zel wsdl: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

int Call(const ZelCommandLine::Program& program, Settings& s) {
  ZelCli::CallOptions& options = s.call;
  if (!s.apiVersion.empty()) {
    options.version = ZelCli::ResolveVersion(s.apiVersion);
    if (options.version.empty()) {
      std::string known;
      for (const auto& [name, id] : ZelCli::KnownVersions()) known += " " + name + " (" + id + ")";
      return program.UsageError("unknown API version " + s.apiVersion + "; known:" + known);
    }
  }
  if (options.insecure && !options.caCertificateFile.empty()) {
    return program.UsageError("--insecure checks no certificate, so takes no --cacert");
  }
  options.output =
      s.xml ? ZelCli::CallOptions::Output::kXml : ZelCli::CallOptions::Output::kOutline;
  options.timeout = std::chrono::milliseconds(std::llround(s.timeoutSeconds * 1000));
  return ZelCli::RunCall(options, std::cin, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  ZelCommandLine::Program program(
      "zel", ZEL_VERSION,
      "A client for the zel API, driven by the description records of the loaded\n"
      "type libraries: it lists and describes types and methods, prints the WSDL,\n"
      "and calls methods of a running service.");
  Settings settings;
  AddCommands(program, settings);
  if (int status = program.Parse(argc, argv); status >= 0) return status;
  Lumo::StartRuntime();
  const CLI::App& app = program.App();
  if (app.got_subcommand("types")) return Types(settings);
  if (app.got_subcommand("describe")) return Describe(settings);
  if (app.got_subcommand("template")) return Template(settings);
  if (app.got_subcommand("wsdl")) return Wsdl(settings);
  return Call(program, settings);
}
