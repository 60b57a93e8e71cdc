#include <ZelCommandLine/Program.h>

#include <sstream>

namespace ZelCommandLine {

namespace {

// Values that name files: the shells complete file names after them.
bool TakesFile(const OptionView& option) {
  return option.value == "FILE" || option.value == "DIR" || option.value == "PATH";
}

std::string Join(const std::vector<std::string>& words, const char* separator) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

std::string FunctionName(const std::string& program) {
  std::string name = "_" + program;
  for (char& c : name) {
    if (c == '-' || c == '.') c = '_';
  }
  return name;
}

// One command's part of the bash function: file completion after options
// that take a file, nothing after other options with a value, else the
// command's words.
void BashCommand(const CLI::App& app, const std::vector<std::string>& extra, std::ostream& out) {
  std::vector<std::string> files, values, words;
  for (const OptionView& option : VisibleOptions(app)) {
    for (const std::string& name : option.names) {
      words.push_back(name);
      if (!option.value.empty()) (TakesFile(option) ? files : values).push_back(name);
    }
  }
  words.insert(words.end(), extra.begin(), extra.end());
  out << "      case $prev in\n";
  if (!files.empty()) {
    out << "        " << Join(files, "|") << ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
  }
  if (!values.empty()) out << "        " << Join(values, "|") << ") return ;;\n";
  out << "      esac\n";
  out << "      words='" << Join(words, " ") << "' ;;\n";
}

std::string ZshQuote(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else if (c == '[' || c == ']' || c == ':' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

// The _arguments entries of a command's options and positionals.
std::string ZshSpecs(const CLI::App& app, const std::string& indent) {
  std::string entries;
  for (const OptionView& option : VisibleOptions(app)) {
    for (const std::string& name : option.names) {
      std::string entry = option.repeatable ? "*" : "";
      entry += name;
      if (!option.value.empty()) entry += name.size() == 2 ? "+" : "=";
      entry += "[" + ZshQuote(option.description) + "]";
      if (!option.value.empty()) {
        entry += ":" + ZshQuote(option.value) + ":" + (TakesFile(option) ? "_files" : "");
      }
      entries += " \\\n" + indent + "'" + entry + "'";
    }
  }
  if (!PositionalSynopsis(app).empty()) entries += " \\\n" + indent + "'*:argument:_default'";
  return entries;
}

}  // namespace

std::string BashCompletion(const Program& program) {
  const CLI::App& app = program.App();
  const std::string name = app.get_name();
  const std::string function = FunctionName(name);
  std::vector<const CLI::App*> commands = VisibleCommands(app);
  std::vector<std::string> commandNames;
  for (const CLI::App* command : commands) commandNames.push_back(command->get_name());
  std::ostringstream out;
  out << "# bash completion for " << name << " (made by " << name
      << " --generate-completion bash)\n";
  out << function << "() {\n";
  out << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command= words "
         "i\n";
  if (!commands.empty()) {
    out << "  for ((i = 1; i < COMP_CWORD; i++)); do\n";
    out << "    case ${COMP_WORDS[i]} in\n";
    out << "      " << Join(commandNames, "|") << ") command=${COMP_WORDS[i]}; break ;;\n";
    out << "    esac\n  done\n";
  }
  out << "  case $command in\n";
  for (const CLI::App* command : commands) {
    out << "    " << command->get_name() << ")\n";
    BashCommand(*command, {}, out);
  }
  out << "    *)\n";
  BashCommand(app, commandNames, out);
  out << "  esac\n";
  out << "  COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n";
  out << "}\n";
  out << "complete -o default -F " << function << " " << name << "\n";
  return out.str();
}

std::string ZshCompletion(const Program& program) {
  const CLI::App& app = program.App();
  const std::string name = app.get_name();
  const std::string function = FunctionName(name);
  std::vector<const CLI::App*> commands = VisibleCommands(app);
  std::ostringstream out;
  out << "#compdef " << name << "\n";
  out << "# zsh completion for " << name << " (made by " << name << " --generate-completion zsh)\n";
  out << function << "() {\n";
  if (commands.empty()) {
    out << "  _arguments -s" << ZshSpecs(app, "    ") << "\n}\n";
    out << function << " \"$@\"\n";
    return out.str();
  }
  out << "  local state line\n";
  out << "  _arguments -C" << ZshSpecs(app, "    ")
      << " \\\n    '1: :->command' \\\n    '*:: :->args'\n";
  out << "  case $state in\n";
  out << "    command)\n      local -a commands\n      commands=(";
  for (const CLI::App* command : commands) {
    std::string summary = command->get_description();
    summary = summary.substr(0, summary.find('\n'));
    out << "\n        '" << ZshQuote(command->get_name()) << ":" << ZshQuote(summary) << "'";
  }
  out << "\n      )\n      _describe command commands ;;\n";
  out << "    args)\n      case $words[1] in\n";
  for (const CLI::App* command : commands) {
    out << "        " << command->get_name() << ")\n          _arguments -s"
        << ZshSpecs(*command, "            ") << " ;;\n";
  }
  out << "      esac ;;\n  esac\n}\n";
  out << function << " \"$@\"\n";
  return out.str();
}

}  // namespace ZelCommandLine
