// The manual page and the completions made from a program's description:
// every visible option and command is there, hidden ones are not, and text
// that roff or the shells would read as markup is escaped.
#include <ZelCommandLine/Program.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Tool {
  ZelCommandLine::Program program{"zel-tool", "4.5.6", "Does tool things.\n\nA second paragraph."};
  std::string url, token, secret;
  std::vector<std::string> headers;
  std::vector<std::string> rest;

  Tool() {
    CLI::App& app = program.App();
    app.require_subcommand(1);
    CLI::App* call = app.add_subcommand("call", "calls a method\nmore words");
    call->add_option("--url", url, "the service [its URL]")->type_name("URL")->required();
    call->add_option("--token", token, "the token's file")->type_name("FILE");
    call->add_option("-H,--header", headers, "an extra header")
        ->type_name("'NAME: VALUE'")
        ->allow_extra_args(false);
    call->add_option("--secret", secret, "hidden")->group("");
    call->add_option("ARGUMENT", rest, "assignments");
    app.add_subcommand("types", "lists types");
    program.AddManSection("exit status", "0 fine.\n.not a request\n\n 2 bad usage");
  }

  std::string Generate(const char* what, const char* shell = nullptr) {
    std::vector<const char*> args{"zel-tool", what};
    if (shell) args.push_back(shell);
    std::ostringstream out, err;
    EXPECT_EQ(program.Parse(static_cast<int>(args.size()), args.data(), out, err), 0) << err.str();
    return out.str();
  }
};

TEST(ManPage, HasTheSectionsOptionsAndCommands) {
  Tool tool;
  std::string page = tool.Generate("--generate-man");
  EXPECT_EQ(page.rfind(".TH ZEL\\-TOOL 1 \"\" \"zel\\-tool 4.5.6\" \"User Commands\"\n", 0), 0u)
      << page;
  EXPECT_NE(page.find(".SH NAME\nzel\\-tool \\- Does tool things\n"), std::string::npos) << page;
  EXPECT_NE(page.find(".SS \"zel\\-tool call\"\ncalls a method\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\\fB\\-\\-url\\fR \\fIURL\\fR\nthe service [its URL] (required)\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("\\fB\\-H\\fR, \\fB\\-\\-header\\fR"), std::string::npos) << page;
  EXPECT_NE(page.find("\\fBzel\\-tool call\\fR [\\fIOPTIONS\\fR] \\fI[ARGUMENT...]\\fR"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("secret"), std::string::npos) << "a hidden option is shown";
  std::string options = page.substr(page.find(".SH OPTIONS"));
  EXPECT_EQ(options.find("\\-\\-help"), options.rfind("\\-\\-help")) << "the help told twice";
  EXPECT_NE(page.find(".SH EXIT STATUS\n0 fine.\n\\&.not a request\n.PP\n.nf\n 2 bad"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("\n.not"), std::string::npos) << "a line reads as a request";
}

TEST(Completion, BashCompletesCommandsOptionsAndFiles) {
  Tool tool;
  std::string script = tool.Generate("--generate-completion", "bash");
  EXPECT_NE(script.find("complete -o default -F _zel_tool zel-tool\n"), std::string::npos);
  EXPECT_NE(script.find("call|types) command=${COMP_WORDS[i]}"), std::string::npos) << script;
  EXPECT_NE(script.find("--token) COMPREPLY=($(compgen -f -- \"$cur\"))"), std::string::npos)
      << script;
  EXPECT_NE(script.find("--url|-H|--header) return ;;"), std::string::npos) << script;
  EXPECT_EQ(script.find("--secret"), std::string::npos);
  EXPECT_EQ(tool.Generate("--generate-completion=bash"), script);
}

TEST(Completion, ZshDescribesCommandsAndOptions) {
  Tool tool;
  std::string script = tool.Generate("--generate-completion", "zsh");
  EXPECT_EQ(script.rfind("#compdef zel-tool\n", 0), 0u);
  EXPECT_NE(script.find("'call:calls a method'"), std::string::npos) << script;
  EXPECT_NE(script.find("'--url=[the service \\[its URL\\]]:URL:'"), std::string::npos) << script;
  EXPECT_NE(script.find("'--token=[the token'\\''s file]:FILE:_files'"), std::string::npos)
      << script;
  EXPECT_NE(script.find("'*-H+[an extra header]"), std::string::npos) << script;
}

TEST(Completion, AnUnknownShellIsAUsageError) {
  Tool tool;
  std::vector<const char*> args{"zel-tool", "--generate-completion", "fish"};
  std::ostringstream out, err;
  EXPECT_EQ(tool.program.Parse(3, args.data(), out, err), 2);
  EXPECT_NE(err.str().find("bash or zsh"), std::string::npos);
}

}  // namespace
