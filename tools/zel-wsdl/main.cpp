// zel-wsdl: writes the WSDL and the XML Schema of the API, for one version,
// for every version of the API, or for each version, into a directory.
//
//   zel-wsdl [--api NS] [--api-version V | --every-version] [--location URL] --out DIR
//
// Files: <version>.wsdl and <version>.xsd ("zel.version.version14.wsdl"),
// or <ns>.wsdl and <ns>.xsd for every version at once ("zel.wsdl"). Each
// WSDL includes its schema from the file beside it.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wsdl.h>
#include <ZelCommandLine/Program.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Job {
  std::string version;  // empty: every version at once
  std::string stem;     // file name without extension
};

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
  std::string ns = "zel";
  std::string versionText;
  std::string location = "http://127.0.0.1/zel";
  std::string outDir;
  bool every = false;
  ZelCommandLine::Program program(
      "zel-wsdl", ZEL_VERSION,
      "Writes the WSDL and the XML Schema of the API, for one version, for every version at\n"
      "once, or for each version, into a directory: VERSION.wsdl and VERSION.xsd\n"
      "(zel.version.version14.wsdl), or NS.wsdl and NS.xsd for every version at once.\n"
      "Each WSDL includes its schema from the file beside it.");
  CLI::App& app = program.App();
  app.add_option("--api", ns, "the API namespace (default: zel)")->type_name("NS");
  CLI::Option* version =
      app.add_option("--api-version", versionText,
                     "one version: its full name, short name or id (version2, "
                     "zel.version.version2, 2.0), or 'all' for every version at once "
                     "(default: the newest numbered version)")
          ->type_name("V");
  app.add_flag("--every-version", every, "each version of the API, and every version at once")
      ->excludes(version);
  app.add_option("--location", location,
                 "the service address the WSDL names (default: http://127.0.0.1/zel)")
      ->type_name("URL");
  app.add_option("--out", outDir, "the directory to write to (made when missing)")
      ->type_name("DIR")
      ->required();
  program.AddManSection("exit status",
                        "0 the files were written, 1 they could not be, 2 bad usage or an "
                        "unknown version.");
  program.AddManSection("example", " zel-wsdl --every-version --out wsdl/");
  if (int status = program.Parse(argc, argv); status >= 0) return status;

  Lumo::StartRuntime();
  std::vector<Job> jobs;
  if (every || versionText == "all") jobs.push_back(Job{"", ns});
  if (every) {
    for (const Lumo::Wire::ApiVersion& v : Lumo::Wire::ListApiVersions()) {
      if (v.ns == ns) jobs.push_back(Job{v.name, v.name});
    }
  } else if (versionText != "all") {
    std::string version = versionText.empty() ? Lumo::Wire::DefaultApiVersion(ns)
                                              : Lumo::Wire::ResolveApiVersion(ns, versionText);
    if (version.empty()) {
      return program.UsageError("no version '" + versionText + "' of the API '" + ns + "'");
    }
    jobs.push_back(Job{version, version});
  }
  try {
    std::filesystem::create_directories(outDir);
    for (const Job& job : jobs) {
      Lumo::Wire::WsdlOptions options;
      options.version = job.version;
      options.ns = ns;
      options.location = location;
      options.schemaLocation = job.stem + ".xsd";
      Lumo::Wire::WsdlDocuments documents = Lumo::Wire::MakeWsdl(options);
      std::filesystem::path dir(outDir);
      WriteFile(dir / (job.stem + ".wsdl"), documents.wsdl);
      WriteFile(dir / (job.stem + ".xsd"), documents.schema);
      std::cout << (dir / (job.stem + ".wsdl")).string() << ": "
                << (job.version.empty() ? "every version" : job.version) << ", "
                << documents.operationCount << " operations, " << documents.typeCount
                << " schema types, " << documents.wsdl.size() << " + " << documents.schema.size()
                << " bytes\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "zel-wsdl: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
