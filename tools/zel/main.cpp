// zel: a command-line client for the whole zel API, driven only by the
// runtime's description records, so it serves any type library loaded.
//
//   zel types [PATTERN]       zel describe NAME       zel wsdl
//   zel call --url URL [--token FILE] [--xml | --json] [--wire] [--api-version V]
//            OBJECT METHOD [NAME=VALUE ... | -d JSON]
//
// README.md beside this file tells the argument syntax.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wsdl.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Call.h"
#include "Describe.h"
#include "JsonData.h"
#include "Records.h"

namespace {

constexpr char kUsage[] =
    "usage: zel COMMAND [OPTIONS] [ARGUMENTS]\n"
    "A client for the zel API, driven by the description records of the loaded\n"
    "type libraries.\n"
    "commands:\n"
    "  types [PATTERN]   list the types whose wire or WSDL name matches PATTERN\n"
    "  describe NAME     a type's properties, or a method's parameters, result,\n"
    "                    privilege and faults\n"
    "  wsdl              the WSDL of the API\n"
    "  call              call a method of a running service\n"
    "zel COMMAND --help tells more; zel --version gives the version.\n";

constexpr char kTypesUsage[] =
    "usage: zel types [PATTERN]\n"
    "Lists the types (kind, wire name, WSDL name, version) whose wire or WSDL\n"
    "name matches the shell pattern PATTERN (default \"*\"), e.g.\n"
    "  zel types 'zel.fault.*'     zel types '*Profile*'\n"
    "Exits 1 when nothing matches.\n";

constexpr char kDescribeUsage[] =
    "usage: zel describe NAME\n"
    "NAME is a type (wire or WSDL name: zel.profile.ProfileId, ZelProfileId) or a\n"
    "method or property of a managed type: zel.profile.ProfileManager.create,\n"
    "ProfileManager.create, or create when one type alone has it.\n"
    "A type: its kind, base, version and properties (type, [] for arrays,\n"
    "required or optional, the version each came with). A managed type: its\n"
    "methods. A method: parameters, result, privilege, declared faults, flags.\n";

constexpr char kWsdlUsage[] =
    "usage: zel wsdl [--api NS] [--api-version V] [--location URL]\n"
    "Prints the WSDL of an API version (the newest numbered one by default; V is\n"
    "a full or short version name, a version id, or \"all\"), its schema inline,\n"
    "made from the description records. NS defaults to \"zel\".\n";

constexpr char kCallUsage[] =
    "usage: zel call --url URL [--token FILE] [--xml | --json] [--wire] [--api-version V]\n"
    "                [--service-instance ID] OBJECT METHOD [NAME=VALUE ... | -d JSON]\n"
    "Calls METHOD on OBJECT at the service at URL (http://127.0.0.1:PORT/zel)\n"
    "and prints the answer.\n"
    "  OBJECT                 ID or TYPE:ID of a managed object; with ID alone the\n"
    "                         type is the managed type whose name ends in ID\n"
    "                         (ProfileManager: zel.profile.ProfileManager)\n"
    "  --token FILE           log in first with the delegated token in FILE\n"
    "                         (e.g. made by zel-token)\n"
    "  --xml                  print the answer as XML instead of an outline\n"
    "  --json                 print the answer as JSON (a fault as {\"fault\": ...})\n"
    "  -d JSON, -d @FILE, -d @-\n"
    "                         the arguments as one JSON object, parameter name ->\n"
    "                         value, inline, from FILE or from the standard input\n"
    "  --wire                 print every request and response message\n"
    "  --api-version V        speak version V (version2, zel.version.version2, 2.0)\n"
    "  --service-instance ID  the service instance's id (default ServiceInstance)\n"
    "Arguments, by parameter name:\n"
    "  name=text              a string, number, boolean, enumeration value, or the\n"
    "                         id of a managed object (TYPE:ID for another type)\n"
    "  name.prop.sub=text     a property of a data object, at any depth\n"
    "  name.list[0].prop=x    an array element by index; name[]=x appends one\n"
    "  name@type=TYPE         the actual type of the value (a subtype; xsd:int...\n"
    "                         for anyType values)\n"
    "  name='<a>..</a>'       the value's content as XML, as on the wire\n"
    "  name=@FILE             the value (text or XML) read from FILE\n"
    "Example:\n"
    "  zel call --url URL --token alice.token ProfileManager queryProfile \\\n"
    "      resourceType.resourceType=STORAGE\n"
    "  zel call --url URL --token alice.token --json ProfileManager queryProfile \\\n"
    "      -d '{\"resourceType\": {\"resourceType\": \"STORAGE\"}}'\n"
    "Exit status: 0 answered, 1 the service answered with a fault, 2 bad usage,\n"
    "3 the call failed (no connection, unreadable answer).\n";

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int Usage(const char* usage, const std::string& problem) {
  std::cerr << "zel: " << problem << "\n" << usage;
  return 2;
}

int Types(const std::vector<std::string>& args) {
  if (WantsHelp(args)) return std::cout << kTypesUsage, 0;
  if (args.size() > 1) return Usage(kTypesUsage, "too many arguments");
  return ZelCli::ListTypes(args.empty() ? "*" : args[0], std::cout) > 0 ? 0 : 1;
}

int Describe(const std::vector<std::string>& args) {
  if (WantsHelp(args)) return std::cout << kDescribeUsage, 0;
  if (args.size() != 1) return Usage(kDescribeUsage, "describe takes one NAME");
  std::string error;
  if (!ZelCli::Describe(args[0], std::cout, error)) {
    std::cerr << "zel describe: " << error << "\n";
    return 1;
  }
  return 0;
}

int Wsdl(const std::vector<std::string>& args) {
  if (WantsHelp(args)) return std::cout << kWsdlUsage, 0;
  Lumo::Wire::WsdlOptions options;
  options.ns = "zel";
  std::string version;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return Usage(kWsdlUsage, args[i] + " needs a value");
    if (args[i] == "--api") {
      options.ns = args[++i];
    } else if (args[i] == "--api-version") {
      version = args[++i];
    } else if (args[i] == "--location") {
      options.location = args[++i];
    } else {
      return Usage(kWsdlUsage, "unknown argument " + args[i]);
    }
  }
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

int Call(const std::vector<std::string>& args) {
  if (WantsHelp(args)) return std::cout << kCallUsage, 0;
  ZelCli::CallOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool hasValue = i + 1 < args.size();
    if (arg == "--url" && hasValue) {
      options.url = args[++i];
    } else if (arg == "--token" && hasValue) {
      options.tokenFile = args[++i];
    } else if (arg == "--service-instance" && hasValue) {
      options.serviceInstance = args[++i];
    } else if (arg == "--api-version" && hasValue) {
      options.version = ZelCli::ResolveVersion(args[++i]);
      if (options.version.empty()) {
        std::string known;
        for (const auto& [name, id] : ZelCli::KnownVersions())
          known += " " + name + " (" + id + ")";
        return Usage(kCallUsage, "unknown API version " + args[i] + "; known:" + known);
      }
    } else if ((arg == "-d" || arg == "--data") && hasValue) {
      try {
        options.jsonArguments = ZelCli::ReadDataOption(args[++i], std::cin);
      } catch (const std::invalid_argument& e) {
        return Usage(kCallUsage, e.what());
      }
      options.hasJsonArguments = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--xml") {
      options.xml = true;
    } else if (arg == "--wire") {
      options.wire = true;
    } else if (arg.rfind("--", 0) == 0) {
      return Usage(kCallUsage, "unknown option or missing value: " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (options.url.empty()) return Usage(kCallUsage, "--url is required");
  if (positional.size() < 2) return Usage(kCallUsage, "OBJECT and METHOD are required");
  options.object = positional[0];
  options.method = positional[1];
  options.assignments.assign(positional.begin() + 2, positional.end());
  if (options.hasJsonArguments && !options.assignments.empty()) {
    return Usage(kCallUsage, "give the arguments either with -d or as NAME=VALUE, not both");
  }
  if (options.json && options.xml) return Usage(kCallUsage, "--json and --xml exclude each other");
  return ZelCli::RunCall(options, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage(kUsage, "no command given");
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") return std::cout << kUsage, 0;
  if (command == "--version") {
    std::cout << "zel " << ZEL_VERSION << "\n";
    return 0;
  }
  static const std::map<std::string, std::function<int(const std::vector<std::string>&)>>
      kCommands = {{"types", Types}, {"describe", Describe}, {"wsdl", Wsdl}, {"call", Call}};
  auto found = kCommands.find(command);
  if (found == kCommands.end()) return Usage(kUsage, "unknown command " + command);
  Lumo::StartRuntime();
  return found->second(args);
}
