#include <ZelCommandLine/Program.h>

#include <cctype>
#include <cstring>

namespace ZelCommandLine {

namespace {

// CLI11's messages in one line, starting in lower case as the programs'
// own messages do.
std::string OneLine(std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  if (message.size() > 1 && std::isupper(static_cast<unsigned char>(message[0])) &&
      !std::isupper(static_cast<unsigned char>(message[1]))) {
    message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
  }
  return message;
}

}  // namespace

Program::Program(std::string name, std::string version, std::string description)
    : _app(std::move(description), name), _name(std::move(name)), _version(std::move(version)) {
  _app.set_help_flag("-h,--help", "print this help and exit");
  _app.set_version_flag("--version", _name + " " + _version, "print the version and exit");
  _app.get_formatter()->label("Usage", "usage");
  _app.get_formatter()->column_width(34);
}

void Program::AddManSection(std::string title, std::string text) {
  _manSections.emplace_back(std::move(title), std::move(text));
}

std::string Program::CommandPath() const {
  std::string path = _name;
  const CLI::App* command = &_app;
  for (;;) {
    std::vector<const CLI::App*> parsed =
        command->get_subcommands([](const CLI::App* sub) { return sub->parsed(); });
    if (parsed.empty()) break;
    command = parsed.front();
    path += " " + command->get_name();
  }
  return path;
}

int Program::UsageError(const std::string& message, std::ostream& err) const {
  std::string path = CommandPath();
  err << path << ": " << OneLine(message) << "; see '" << path << " --help'" << std::endl;
  return kUsageStatus;
}

int Program::Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  // The build's generators come first and alone, whatever else is required.
  if (argc >= 2 && std::strcmp(argv[1], "--generate-man") == 0) {
    out << ManPage(*this);
    return 0;
  }
  if (argc >= 2 && std::strncmp(argv[1], "--generate-completion", 21) == 0) {
    std::string shell = argv[1][21] == '=' ? argv[1] + 22 : (argc >= 3 ? argv[2] : "");
    if (shell == "bash") return out << BashCompletion(*this), 0;
    if (shell == "zsh") return out << ZshCompletion(*this), 0;
    return UsageError("--generate-completion takes bash or zsh", err);
  }
  _app.clear();  // what an earlier parse left
  // A program of commands names them when none or an unknown one is given.
  std::vector<const CLI::App*> commands = VisibleCommands(_app);
  if (!commands.empty()) {
    std::string names;
    bool known = false;
    for (const CLI::App* command : commands) {
      names += (names.empty() ? "" : ", ") + command->get_name();
      known |= argc >= 2 && command->get_name() == argv[1];
    }
    if (argc < 2) return UsageError("no command given (one of: " + names + ")", err);
    if (!known && argv[1][0] != '-') {
      return UsageError(std::string("unknown command ") + argv[1] + " (one of: " + names + ")",
                        err);
    }
  }
  try {
    _app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return _app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return _app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return _app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    return UsageError(e.what(), err);
  }
  return -1;
}

}  // namespace ZelCommandLine
