// options_test.cpp: the portable program's command line: what each option takes, and what it refuses with a reason
// that names the option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/portable/options.h"
#include "support/test_env.h"

namespace {

OptionsResult Parse(std::vector<std::string> args, ProgramOptions &options, std::string &error) {
  args.insert(args.begin(), "kestrel");
  std::vector<char *> argv;
  for (std::string &arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  return ParseProgramOptions(static_cast<int>(args.size()), argv.data(), options, error);
}

TEST(ProgramOptionsTest, TakesWhatTheDemoAndTheTestsGive) {
  const std::string folder = MakeScratchFolder();
  ProgramOptions options;
  std::string error;
  ASSERT_EQ(Parse({"--seconds", "90", "--screenshot-dir", folder, "--keys=M,m,0,F10,pgup,Down"}, options, error),
            OptionsResult::kRun)
      << error;
  EXPECT_EQ(options.seconds, 90);
  EXPECT_EQ(options.screenshot_dir, folder);
  EXPECT_EQ(options.keys, (std::vector<int>{'M', 'M', '0', 0x79, 0x21, 0x28}));
  EXPECT_EQ(Parse({}, options, error), OptionsResult::kRun);
  EXPECT_EQ(options.seconds, 0) << "a second parse starts afresh";
  EXPECT_EQ(Parse({"--seconds", "3", "-h"}, options, error), OptionsResult::kHelp);
}

TEST(ProgramOptionsTest, RefusesBadValuesNamingTheOption) {
  const std::string folder = MakeScratchFolder();
  ASSERT_TRUE(WriteTextFile(folder + "/file", "x"));
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--seconds", "abc"}, "--seconds wants a whole number of seconds from 1 to 1000000, not 'abc'"},
      {{"--seconds=0"}, "--seconds wants a whole number of seconds from 1 to 1000000, not '0'"},
      {{"--seconds", "-5"}, "--seconds wants a whole number of seconds from 1 to 1000000, not '-5'"},
      {{"--seconds", "5s"}, "--seconds wants a whole number of seconds from 1 to 1000000, not '5s'"},
      {{"--seconds"}, "--seconds needs a value"},
      {{"--screenshot-dir", folder + "/missing"},
       "--screenshot-dir: cannot write into '" + folder + "/missing': No such file or directory"},
      {{"--screenshot-dir", folder + "/file"},
       "--screenshot-dir: cannot write into '" + folder + "/file': Not a directory"},
      {{"--keys", "M,,3"}, "--keys: '' is not a key"},
      {{"--keys", "F11"}, "--keys: 'F11' is not a key"},
      {{"--fullscreen"}, "unknown option '--fullscreen'"},
      {{"-x"}, "unknown option '-x'"},
      {{"screenshots"}, "unexpected argument 'screenshots'"},
  };
  for (const auto &c : cases) {
    ProgramOptions options;
    std::string error;
    EXPECT_EQ(Parse(c.args, options, error), OptionsResult::kError) << c.args[0];
    EXPECT_EQ(error, c.error);
  }
}

} // namespace
