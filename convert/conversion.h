// The conversion driver and its two passes. They report through a face: the
// window, the command line or a test, each showing the status line and the
// target box in its own way. Errors are raised with their reasons attached
// (convert/stop_reason.h): Convert lets them go to the face, which shows them.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/contents_path.h"
#include "convert/conversion_plan.h"
#include "convert/conversion_result.h"
#include "convert/plan.h"
#include "runtime/ini_file.h"
#include "runtime/path_shortening.h"

namespace kwt {

// Where a conversion shows what it does, and how it measures the target text.
class ConversionFace {
 public:
  virtual ~ConversionFace() = default;
  // Replaces the whole status text and shows it at once, before returning: a
  // long pass processes no messages, so nothing else would draw it. Called
  // for every setting, also when the text is unchanged.
  virtual void SetStatus(std::string_view text) = 0;
  // Replaces the whole text of the target box.
  virtual void SetTarget(std::string_view text) = 0;
  // Measures texts as the target box shows them.
  virtual TextMeasure& TargetMeasure() = 0;
  // The width the shortened contents path must fit, in the measure's units.
  virtual std::int32_t TargetWidth() = 0;
  // How far the running pass is: done of count records converted, told before
  // each record and once all are done, for a face that shows a bar.
  virtual void RecordsDone(std::int32_t /*done*/, std::int32_t /*count*/) {}
  // Asked before every record and before the files are replaced: true stops
  // the pass there with EInterrupted. Once the contents file has been
  // replaced, the pass finishes whatever this answers.
  virtual bool StopRequested() { return false; }
};

class Converter {
 public:
  explicit Converter(ConversionFace& face, ConversionOptions options = {});
  ~Converter();

  // Converts the project file at projectPath as far as its recorded version
  // needs: both passes below 103, the second from 103 to 139, none from 140.
  // From reading the version to the last stamp it holds the project's folder
  // and the contents file's folder, so that a second conversion of the same
  // files (or of any project in those folders) fails at once with I/O error 32
  // and changes nothing. A run that was stopped after replacing the contents
  // file is finished first, from the project's new text that it left beside
  // the project file. EConvertError, changing nothing, for a project file that
  // is a device, pipe or socket. Returns Converted, UpToDate, ProjectMissing or
  // NoRecords; everything else is raised, for the face to show.
  ConversionResult Convert(std::string_view projectPath);
  // Convert, with what it raises taken into the result instead (Refused,
  // Failed or Interrupted, and the reason it was raised with): for faces that
  // go on to the next project. Errors outside the conversion's own (a program
  // fault, memory running out) are still raised.
  ConversionResult TryConvert(std::string_view projectPath);
  // The passes, on the current store: layout 102 to 103, and 103 to 140. Each
  // raises EInOutError when a file operation fails, EFCreateError or
  // EWriteError when the project file cannot be rewritten (the contents file is
  // then still untouched), EInterrupted when the face asks to stop, and
  // EConvertError, changing nothing, for a negative Count, a contents file that
  // already has Count records of a later layout, a contents file that is not a
  // regular file, or a contents or temporary file that is the project file (or
  // its save file). The contents file is replaced in one step before the
  // version is stamped. std::logic_error before any Convert.
  void To103();
  void To140();

  // The index of who reads which contents file, shared by the conversions of
  // one run (built once for the run, with every project of it); null gives
  // each conversion its own.
  void ShareReadersIndex(std::shared_ptr<ContentsOwners> owners) noexcept {
    options_.owners = std::move(owners);
  }

  // The store of the latest run that found its project file; null before.
  TMemIniFile* CurrentStore() noexcept { return store_.get(); }

 private:
  void ConvertProject(std::string_view projectPath);
  // The result as the run leaves it, with the facts it found.
  const ConversionResult& Finished();
  void RunPass(const Pass& pass);
  void RunPassHolding(const Pass& pass, FolderHolds& holds);
  bool PassCanStart(const Pass& pass, FolderHolds& holds);
  void SaveProject(const Pass& pass, PendingSave projectSave, const SaveFolder* projectIn,
                   bool namesFoundContents);
  bool FinishStoppedRun(FolderHolds& holds);
  void RaiseRefusal(const StopReason& stop);
  void RefuseChangedProject(const SaveFolder& in);
  std::optional<TMemIniFile> StoreNamingFoundContents() const;
  PendingSave SaveOverEdit(const Pass& pass, const SaveFolder* in, int attempt, PendingSave stale);
  void NameFoundContents();
  std::string ContentsPath();

  ConversionFace& face_;
  ConversionOptions options_;
  std::unique_ptr<TMemIniFile> store_;
  ChosenContents lastContents_;
  // What the running Convert has done so far.
  ConversionResult result_;
  // What the project files near a contents file name.
  std::shared_ptr<ContentsOwners> owners_ = std::make_shared<ContentsOwners>();
  // The folders the running Convert holds; null between runs.
  FolderHolds* holds_ = nullptr;
};

}  // namespace kwt
