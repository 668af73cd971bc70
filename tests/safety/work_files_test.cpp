// The project file must never double as the contents file or the temporary
// file of its own conversion, under any name: records would be written over
// the project, or the project's text over the records, and a pass that gives
// up deletes its temporary file. Such a project is refused, nothing changed.
#include <gtest/gtest.h>

#include "convert/conversion.h"
#include "convert/conversion_test_support.h"
#include "runtime/errors.h"
#include "runtime/texts.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

// A project long enough to hold whole records, so that only the refusal can
// stop a conversion that takes it for its contents.
void WritePadded(const TempFolder& folder, std::string_view name, const std::string& contents) {
  folder.Write(name, "; " + std::string(2000, '-') + "\r\n" + Kwj("102", "2", contents));
}

void ExpectRefused(const TempFolder& folder, std::string_view project, const std::string& named) {
  folder.Backdate();
  const auto before = folder.Snapshot();
  RecordingFace face;
  Converter converter(face);
  const auto error = Raised<EConvertError>([&] { converter.Convert(folder.PathOf(project)); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Message(), texts::Format(texts::kProjectFileInUseFormat, named));
  EXPECT_TRUE(folder.Snapshot() == before);
}

TEST(ProjectAsWorkFile, IsRefusedUnderEveryName) {
  struct Row {
    const char* name;
    const char* project;
    // Writes the files and answers the path the refusal names.
    std::string (*setup)(const TempFolder& folder);
  };
  const Row rows[] = {
      {"contents path is the project file", "p.kwj",
       [](const TempFolder& f) {
         WritePadded(f, "p.kwj", f.PathOf("p.kwj"));
         return f.PathOf("p.kwj");
       }},
      {"contents path reaches the project file another way", "p.kwj",
       [](const TempFolder& f) {
         const std::string other = f.PathOf("") + "." + std::string(1, kSeparator) + "p.kwj";
         WritePadded(f, "p.kwj", other);
         return other;
       }},
      {"contents path is the file the new project text is saved through", "p.kwj",
       [](const TempFolder& f) {
         f.Write("p.kwj$$$", Records102(2));
         f.Write("p.kwj", Kwj("102", "2", f.PathOf("p.kwj$$$")));
         return f.PathOf("p.kwj$$$");
       }},
      {"project file is named like the temporary file beside its contents", "TMP.DAT",
       [](const TempFolder& f) {
         f.Write("p.KWT", Records102(2));
         WritePadded(f, "TMP.DAT", f.PathOf("p.KWT"));
         return f.PathOf("TMP.DAT");
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    const std::string named = row.setup(folder);
    ExpectRefused(folder, row.project, named);
  }
}

// A hard link is the project file under a name that shares nothing with it.
TEST(ProjectAsWorkFile, HardLinkToTheProjectIsRefused) {
  TempFolder folder{NameBytes::Utf8};
  WritePadded(folder, "p.kwj", folder.PathOf("link.KWT"));
  std::error_code error;
  fs::create_hard_link(folder.Path("p.kwj"), folder.Path("link.KWT"), error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  ExpectRefused(folder, "p.kwj", folder.PathOf("link.KWT"));
}

// Files that only resemble the project's are converted as usual.
TEST(ProjectAsWorkFile, LookAlikeFilesConvert) {
  TempFolder folder{NameBytes::Utf8};
  folder.Write("p.kwj.KWT", Records102(2));
  folder.Write("p.kwj", Kwj("102", "2", folder.PathOf("p.kwj.KWT")));
  RecordingFace face;
  Converter converter(face);
  converter.Convert(folder.PathOf("p.kwj"));
  EXPECT_EQ(face.log.back(), Status(texts::kStatusSuccess));
  EXPECT_EQ(folder.Read("p.kwj.KWT"), To140Records(To103Records(Records102(2), 2), 2));
}

}  // namespace
}  // namespace kwt::testing
