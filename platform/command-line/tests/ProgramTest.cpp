// Parsing as every program does it: both option forms, help and version,
// and usage errors told in one line with exit status 2.
#include <ZelCommandLine/Program.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
};

// A program with an option, a required one, a flag and a command.
class ProgramTest : public testing::Test {
 protected:
  ProgramTest() : program("mint", "1.2.3", "Mints things.\nSecond line.") {
    CLI::App& app = program.App();
    app.add_option("--subject", subject, "the user")->type_name("USER")->required();
    app.add_option("--out", out, "where")->type_name("FILE");
    app.add_flag("--loud", loud, "louder");
    app.add_option("--tag", tags, "a tag; repeatable")->allow_extra_args(false);
    app.add_option("WORD", words, "words");
  }

  Outcome Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "mint");
    std::ostringstream outText, errText;
    Outcome run;
    run.status = program.Parse(static_cast<int>(args.size()), args.data(), outText, errText);
    run.out = outText.str();
    run.err = errText.str();
    return run;
  }

  ZelCommandLine::Program program;
  std::string subject, out;
  bool loud = false;
  std::vector<std::string> tags, words;
};

TEST_F(ProgramTest, TakesAnOptionsValueEitherWay) {
  Outcome run = Parse({"--subject=alice", "--out", "token.xml", "--loud"});
  EXPECT_EQ(run.status, -1);
  EXPECT_EQ(subject, "alice");
  EXPECT_EQ(out, "token.xml");
  EXPECT_TRUE(loud);
  EXPECT_EQ(run.err, "");
}

TEST_F(ProgramTest, ARepeatableOptionTakesOneValueEachTime) {
  Outcome run = Parse({"--subject", "a", "--tag", "x", "w1", "--tag=y", "w2"});
  EXPECT_EQ(run.status, -1) << run.err;
  EXPECT_EQ(tags, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(words, (std::vector<std::string>{"w1", "w2"}));
}

TEST_F(ProgramTest, HelpAndVersionExitZero) {
  Outcome help = Parse({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: mint"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--subject USER"), std::string::npos) << help.out;
  Outcome version = Parse({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "mint 1.2.3\n");
}

TEST_F(ProgramTest, AUsageErrorIsOneLineNamingTheHelp) {
  for (auto args : std::vector<std::vector<const char*>>{
           {"--subject", "a", "--colour", "red"},  // unknown option
           {"--out", "x"},                         // a required option missing
           {"--subject"},                          // a value missing
           {"--loud=maybe", "--subject", "a"}}) {  // a flag with a bad value
    Outcome run = Parse(args);
    EXPECT_EQ(run.status, ZelCommandLine::kUsageStatus) << args.back();
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.rfind("mint: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("see 'mint --help'"), std::string::npos) << run.err;
  }
  EXPECT_NE(Parse({"--out", "x"}).err.find("--subject is required"), std::string::npos);
}

TEST_F(ProgramTest, AnErrorInACommandNamesTheCommandsHelp) {
  ZelCommandLine::Program tool("tool", "1", "A tool.");
  std::string url;
  CLI::App* call = tool.App().add_subcommand("call", "calls");
  call->add_option("--url", url, "where")->required();
  tool.App().require_subcommand(1);
  std::vector<const char*> args{"tool", "call", "--colour=red"};
  std::ostringstream out, err;
  EXPECT_EQ(tool.Parse(3, args.data(), out, err), 2);
  EXPECT_NE(err.str().find("tool call: "), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("see 'tool call --help'"), std::string::npos) << err.str();

  std::vector<const char*> none{"tool"};
  std::ostringstream out2, err2;
  EXPECT_EQ(tool.Parse(1, none.data(), out2, err2), 2);
  EXPECT_EQ(err2.str(), "tool: no command given (one of: call); see 'tool --help'\n");

  std::vector<const char*> unknown{"tool", "fly"};
  std::ostringstream out3, err3;
  EXPECT_EQ(tool.Parse(2, unknown.data(), out3, err3), 2);
  EXPECT_EQ(err3.str(), "tool: unknown command fly (one of: call); see 'tool --help'\n");
}

TEST_F(ProgramTest, LaterUsageErrorsLookAlike) {
  Parse({"--subject", "a"});
  std::ostringstream err;
  EXPECT_EQ(program.UsageError("no such version\nat all", err), 2);
  EXPECT_EQ(err.str(), "mint: no such version at all; see 'mint --help'\n");
}

}  // namespace
