// kwtconv's own messages exist in both languages, say the same things, and
// reach the user in the language the environment asks for.
#include "cli/messages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/cli_test_support.h"
#include "convert/content_records.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/record_file.h"

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
  TempFolder folder{NameBytes::Utf8};
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

// The longest stretch of a message's text between its placeholders, in UTF-8:
// what shows of it whatever fills them.
std::string Stretch(Language language, Msg id) {
  const cli::MessageText& text = cli::MessageTable()[static_cast<std::size_t>(id)];
  const std::string format(language == Language::Japanese ? text.japanese : text.english);
  std::string longest;
  std::size_t from = 0;
  for (;;) {
    std::size_t at = format.find('%', from);
    while (at != std::string::npos && at + 1 < format.size() && format[at + 1] != 's' &&
           format[at + 1] != 'd')
      at = format.find('%', at + 1);
    const std::string piece = format.substr(from, at == std::string::npos ? std::string::npos : at - from);
    if (piece.size() > longest.size()) longest = piece;
    if (at == std::string::npos) return longest;
    from = at + 2;
  }
}

// The English words in kwtconv's output (UTF-8), but for file names and
// paths, option names, pass names, the project file's keys and the line's
// own prefixes.
std::vector<std::string> EnglishWords(const std::string& output) {
  // Paths and names: printable ASCII runs that hold "/", "\" or ".".
  static const std::regex kPath(R"([!-~]*[/\\.][!-~]*)");
  // Options, and the passes' names.
  static const std::regex kOption(R"(--?[A-Za-z][A-Za-z-]*|To1(03|40))");
  static const std::regex kWord(R"([A-Za-z]{2,})");
  const std::string rest = std::regex_replace(std::regex_replace(output, kPath, " "), kOption, " ");
  std::vector<std::string> words;
  static const std::set<std::string> kAllowed = {"kwtconv", "error", "note", "Count",
                                                 "Version", "KWT",   "KWJ"};
  for (auto it = std::sregex_iterator(rest.begin(), rest.end(), kWord); it != std::sregex_iterator(); ++it) {
    if (kAllowed.count(it->str()) == 0) words.push_back(it->str());
  }
  return words;
}

// --check reports in the run's language: Japanese labels and verdicts, and
// the English report under English.
TEST(KwtconvMessages, TheCheckReportSpeaksTheRunLanguage) {
  TempFolder folder{NameBytes::Utf8};
  folder.Write("p.KWT", Records102(2));
  folder.Write("p.kwj", ProjectText("102", "2", folder.PathOf("p.KWT")));
  {
    const Environment japanese("KWTCONV_LANG", "ja");
    const ProcessResult check = Kwtconv({"--check", folder.Utf8("p.kwj")});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    const std::string passes = "To103" + cli::Say(Language::Japanese, Msg::ListSeparator) + "To140";
    const std::string verdict = cli::Say(Language::Japanese, Msg::CheckVerdict,
                                         {cli::Say(Language::Japanese, Msg::VerdictWillConvert, {passes})});
    EXPECT_TRUE(check.out.ends_with(Utf8(verdict) + "\n")) << check.out;
    EXPECT_TRUE(EnglishWords(check.out).empty()) << check.out;
  }
  const Environment english("KWTCONV_LANG", "en");
  const ProcessResult check = Kwtconv({"--check", folder.Utf8("p.kwj")});
  EXPECT_TRUE(
      check.out.ends_with("\nsizes: agree\npasses: To103 To140\nverdict: will convert (To103, To140)\n"))
      << check.out;
}

// A folder that cannot be opened (no permission to list it, a link that
// cannot be held) is no busy folder: the check and the restore check name the
// folder and give the system's text, never the busy words.
TEST(KwtconvMessages, AFolderThatCannotBeHeldIsNotCalledBusy) {
  const std::string folder = "locked/";
  const auto denied = static_cast<std::int32_t>(platform::error::kAccessDenied);
  ConversionPlan check;
  check.stop = {Cause::FolderNotHeld, ConversionOutcome::Refused, folder, {}, {}, IoMessage(denied), denied};
  RestorePlan plan;
  plan.reason.cause = Cause::FolderNotHeld;
  plan.reason.path = folder;
  plan.reason.ioCode = denied;
  const std::string busy = cli::Say(Msg::ReasonFolderBusy, {""});
  for (const std::string& reason : {cli::FailureReason(check), cli::RestoreReason(plan)}) {
    EXPECT_EQ(reason.find(busy), std::string::npos) << reason;
    EXPECT_NE(reason.find(folder), std::string::npos) << reason;
    EXPECT_NE(reason.find(IoMessage(denied)), std::string::npos) << reason;
  }
}

// A project file may hold a value of megabytes (damaged, or made to flood a
// terminal): every message that quotes it, the conversion's and --check's,
// shows it shortened, its start and end kept.
TEST(KwtconvMessages, AStoredValueOfMegabytesIsShortenedInEveryMessage) {
  TempFolder folder{NameBytes::Utf8};
  const std::string huge = std::string(1'000'000, 'a') + ".KWT";
  for (const std::string& count : {std::string("2"), std::string(1'000'000, '9')}) {
    SCOPED_TRACE(count.size());
    folder.Write("p.kwj", ProjectText("102", count, huge));
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{folder.Utf8("p.kwj")}, {"--check", folder.Utf8("p.kwj")}}) {
      const ProcessResult result = Kwtconv(arguments);
      EXPECT_EQ(result.exitCode, 1);
      EXPECT_LT(result.out.size() + result.err.size(), 8 * kShortenedLimit);
      EXPECT_NE((result.out + result.err).find("..."), std::string::npos) << result.out << result.err;
    }
  }
}

// True when the file cannot be opened for writing (not so for root on POSIX).
bool Unwritable(const std::filesystem::path& path) {
  return !std::ofstream(path, std::ios::binary | std::ios::app);
}

struct FailureCase {
  const char* name;
  // Writes what the case needs into the folder.
  std::function<void(const TempFolder&)> setup;
  std::function<std::vector<std::string>(const TempFolder&)> arguments;
  int exitCode;
  // The message that gives the next step (its longest stretch must show), or
  // the system's own text that gives it.
  std::optional<Msg> step;
  std::string_view systemStep = {};
  // Made read-only before the run, when the file system then refuses writing.
  const char* readOnly = nullptr;
  bool readOutput = true;
};

// A layout-102 project "p" of two records beside its contents file.
void Project(const TempFolder& f, std::string_view count = "2", std::string_view contents = "p.KWT") {
  f.Write("p.KWT", Records102(2));
  f.Write("p.kwj", ProjectText("102", count, f.PathOf(contents)));
}
std::vector<std::string> JustP(const TempFolder& f) {
  return {f.Utf8("p.kwj")};
}

// Every way a command line fails, in both languages: each failure says what
// to do next, in its message, in a note, or in the line that points at
// --help; no "。" is followed by "."; and the Japanese output holds no English
// word but file names, option names and the system's own texts. (Not here:
// a full disk, a held folder, an unreadable project and a failed backup copy,
// which need a file system of their own; see tests/safety.)
TEST(KwtconvMessages, EveryFailureSaysWhatToDoNextInBothLanguages) {
  const auto none = [](const TempFolder&) {};
  const auto usage = [](std::vector<std::string> options) {
    return [options](const TempFolder& f) {
      std::vector<std::string> arguments = options;
      for (std::string& argument : arguments) {
        if (argument == "P") argument = f.Utf8("p.kwj");
      }
      return arguments;
    };
  };
  const std::vector<FailureCase> cases = {
      {"no project given", none, usage({}), 2, Msg::TryHelp},
      {"unknown option", none, usage({"--bogus", "P"}), 2, Msg::TryHelp},
      {"a value for a switch", none, usage({"--check=1", "P"}), 2, Msg::TryHelp},
      {"--width without a number", none, usage({"P", "--width"}), 2, Msg::TryHelp},
      {"--width out of range", none, usage({"--width", "0", "P"}), 2, Msg::TryHelp},
      {"--contents without a file", none, usage({"P", "--contents"}), 2, Msg::TryHelp},
      {"--contents with two projects", none, usage({"--contents", "c.KWT", "P", "P"}), 2, Msg::TryHelp},
      {"--check with --backup", none, usage({"--check", "--backup", "P"}), 2, Msg::TryHelp},
      {"--check with -j", none, usage({"--check", "-j", "2", "P"}), 2, Msg::TryHelp},
      {"--trace with --quiet", none, usage({"--trace", "-q", "P"}), 2, Msg::TryHelp},
      {"--trace with --json", none, usage({"--trace", "--json", "P"}), 2, Msg::TryHelp},
      {"--contents with --find-contents", none, usage({"--contents", "c.KWT", "--find-contents", "P"}), 2,
       Msg::TryHelp},
      {"-j out of range", none, usage({"-j", "0", "P"}), 2, Msg::TryHelp},
      {"an argument without a code page 932 form", none, usage({"--contents", "\xC3\xA9.KWT", "P"}),  // é
       2, Msg::ArgumentHasNoForm},
      {"no project file", none, JustP, 1, Msg::NoteProjectMissing},
      {"Count 0", [](const TempFolder& f) { Project(f, "0"); }, JustP, 1, Msg::NoteNoRecords},
      {"no Count", [](const TempFolder& f) { f.Write("p.kwj", "[KWJ]\r\nVersion=102\r\nKWT=p.KWT\r\n"); },
       JustP, 1, Msg::NoteNoRecords},
      {"negative Count", [](const TempFolder& f) { Project(f, "-2"); }, JustP, 1, Msg::NoteNegativeCount},
      {"Count beyond the number range", [](const TempFolder& f) { Project(f, "2147483648"); }, JustP, 1,
       Msg::NoteCountUnreadable},
      {"Count of 2^32 + 1", [](const TempFolder& f) { Project(f, "4294967297"); }, JustP, 1,
       Msg::NoteCountUnreadable},
      {"Count written as -0", [](const TempFolder& f) { Project(f, "-0"); }, JustP, 1,
       Msg::NoteCountUnreadable},
      {"no KWT=", [](const TempFolder& f) { f.Write("p.kwj", "[KWJ]\r\nVersion=102\r\nCount=2\r\n"); }, JustP,
       1, Msg::NoteNoContentsKey},
      {"no contents file", [](const TempFolder& f) { Project(f, "2", "gone.KWT"); }, JustP, 1,
       Msg::NoteContentsMissing},
      {"no contents file at --contents", [](const TempFolder& f) { Project(f); },
       [](const TempFolder& f) {
         return std::vector<std::string>{"--contents", f.Utf8("gone.KWT"), f.Utf8("p.kwj")};
       },
       1, Msg::NoteGivenContentsMissing},
      {"Count beyond the records", [](const TempFolder& f) { Project(f, "3"); }, JustP, 1,
       Msg::NoteTooFewRecords},
      {"contents already converted",
       [](const TempFolder& f) {
         f.Write("p.KWT", std::string(2 * ContentRecord140::kSize, '\0'));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("p.KWT")));
       },
       JustP, 1, std::nullopt,
       "\xE3\x81\xAB\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84"},
      {"KWT= names the project file itself", [](const TempFolder& f) { Project(f, "2", "p.kwj"); }, JustP, 1,
       Msg::NoteWrongContents},
      {"KWT= names another project file",
       [](const TempFolder& f) {
         Project(f, "2", "q.kwj");
         f.Write("q.kwj", ProjectText("140", "2", "q.KWT"));
       },
       JustP, 1, Msg::NoteWrongContents},
      {"TMP.DAT is a folder",
       [](const TempFolder& f) {
         Project(f);
         std::filesystem::create_directory(f.Path("TMP.DAT"));
       },
       JustP, 1, Msg::NoteTemporaryBlocked},
      {"a backup that is not the project's",
       [](const TempFolder& f) {
         Project(f);
         f.Write("p.KWT.bak", "older");
       },
       [](const TempFolder& f) {
         return std::vector<std::string>{"--backup", f.Utf8("p.kwj")};
       },
       1, Msg::BackupExists},
      {"a read-only contents file",
       [](const TempFolder& f) { Project(f); },
       JustP,
       1,
       Msg::NoteReadOnly,
       {},
       "p.KWT"},
      {"a read-only project file",
       [](const TempFolder& f) { Project(f); },
       JustP,
       1,
       Msg::NoteCannotSave,
       {},
       "p.kwj"},
      {"a project name without a code page 932 form", none,
       [](const TempFolder& f) { return std::vector<std::string>{f.Utf8("\xC3\xA9.kwj")}; }, 1,
       Msg::NameHasNoForm},
      {"a folder without projects", [](const TempFolder& f) { f.Write("notes.txt", "x"); },
       [](const TempFolder& f) { return std::vector<std::string>{f.Utf8("")}; }, 1,
       Msg::FolderHoldsNoProject},
      {"a folder with projects only below",
       [](const TempFolder& f) {
         f.Write("below/p.KWT", Records102(2));
         f.Write("below/p.kwj", ProjectText("102", "2", "p.KWT"));
       },
       [](const TempFolder& f) { return std::vector<std::string>{f.Utf8("")}; }, 1,
       Msg::FolderHoldsProjectsBelow},
      {"a folder with a name without a code page 932 form",
       [](const TempFolder& f) { f.Write("\xC3\xA9.kwj", ""); },
       [](const TempFolder& f) { return std::vector<std::string>{f.Utf8("")}; }, 1, Msg::NamesPassedOver},
      // The note names each, so that the user knows which to rename.
      {"the names passed over, named", [](const TempFolder& f) { f.Write("\xC3\xA9.kwj", ""); },
       [](const TempFolder& f) { return std::vector<std::string>{f.Utf8("")}; }, 1, std::nullopt,
       ": \xC3\xA9.kwj\n"},
      {"output nobody reads",
       [](const TempFolder& f) { Project(f); },
       JustP,
       1,
       Msg::OutputFailed,
       {},
       nullptr,
       false},
#ifndef _WIN32
      {"a project path too long for the system", none,
       [](const TempFolder& f) {
         return std::vector<std::string>{f.Utf8(std::string(5000, 'd') + "/p.kwj")};
       },
       1, Msg::NoteProjectPathTooLong},
      {"a device as the project", none,
       [](const TempFolder&) { return std::vector<std::string>{"/dev/null"}; }, 1, Msg::NoteNotAProject},
      {"a contents path over 259 bytes",
       [](const TempFolder& f) {
         const std::string deep = std::string(250, 'd') + "/p.KWT";
         f.Write(deep, Records102(2));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf(deep)));
       },
       JustP, 1, Msg::NotePathTooLong},
#endif
  };
  for (const FailureCase& row : cases) {
    for (const Language language : {Language::English, Language::Japanese}) {
      const bool japanese = language == Language::Japanese;
      SCOPED_TRACE(std::string(row.name) + (japanese ? " (ja)" : " (en)"));
      TempFolder folder{NameBytes::Utf8};
      row.setup(folder);
      if (row.readOnly) {
        std::filesystem::permissions(folder.Path(row.readOnly), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        if (!Unwritable(folder.Path(row.readOnly))) {
          std::filesystem::permissions(folder.Path(row.readOnly), std::filesystem::perms::owner_write,
                                       std::filesystem::perm_options::add);
          continue;  // root: nothing is read-only
        }
      }
      const Environment chosen("KWTCONV_LANG", japanese ? "ja" : "en");
      const ProcessResult result = Kwtconv(row.arguments(folder), row.readOutput);
      if (row.readOnly) {
        std::filesystem::permissions(folder.Path(row.readOnly), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
      }
      EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
      const std::string said = result.out + result.err;
      EXPECT_EQ(said.find("\xE3\x80\x82."), std::string::npos) << said;  // "。."
      const std::string step = row.step ? Utf8(encoding::Utf8ToCp932(Stretch(language, *row.step)).value())
                                        : std::string(row.systemStep);
      ASSERT_FALSE(step.empty());
      EXPECT_NE(result.err.find(step), std::string::npos) << "no next step \"" << step << "\" in\n"
                                                          << result.err;
      if (row.exitCode == 2 && row.step == Msg::TryHelp) {
        EXPECT_TRUE(result.err.ends_with(Utf8(cli::Say(language, Msg::TryHelp)) + "\n")) << result.err;
      }
      if (japanese) {
        const std::vector<std::string> words = EnglishWords(said);
        EXPECT_TRUE(words.empty()) << ::testing::PrintToString(words) << " in\n" << said;
      }
    }
  }
}

}  // namespace
}  // namespace kwt::testing
