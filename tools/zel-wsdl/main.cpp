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

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

void Usage(std::ostream& out) {
  out << "usage: zel-wsdl [--api NS] [--api-version V | --every-version] [--location URL] "
         "--out DIR\n"
         "  --api NS           the API namespace (default: zel)\n"
         "  --api-version V    one version: its full name, short name or id (version2,\n"
         "                     zel.version.version2, 2.0), or 'all' for every version at\n"
         "                     once (default: the newest numbered version)\n"
         "  --every-version    each version of the API, and every version at once\n"
         "  --location URL     the service address the WSDL names\n"
         "                     (default: http://127.0.0.1/zel)\n"
         "  --out DIR          the directory to write to (made when missing)\n"
         "  --help             this text\n"
         "  --version          the program's version\n";
}

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
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--api" && hasValue) {
      ns = argv[++i];
    } else if (arg == "--api-version" && hasValue) {
      versionText = argv[++i];
    } else if (arg == "--every-version") {
      every = true;
    } else if (arg == "--location" && hasValue) {
      location = argv[++i];
    } else if (arg == "--out" && hasValue) {
      outDir = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      Usage(std::cout);
      return 0;
    } else if (arg == "--version") {
      std::cout << "zel-wsdl " << ZEL_VERSION << "\n";
      return 0;
    } else {
      std::cerr << "zel-wsdl: bad argument " << arg << "\n";
      Usage(std::cerr);
      return 2;
    }
  }
  if (outDir.empty() || (every && !versionText.empty())) {
    Usage(std::cerr);
    return 2;
  }

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
      std::cerr << "zel-wsdl: no version '" << versionText << "' of the API '" << ns << "'\n";
      return 2;
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
