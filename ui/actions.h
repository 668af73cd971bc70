// The window's actions: a caption, a hint and a shortcut with something to
// run. The open action owns its open-file dialog for its whole life, so the
// dialog remembers the last accepted name between uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/open_dialog.h"

namespace kwt::frame {
class Application;
}

namespace kwt::ui {

// A key code with the modifier flags of the keys held with it.
using ShortCut = std::uint16_t;
inline constexpr ShortCut kShiftFlag = 0x2000;
inline constexpr ShortCut kCtrlFlag = 0x4000;
inline constexpr ShortCut kAltFlag = 0x8000;
inline constexpr ShortCut kNoShortCut = 0;
// Ctrl+O: 16463.
inline constexpr ShortCut kCtrlO = kCtrlFlag | 'O';

ShortCut ShortCutOf(unsigned virtualKey, bool shift, bool ctrl, bool alt);

// What a button linked to an action shows: the action's caption, unless the
// button has a caption of its own that is not merely its name.
std::string LinkedCaption(std::string_view buttonCaption, std::string_view buttonName,
                          std::string_view actionCaption);

class TAction {
 public:
  using Handler = std::function<void(TAction& sender)>;

  TAction(std::string caption, std::string hint, ShortCut shortcut);
  virtual ~TAction();
  TAction(const TAction&) = delete;
  TAction& operator=(const TAction&) = delete;

  const std::string& Caption() const noexcept { return caption_; }
  const std::string& Hint() const noexcept { return hint_; }
  ShortCut Shortcut() const noexcept { return shortcut_; }
  bool Enabled() const noexcept { return enabled_; }

  // Runs the action once when it is enabled; true when it ran.
  bool Execute();

 protected:
  // What the action does; each kind of action has its own.
  virtual void ExecuteTarget() = 0;

 private:
  std::string caption_;
  std::string hint_;
  ShortCut shortcut_;
  bool enabled_ = true;
};

// Closes the application's main form.
class TFileExit : public TAction {
 public:
  explicit TFileExit(frame::Application& application);

 protected:
  void ExecuteTarget() override;

 private:
  frame::Application& application_;
};

// Shows the open-file dialog, owned by the application window; an accepted
// name runs OnAccept, a cancelled or failed dialog nothing.
class TFileOpen : public TAction {
 public:
  explicit TFileOpen(frame::Application& application);

  TOpenDialog& Dialog() noexcept { return dialog_; }

  Handler BeforeExecute;
  Handler OnAccept;

 protected:
  void ExecuteTarget() override;

 private:
  frame::Application& application_;
  TOpenDialog dialog_;
};

// The actions of one window, for finding the one a key press belongs to.
class TActionList {
 public:
  void Add(TAction& action) { actions_.push_back(&action); }
  // The enabled action with this shortcut, or null.
  TAction* FindShortCut(ShortCut shortcut) const;

 private:
  std::vector<TAction*> actions_;
};

}  // namespace kwt::ui
