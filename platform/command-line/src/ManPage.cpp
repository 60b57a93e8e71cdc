#include <ZelCommandLine/Program.h>

#include <algorithm>
#include <sstream>

namespace ZelCommandLine {

namespace {

// Text as roff reads it literally: backslashes and hyphens escaped, a line
// that would start with a request protected.
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

std::string ProtectLine(const std::string& line) {
  std::string escaped = Escape(line);
  if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'')) escaped = "\\&" + escaped;
  return escaped;
}

// Plain text: paragraphs apart by blank lines, lines that start with a
// space kept as they are (examples, tables).
void Paragraphs(const std::string& text, std::ostream& out) {
  std::istringstream lines(text);
  std::string line;
  bool verbatim = false;
  bool pending = false;  // a paragraph break is due
  while (std::getline(lines, line)) {
    if (line.empty()) {
      pending = true;
      continue;
    }
    bool literal = line[0] == ' ';
    if (literal != verbatim) {
      out << (literal ? ".PP\n.nf\n" : ".fi\n.PP\n");
      verbatim = literal;
      pending = false;
    } else if (pending) {
      out << (verbatim ? "\n" : ".PP\n");
      pending = false;
    }
    out << ProtectLine(line) << "\n";
  }
  if (verbatim) out << ".fi\n";
}

// The options of app; a command's help option is the program's, told once.
void Options(const CLI::App& app, bool withHelp, std::ostream& out) {
  for (const OptionView& option : VisibleOptions(app)) {
    bool help = std::find(option.names.begin(), option.names.end(), "--help") != option.names.end();
    if (help && !withHelp) continue;
    out << ".TP\n";
    for (size_t i = 0; i < option.names.size(); ++i) {
      out << (i ? ", " : "") << "\\fB" << Escape(option.names[i]) << "\\fR";
    }
    if (!option.value.empty()) out << " \\fI" << Escape(option.value) << "\\fR";
    out << "\n"
        << ProtectLine(option.description) << (option.required ? " (required)" : "") << "\n";
  }
}

std::string Synopsis(const std::string& path, const CLI::App& app) {
  std::string line = "\\fB" + Escape(path) + "\\fR";
  if (!VisibleOptions(app).empty()) line += " [\\fIOPTIONS\\fR]";
  std::string positional = PositionalSynopsis(app);
  if (!positional.empty()) line += " \\fI" + Escape(positional) + "\\fR";
  return line;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string ManPage(const Program& program) {
  const CLI::App& app = program.App();
  const std::string name = app.get_name();
  std::ostringstream out;
  // The first sentence, or what comes before a colon, in one line.
  std::string summary = app.get_description();
  std::replace(summary.begin(), summary.end(), '\n', ' ');
  summary = summary.substr(0, std::min(summary.find(". "), summary.find(':')));
  if (!summary.empty() && summary.back() == '.') summary.pop_back();
  out << ".TH " << Upper(Escape(name)) << " 1 \"\" \"" << Escape(name) << " "
      << Escape(program.GetVersion()) << "\" \"User Commands\"\n";
  out << ".SH NAME\n" << Escape(name) << " \\- " << Escape(summary) << "\n";
  std::vector<const CLI::App*> commands = VisibleCommands(app);
  out << ".SH SYNOPSIS\n";
  if (commands.empty()) {
    out << Synopsis(name, app) << "\n";
  } else {
    for (const CLI::App* command : commands) {
      out << Synopsis(name + " " + command->get_name(), *command) << "\n.br\n";
    }
    out << "\\fB" << Escape(name) << "\\fR \\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR\n";
  }
  out << ".SH DESCRIPTION\n";
  Paragraphs(app.get_description(), out);
  out << ".SH OPTIONS\n";
  Options(app, true, out);
  if (!commands.empty()) {
    out << ".SH COMMANDS\n";
    for (const CLI::App* command : commands) {
      out << ".SS \"" << Escape(name + " " + command->get_name()) << "\"\n";
      Paragraphs(command->get_description(), out);
      Options(*command, false, out);
      if (!command->get_footer().empty()) Paragraphs(command->get_footer(), out);
    }
  }
  for (const auto& [title, text] : program.GetManSections()) {
    out << ".SH " << Upper(Escape(title)) << "\n";
    Paragraphs(text, out);
  }
  return out.str();
}

}  // namespace ZelCommandLine
