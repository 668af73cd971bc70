// What the status line costs inside the real window, and what the window
// adds to a whole conversion. Run by hand under Wine with a display:
//   xvfb-run -a scripts/wine-run build/win64/bench/window_bench.exe [records]
// Timed with a steady clock: Google Benchmark is not built for MinGW here.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion.h"
#include "frame/application.h"
#include "frame/display_text.h"
#include "kit/quiet_face.h"
#include "kit/temp_folder.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/texts.h"
#include "ui/device_context.h"
#include "ui/main.h"
#include "ui/painting.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kUpdates = 20000;
constexpr std::size_t kRecord103Size = 516;

std::string Progress(int record) {
  return std::string(kwt::texts::kStatusProgressPrefix) + std::to_string(record) +
         std::string(kwt::texts::kStatusProgressSuffix);
}

// Microseconds per call of step(i), over count calls, best of three rounds.
double PerCall(int count, const std::function<void(int)>& step) {
  double best = 1e300;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) step(round * count + i);
    const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
    best = std::min(best, spent.count() / count);
  }
  return best;
}

// A project of records zero-filled records at version 103 in folder.
std::string PrepareProject(const std::filesystem::path& folder, int records) {
  const std::filesystem::path contents = folder / L"data.KWT";
  {
    std::ofstream file(contents, std::ios::binary | std::ios::trunc);
    const std::string record(kRecord103Size, '\0');
    for (int i = 0; i < records; ++i) file.write(record.data(), static_cast<std::streamsize>(record.size()));
  }
  const std::string contentsBytes = kwt::encoding::WideToCp932(contents.wstring()).value_or("");
  const std::filesystem::path project = folder / L"project.kwj";
  std::ofstream file(project, std::ios::binary | std::ios::trunc);
  file << "[KWJ]\r\nVersion=103\r\nCount=" << records << "\r\nKWT=" << contentsBytes << "\r\n";
  return kwt::encoding::WideToCp932(project.wstring()).value_or("");
}

double SecondsToConvert(const std::filesystem::path& folder, int records,
                        const std::function<void(const std::string&)>& convert) {
  const std::string project = PrepareProject(folder, records);
  const auto start = Clock::now();
  convert(project);
  const std::chrono::duration<double> spent = Clock::now() - start;
  return spent.count();
}

// A shelf of projects of one layout-103 record each, their KWT full paths
// (the window takes a relative one from the current folder).
void PrepareShelf(const std::filesystem::path& folder, int projects) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string record(kRecord103Size, '\0');
  for (int i = 0; i < projects; ++i) {
    std::string name = "p";
    name += std::to_string(100000 + i);
    std::ofstream(folder / (name + ".KWT"), std::ios::binary) << record;
    const std::string contents =
        kwt::encoding::WideToCp932((folder / (name + ".KWT")).wstring()).value_or(std::string());
    std::ofstream(folder / (name + ".kwj"), std::ios::binary)
        << "[KWJ]\r\nVersion=103\r\nCount=1\r\nKWT=" << contents << "\r\n";
  }
}

// Answers the run's closing box as soon as it shows.
LRESULT CALLBACK CloseEveryBox(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    wchar_t name[16] = {};
    GetClassNameW(reinterpret_cast<HWND>(wparam), name, 16);
    if (std::wstring_view(name) == L"#32770")
      PostMessageW(reinterpret_cast<HWND>(wparam), WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
  kwt::frame::Application application;
  application.SetTitle(kwt::texts::kAppTitle);
  auto& form = application.CreateAppForm<kwt::ui::TfrmMain>();
  application.ShowMainForm(SW_SHOWNORMAL);
  while (application.ProcessMessage()) {
  }
  const HWND line = form.Txt3();
  RECT bounds{};
  GetClientRect(line, &bounds);

  std::vector<std::wstring> wide;
  for (int i = 0; i < 3 * kUpdates; ++i) wide.push_back(kwt::Cp932ToWideLossy(Progress(i)));

  const double direct = PerCall(kUpdates, [&](int i) {
    const kwt::ui::ClientDC dc = kwt::ui::ClientDCOf(line);
    kwt::ui::PaintStatusLine(dc.get(), bounds, wide[static_cast<std::size_t>(i)], form.Font());
  });
  const double setStatus = PerCall(kUpdates, [&](int i) { form.SetStatus(Progress(i)); });
  const double setAndMark = PerCall(kUpdates, [&](int i) {
    form.SetStatus(Progress(i + 1));
    InvalidateRect(line, nullptr, FALSE);
  });
  while (application.ProcessMessage()) {
  }
  // The plain way, on a plain centred static text in the line's place.
  const HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER, 16, 96, 289, 17,
                                     GetParent(line), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(plain, WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
  const double textAndRepaint = PerCall(kUpdates, [&](int i) {
    SetWindowTextW(plain, wide[static_cast<std::size_t>(i)].c_str());
    InvalidateRect(plain, nullptr, TRUE);
    UpdateWindow(plain);
  });
  DestroyWindow(plain);

  std::printf("status line, microseconds per update (best of 3 x %d):\n", kUpdates);
  std::printf("  direct GDI draw (fill, centred text)    %8.2f\n", direct);
  std::printf("  SetStatus                               %8.2f\n", setStatus);
  std::printf("  SetStatus, then marked for repaint      %8.2f\n", setAndMark);
  std::printf("  plain static: text change, full repaint %8.2f\n", textAndRepaint);

  const kwt::testing::TempFolder scratch("kwt-window-bench-");
  const std::filesystem::path& folder = scratch.path();
  kwt::testing::QuietFace silent;
  kwt::Converter alone(silent);
  // Interleaved, so that the machine's load falls on both alike.
  std::vector<double> core;
  std::vector<double> window;
  for (int round = 0; round < 3; ++round) {
    core.push_back(
        SecondsToConvert(folder, records, [&](const std::string& project) { alone.Convert(project); }));
    window.push_back(
        SecondsToConvert(folder, records, [&](const std::string& project) { form.Convert(project); }));
  }
  std::sort(core.begin(), core.end());
  std::sort(window.begin(), window.end());
  std::printf("conversion of %d records (103 to 140), seconds, median (min-max) of 3:\n", records);
  std::printf("  core alone                              %8.3f  (%.3f-%.3f)\n", core[1], core[0], core[2]);
  std::printf("  through the window                      %8.3f  (%.3f-%.3f)\n", window[1], window[0],
              window[2]);
  std::printf("  window / core                           %8.2f  (%.2f us per record more)\n",
              window[1] / core[1], (window[1] - core[1]) * 1e6 / records);
  // A shelf dropped on the window, closing box included: the time per
  // project should not grow with the shelf.
  std::printf("a dropped folder of one-record projects, milliseconds per project, best of 2:\n");
  const HHOOK hook = SetWindowsHookExW(WH_CBT, CloseEveryBox, nullptr, GetCurrentThreadId());
  for (const int projects : {50, 200, 1000}) {
    double best = 1e300;
    for (int round = 0; round < 2; ++round) {
      PrepareShelf(folder / L"shelf", projects);
      const auto start = Clock::now();
      form.ConvertDropped({(folder / L"shelf").wstring()});
      const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
      // Every project converted, or the figure says nothing.
      if (kwt::frame::WindowText(form.Txt3()).find(std::to_string(projects)) == std::string::npos) {
        std::printf("  %d projects: the run did not convert them all\n", projects);
      }
      best = std::min(best, spent.count() / projects);
    }
    std::printf("  %4d projects                           %8.2f\n", projects, best);
  }
  UnhookWindowsHookEx(hook);
  return 0;
}
