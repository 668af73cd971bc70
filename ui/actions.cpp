#include "ui/actions.h"

#include "frame/application.h"
#include "runtime/texts.h"

namespace kwt::ui {

ShortCut ShortCutOf(unsigned virtualKey, bool shift, bool ctrl, bool alt) {
  ShortCut shortcut = static_cast<ShortCut>(virtualKey & 0xFF);
  if (shift) shortcut |= kShiftFlag;
  if (ctrl) shortcut |= kCtrlFlag;
  if (alt) shortcut |= kAltFlag;
  return shortcut;
}

std::string LinkedCaption(std::string_view buttonCaption, std::string_view buttonName,
                          std::string_view actionCaption) {
  if (buttonCaption.empty() || buttonCaption == buttonName) return std::string(actionCaption);
  return std::string(buttonCaption);
}

TAction::TAction(std::string caption, std::string hint, ShortCut shortcut)
    : caption_(std::move(caption)), hint_(std::move(hint)), shortcut_(shortcut) {}

TAction::~TAction() = default;

bool TAction::Execute() {
  if (!enabled_) return false;
  ExecuteTarget();
  return true;
}

TFileExit::TFileExit(frame::Application& application)
    : TAction(std::string(texts::kExitCaption), std::string(texts::kExitHint), kNoShortCut),
      application_(application) {}

void TFileExit::ExecuteTarget() {
  // No help file is set, so there is no help system to tell to quit.
  if (frame::Form* mainForm = application_.MainForm()) mainForm->Close();
}

TFileOpen::TFileOpen(frame::Application& application)
    : TAction(std::string(), std::string(texts::kOpenHint), kCtrlO), application_(application) {
  dialog_.SetFilter(texts::kOpenFilter);
}

void TFileOpen::ExecuteTarget() {
  if (BeforeExecute) BeforeExecute(*this);
  const HWND mainForm = application_.MainForm() != nullptr ? application_.MainForm()->Handle() : nullptr;
  if (dialog_.Execute(application_, mainForm) && OnAccept) OnAccept(*this);
}

TAction* TActionList::FindShortCut(ShortCut shortcut) const {
  if (shortcut == kNoShortCut) return nullptr;
  for (TAction* action : actions_) {
    if (action->Shortcut() == shortcut && action->Enabled()) return action;
  }
  return nullptr;
}

}  // namespace kwt::ui
