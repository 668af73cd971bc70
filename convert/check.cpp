#include "convert/check.h"

namespace kwt {

std::optional<std::uint64_t> ProjectCheck::ExpectedSize() const {
  if (count < 0) return std::nullopt;
  return static_cast<std::uint64_t>(count) * recordSize;
}

bool ProjectCheck::ConversionWouldFail() const {
  return static_cast<bool>(stop);
}

Verdict ProjectCheck::Outcome() const {
  if (stop) return Verdict::WillFail;
  return passes.empty() && finishesStoppedRun == 0 ? Verdict::UpToDate : Verdict::WillConvert;
}

ProjectCheck CheckProject(std::string_view project, const ConversionOptions& options) {
  ConversionPlan plan = PlanConversion(project, options);
  ProjectCheck check;
  check.project = std::move(plan.project);
  check.projectPresent = plan.projectPresent;
  check.version = plan.version;
  check.versionText = std::move(plan.versionText);
  if (plan.layout != nullptr) {
    check.layout = plan.layout->number;
    check.recordSize = plan.layout->recordSize;
  }
  check.count = plan.count;
  check.countText = std::move(plan.countText);
  check.contentsPath = plan.contents.path;
  if (plan.projectPresent && plan.contents.path != plan.contents.stored) {
    check.recordedContentsPath = plan.contents.stored;
  }
  check.contentsFoundBesideProject = plan.contents.foundBesideProject;
  check.contentsGivenInPlace = plan.contents.givenInPlaceOfStored;
  check.notes = std::move(plan.notes);
  check.contentsPresent = plan.contentsPresent;
  check.contentsSize = plan.contentsSize;
  check.sizeError = plan.sizeError;
  if (plan.stoppedRun != nullptr) check.finishesStoppedRun = plan.stoppedRun->stampedVersion;
  for (const Pass& pass : plan.passes) check.passes.push_back(pass.name);
  check.convertedLayout = plan.convertedLayout;
  check.recordsPresent = plan.recordsPresent;
  check.stop = std::move(plan.stop);
  return check;
}

}  // namespace kwt
