#include "ui/taskbar.h"

// After windows_api.h, which sets the Windows version the headers offer.
#include <shobjidl.h>

#include <utility>

#include "runtime/scoped_handle.h"

namespace kwt::ui {
namespace {

// A COM interface pointer of ours, released when its owner goes.
template <class Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle object) noexcept { return object != nullptr; }
  static bool Close(Handle object) noexcept {
    object->Release();
    return true;
  }
};
using TaskbarList = ScopedHandle<ComTraits<ITaskbarList3>>;

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
    // The list goes before the library it came from.
    list_.reset();
    if (comStarted_) CoUninitialize();
  }
  SystemTaskbar(const SystemTaskbar&) = delete;
  SystemTaskbar& operator=(const SystemTaskbar&) = delete;

  void ButtonCreated() override {
    if (!list_) Connect();
    // A button made again starts empty: it gets what the old one showed.
    if (list_ && state_ != TaskbarState::None) {
      list_.get()->SetProgressState(window_, FlagOf(state_));
      list_.get()->SetProgressValue(window_, done_, total_);
    }
  }

  void SetState(TaskbarState state) override {
    state_ = state;
    if (list_) list_.get()->SetProgressState(window_, FlagOf(state));
  }

  void SetValue(std::uint64_t done, std::uint64_t total) override {
    done_ = done;
    total_ = total;
    if (list_) list_.get()->SetProgressValue(window_, done, total);
  }

 private:
  void Connect() {
    if (!comStarted_) {
      // S_FALSE (already started on this thread) is balanced too; another
      // apartment kind started by someone else still serves, unbalanced.
      comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    ITaskbarList3* created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&created)))) {
      return;
    }
    TaskbarList list(created);
    if (list && SUCCEEDED(list.get()->HrInit())) list_ = std::move(list);
  }

  HWND window_;
  bool comStarted_ = false;
  TaskbarList list_;
  TaskbarState state_ = TaskbarState::None;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 1;
};

}  // namespace

std::unique_ptr<TaskbarProgress> SystemTaskbarProgress(HWND window) {
  return std::make_unique<SystemTaskbar>(window);
}

}  // namespace kwt::ui
