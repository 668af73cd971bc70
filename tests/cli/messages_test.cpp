// kwtconv's own messages exist in both languages, say the same things, and
// reach the user in the language the environment asks for.
#include "cli/messages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cli/cli_test_support.h"
#include "runtime/encoding.h"

namespace kwt::testing {
namespace {

using cli::Language;
using cli::Msg;

std::size_t Placeholders(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at + 1)) {
    if (at + 1 < text.size() && (text[at + 1] == 's' || text[at + 1] == 'd')) ++count;
  }
  return count;
}

TEST(KwtconvMessages, EveryMessageHasBothLanguagesWithTheSamePlaceholders) {
  const cli::MessageText* table = cli::MessageTable();
  for (std::size_t i = 0; i < static_cast<std::size_t>(Msg::Count); ++i) {
    const cli::MessageText& text = table[i];
    SCOPED_TRACE(std::string(text.english.substr(0, 40)));
    EXPECT_EQ(static_cast<std::size_t>(text.id), i);  // the table follows Msg
    EXPECT_FALSE(text.english.empty());
    EXPECT_FALSE(text.japanese.empty());
    EXPECT_EQ(Placeholders(text.english), Placeholders(text.japanese));
    // Japanese sentences end with "。", never with ".".
    EXPECT_FALSE(text.japanese.ends_with(".")) << text.japanese;
    EXPECT_TRUE(encoding::Utf8ToCp932(text.japanese).has_value()) << "no code page 932 form";
  }
}

// Sets an environment variable for one test, and restores it.
class Environment {
 public:
  Environment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~Environment() { Set(old_ ? old_->c_str() : nullptr); }

 private:
  void Set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_, value ? value : "");
#else
    if (value) {
      ::setenv(name_, value, 1);
    } else {
      ::unsetenv(name_);
    }
#endif
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(KwtconvMessages, TheEnvironmentChoosesTheLanguage) {
  Folder folder;
  const std::string project = folder.Utf8("none.kwj");
  {
    const Environment japanese("KWTCONV_LANG", "ja");
    const ProcessResult usage = Kwtconv({"--bogus"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err,
              "kwtconv: \xE4\xB8\x8D\xE6\x98\x8E\xE3\x81\xAA\xE3\x82\xAA\xE3\x83\x97\xE3\x82\xB7\xE3\x83\xA7"
              "\xE3\x83\xB3 '--bogus' \xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82\n" +
                  Utf8(cli::Say(Language::Japanese, Msg::TryHelp)) + "\n");
    const ProcessResult help = Kwtconv({"--help"});
    EXPECT_TRUE(help.out.starts_with("\xE4\xBD\xBF\xE3\x81\x84\xE6\x96\xB9: kwtconv")) << help.out;  // 使い方
    const ProcessResult two = Kwtconv({project, project});
    EXPECT_TRUE(
        two.err.ends_with(Utf8(cli::Say(Language::Japanese, Msg::Summary, {"2", "0", "0", "2"})) + "\n"))
        << two.err;
  }
  const Environment english("KWTCONV_LANG", "en");
  EXPECT_TRUE(Kwtconv({"--help"}).out.starts_with("Usage: kwtconv"));
#ifndef _WIN32
  // Without the variable, the locale decides.
  const Environment unset("KWTCONV_LANG", nullptr);
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    SCOPED_TRACE(variable);
    const Environment all("LC_ALL", nullptr);
    const Environment messages("LC_MESSAGES", nullptr);
    const Environment lang("LANG", nullptr);
    const Environment locale(variable, "ja_JP.UTF-8");
    EXPECT_TRUE(Kwtconv({"--help"}).out.starts_with("\xE4\xBD\xBF\xE3\x81\x84\xE6\x96\xB9"));
  }
  const Environment c("LC_ALL", "C");
  EXPECT_TRUE(Kwtconv({"--help"}).out.starts_with("Usage: kwtconv"));
#endif
}

}  // namespace
}  // namespace kwt::testing
