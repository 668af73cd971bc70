// The conversion driver and its two passes. They report through a face: the
// window, the command line or a test, each showing the status line and the
// target box in its own way. Errors are raised, never caught here: the face
// shows them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
};

struct ConversionOptions {
  // Converts this contents file in place of the one the project names (a
  // moved project); the project's stored path is left as it is.
  std::optional<std::string> contentsPath;
};

class Converter {
 public:
  explicit Converter(ConversionFace& face, ConversionOptions options = {});

  // Converts the project file at projectPath as far as its recorded version
  // needs: both passes below 103, the second from 103 to 139, none from 140.
  void Convert(std::string_view projectPath);
  // The passes, on the current store: layout 102 to 103, and 103 to 140. Each
  // raises EInOutError when a file operation fails, EFCreateError or
  // EWriteError when the project file cannot be rewritten (the contents file is
  // then still untouched), and EConvertError, changing nothing, for a negative
  // Count, a contents file that already has Count records of the new layout, or
  // a contents or temporary file that is the project file (or its save file).
  // The contents file is replaced in one step before the version is stamped.
  // std::logic_error before any Convert.
  void To103();
  void To140();

  // The store of the latest run that found its project file; null before.
  TMemIniFile* CurrentStore() noexcept { return store_.get(); }

 private:
  ConversionFace& face_;
  ConversionOptions options_;
  std::unique_ptr<TMemIniFile> store_;
};

}  // namespace kwt
