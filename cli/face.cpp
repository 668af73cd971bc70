#include "cli/face.h"

#include "cli/stop_request.h"

#include <algorithm>

#include "runtime/cp932_text.h"

namespace kwt::cli {

std::int32_t TargetWidthFor(int terminalColumns) {
  if (terminalColumns <= 0) return kDefaultTargetWidth;
  // The last column stays free: writing into it wraps some terminals early.
  return std::max(terminalColumns - 1 - kCounterRoom, kMinimumTargetWidth);
}

CommandLineFace::CommandLineFace(Console& console, Display display, std::int32_t targetWidth, int lineColumns,
                                 Clock clock)
    : console_(console),
      display_(display),
      targetWidth_(targetWidth),
      lineColumns_(lineColumns),
      clock_(clock) {}

void CommandLineFace::SetStatus(std::string_view text) {
  status_.assign(text);
  if (display_ == Display::Trace) Trace("status\t", text);
  if (display_ == Display::ProgressLine) MaybeDraw();
}

void CommandLineFace::SetTarget(std::string_view text) {
  target_.assign(text);
  if (display_ == Display::Trace) Trace("target\t", text);
  if (display_ == Display::ProgressLine) MaybeDraw();
}

void CommandLineFace::BeginProject() {
  status_.clear();
  target_.clear();
}

void CommandLineFace::EndProject() {
  if (shownColumns_ == 0) return;
  line_.clear();
  line_ += '\r';
  line_.append(shownColumns_, ' ');
  line_ += '\r';
  console_.Write(Stream::Out, line_);
  console_.Flush(Stream::Out);
  shownColumns_ = 0;
  // The next project's first text is drawn at once.
  drawnOnce_ = false;
}

void CommandLineFace::Trace(std::string_view kind, std::string_view text) {
  line_.assign(kind);
  line_ += text;
  line_ += '\n';
  console_.Write(Stream::Out, line_);
  // Scripts read the trace as it happens.
  console_.Flush(Stream::Out);
}

void CommandLineFace::MaybeDraw() {
  // The clock, not a record count, limits the drawings: a million records
  // cost a million clock readings but only ten drawings a second.
  const auto now = clock_();
  if (drawnOnce_ && now - lastDrawing_ < kRedrawInterval) return;
  drawnOnce_ = true;
  lastDrawing_ = now;
  Draw();
}

void CommandLineFace::Draw() {
  std::string text = status_;
  if (!target_.empty()) {
    if (!text.empty()) text += ' ';
    text += target_;
  }
  const std::size_t limit = lineColumns_ > 1 ? static_cast<std::size_t>(lineColumns_ - 1) : text.size();
  // One column per byte, which is how code page 932 fills a terminal.
  const std::string_view fitted = CutToWholeCharacters(text, limit);
  line_.clear();
  line_ += '\r';
  line_ += fitted;
  // Spaces wipe what a longer previous line left behind.
  if (fitted.size() < shownColumns_) line_.append(shownColumns_ - fitted.size(), ' ');
  console_.Write(Stream::Out, line_);
  console_.Flush(Stream::Out);
  shownColumns_ = std::max(shownColumns_, fitted.size());
  ++drawings_;
}

bool CommandLineFace::StopRequested() {
  return cli::StopRequested();
}

}  // namespace kwt::cli
