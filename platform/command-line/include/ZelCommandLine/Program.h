// One command line for every program of the project, on CLI11: options in
// either form (--opt value, --opt=value), --help and --version alike, a usage
// error told in one line with the way to the help and exit status 2, and the
// manual page and shell completions made from the same description.
//
//   ZelCommandLine::Program program("zel-token", ZEL_VERSION, "Writes a token.");
//   program.App().add_option("--subject", subject, "the user")->required();
//   if (int status = program.Parse(argc, argv); status >= 0) return status;
//
// Every program also takes two hidden options that the build runs:
// --generate-man (the page in roff, on standard output) and
// --generate-completion bash|zsh.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace ZelCommandLine {

// Exit status of a usage error, in every program.
inline constexpr int kUsageStatus = 2;

class Program {
 public:
  Program(std::string name, std::string version, std::string description);

  CLI::App& App() { return _app; }
  const CLI::App& App() const { return _app; }
  const std::string& GetVersion() const { return _version; }

  // A section of the manual page after OPTIONS and COMMANDS ("EXIT STATUS",
  // "EXAMPLES"); the text is plain, paragraphs separated by blank lines,
  // lines starting with a space kept as they are.
  void AddManSection(std::string title, std::string text);
  const std::vector<std::pair<std::string, std::string>>& GetManSections() const {
    return _manSections;
  }

  // Parses the command line. Returns -1 when the program is to go on, or
  // the status to exit with after help, version, a generated page (0) or a
  // usage error (2, told in one line on standard error).
  int Parse(int argc, const char* const* argv, std::ostream& out = std::cout,
            std::ostream& err = std::cerr);

  // Tells a usage error found after parsing, in one line on err, naming the
  // (sub)command's help; returns 2.
  int UsageError(const std::string& message, std::ostream& err = std::cerr) const;

  // The words that name the command that was parsed: "zel call".
  std::string CommandPath() const;

 private:
  CLI::App _app;
  std::string _name;
  std::string _version;
  std::vector<std::pair<std::string, std::string>> _manSections;
  bool _generateMan = false;
  std::string _completionShell;
};

// The manual page (section 1, roff) of the program, from its options and
// commands.
std::string ManPage(const Program& program);
// A bash completion script (complete -F) and a zsh one (#compdef).
std::string BashCompletion(const Program& program);
std::string ZshCompletion(const Program& program);

// The options and commands as the generators see them: visible ones only.
struct OptionView {
  std::vector<std::string> names;  // "-H", "--header"
  std::string value;               // "FILE", "N"; empty for a flag
  std::string description;
  bool required = false;
  bool repeatable = false;  // may be given more than once
};
std::vector<OptionView> VisibleOptions(const CLI::App& app);
std::vector<const CLI::App*> VisibleCommands(const CLI::App& app);
// The positional arguments, as the usage line names them: "OBJECT METHOD [ARGUMENT...]".
std::string PositionalSynopsis(const CLI::App& app);

}  // namespace ZelCommandLine
