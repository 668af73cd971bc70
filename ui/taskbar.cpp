#include "ui/taskbar.h"

// After windows_api.h, which sets the Windows version the headers offer.
#include <shobjidl.h>

namespace kwt::ui {
namespace {

TBPFLAG FlagOf(TaskbarState state) {
  switch (state) {
    case TaskbarState::Normal: return TBPF_NORMAL;
    case TaskbarState::Paused: return TBPF_PAUSED;
    case TaskbarState::Error: return TBPF_ERROR;
    case TaskbarState::None: break;
  }
  return TBPF_NOPROGRESS;
}

class SystemTaskbar final : public TaskbarProgress {
 public:
  explicit SystemTaskbar(HWND window) : window_(window) {}
  ~SystemTaskbar() override {
    if (list_ != nullptr) list_->Release();
    if (comStarted_) CoUninitialize();
  }
  SystemTaskbar(const SystemTaskbar&) = delete;
  SystemTaskbar& operator=(const SystemTaskbar&) = delete;

  void ButtonCreated() override {
    if (list_ == nullptr) Connect();
    // A button made again starts empty: it gets what the old one showed.
    if (list_ != nullptr && state_ != TaskbarState::None) {
      list_->SetProgressState(window_, FlagOf(state_));
      list_->SetProgressValue(window_, done_, total_);
    }
  }

  void SetState(TaskbarState state) override {
    state_ = state;
    if (list_ != nullptr) list_->SetProgressState(window_, FlagOf(state));
  }

  void SetValue(std::uint64_t done, std::uint64_t total) override {
    done_ = done;
    total_ = total;
    if (list_ != nullptr) list_->SetProgressValue(window_, done, total);
  }

 private:
  void Connect() {
    if (!comStarted_) {
      // S_FALSE (already started on this thread) is balanced too; another
      // apartment kind started by someone else still serves, unbalanced.
      comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list))) ||
        list == nullptr) {
      return;
    }
    if (FAILED(list->HrInit())) {
      list->Release();
      return;
    }
    list_ = list;
  }

  HWND window_;
  bool comStarted_ = false;
  ITaskbarList3* list_ = nullptr;
  TaskbarState state_ = TaskbarState::None;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 1;
};

}  // namespace

std::unique_ptr<TaskbarProgress> SystemTaskbarProgress(HWND window) {
  return std::make_unique<SystemTaskbar>(window);
}

}  // namespace kwt::ui
