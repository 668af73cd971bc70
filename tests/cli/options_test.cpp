// The command line parsed in process: which forms give which options.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kwt::cli {
namespace {

ParsedCommandLine Parse(std::vector<std::string> arguments) {
  return ParseCommandLine(arguments);
}

TEST(ParseCommandLine, ValuesAttachedOrFollowingAndOptionsAnywhere) {
  const ParsedCommandLine parsed =
      Parse({"a.kwj", "--width=40", "--trace", "--contents", "c.KWT", "--backup"});
  ASSERT_EQ(parsed.command, Command::Convert) << parsed.error;
  EXPECT_EQ(parsed.options.projects, std::vector<std::string>{"a.kwj"});
  EXPECT_EQ(parsed.options.width, 40);
  EXPECT_EQ(parsed.options.contents, "c.KWT");
  EXPECT_TRUE(parsed.options.trace);
  EXPECT_TRUE(parsed.options.backup);
  EXPECT_FALSE(parsed.options.check);
  EXPECT_FALSE(parsed.options.quiet);

  const ParsedCommandLine spaced = Parse({"--width", "10000", "-q", "a.kwj", "b.kwj", "--check"});
  ASSERT_EQ(spaced.command, Command::Convert) << spaced.error;
  EXPECT_EQ(spaced.options.width, kMaxWidth);
  EXPECT_TRUE(spaced.options.quiet);
  EXPECT_TRUE(spaced.options.check);
  EXPECT_EQ(spaced.options.projects, (std::vector<std::string>{"a.kwj", "b.kwj"}));
}

TEST(ParseCommandLine, ProjectNamesThatLookLikeOptions) {
  // A lone "-" is a name; after "--" everything is. A value may start with '-'.
  const ParsedCommandLine parsed = Parse({"-", "--contents", "-c.KWT", "--", "--trace", "-q"});
  ASSERT_EQ(parsed.command, Command::UsageError);  // --contents with three projects
  const ParsedCommandLine names = Parse({"-", "--", "--trace", "-q"});
  ASSERT_EQ(names.command, Command::Convert) << names.error;
  EXPECT_EQ(names.options.projects, (std::vector<std::string>{"-", "--trace", "-q"}));
  EXPECT_FALSE(names.options.trace);
  const ParsedCommandLine value = Parse({"--contents", "-c.KWT", "p.kwj"});
  ASSERT_EQ(value.command, Command::Convert) << value.error;
  EXPECT_EQ(value.options.contents, "-c.KWT");
  // Code page 932 bytes pass untouched, a backslash trail byte included.
  const std::string japanese = "\x95\x5C\\\x8C\xA9\x96\x7B.kwj";
  EXPECT_EQ(Parse({japanese}).options.projects, std::vector<std::string>{japanese});
}

// As GNU tools take them: bundled short options, a j taking the rest as its
// value, and any unambiguous beginning of a long option.
TEST(ParseCommandLine, BundledShortOptionsAndAbbreviatedLongOnes) {
  const ParsedCommandLine bundled = Parse({"-qrj3", "--rec", "--wid=20", "--cont", "-qr.KWT", "p.kwj"});
  ASSERT_EQ(bundled.command, Command::Convert) << bundled.error;
  EXPECT_TRUE(bundled.options.quiet && bundled.options.recursive);
  EXPECT_EQ(bundled.options.jobs, 3);
  EXPECT_EQ(bundled.options.width, 20);
  EXPECT_EQ(bundled.options.contents, "-qr.KWT");
  EXPECT_EQ(Parse({"--c", "p.kwj"}).command, Command::UsageError);  // --check or --contents
  EXPECT_EQ(Parse({"-qx", "p.kwj"}).command, Command::UsageError);
}

TEST(ParseCommandLine, HelpAndVersionAnswerFirstComeFirst) {
  EXPECT_EQ(Parse({"-h"}).command, Command::Help);
  EXPECT_EQ(Parse({"a.kwj", "--help", "--bogus"}).command, Command::Help);
  EXPECT_EQ(Parse({"--version", "-h"}).command, Command::Version);
  EXPECT_EQ(Parse({"--bogus", "--help"}).command, Command::UsageError);
  EXPECT_EQ(Parse({"--", "--help"}).command, Command::Convert);
}

TEST(ParseCommandLine, RefusalsSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const Case cases[] = {
      {{}, "no project file given: name a project file (*.kwj) or a folder that holds some"},
      {{"--bogus", "a"}, "unknown option '--bogus'"},
      {{"--width=7x", "a"}, "option --width takes a number of columns from 1 to 10000, not '7x'"},
      {{"--width", "+5", "a"}, "option --width takes a number of columns from 1 to 10000, not '+5'"},
      {{"--width", "099999", "a"}, "option --width takes a number of columns from 1 to 10000, not '099999'"},
      {{"a", "--width"}, "option --width needs a number of columns"},
      {{"a", "--contents"}, "option --contents needs a file"},
      {{"--trace=1", "a"}, "option --trace takes no value"},
      {{"--contents=c", "a", "b"},
       "option --contents needs exactly one project file: give only the project whose contents file it is"},
      {{"--check", "--backup", "a"},
       "options --check and --backup exclude each other: give only one of them"},
      {{"--quiet", "--trace", "a"}, "options --trace and --quiet exclude each other: give only one of them"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    const ParsedCommandLine parsed = Parse(row.arguments);
    EXPECT_EQ(parsed.command, Command::UsageError);
    EXPECT_EQ(parsed.error, row.error);
  }
}

}  // namespace
}  // namespace kwt::cli
