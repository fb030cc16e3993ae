// How long the host's window takes to show a flood of 10,000 lines from its
// partner, and the longest event-loop turn meanwhile. Two real main frames
// talk over loopback:  xvfb-run -a build/bench/bench_gui_flood
#include <unistd.h>
#include <wx/app.h>
#include <wx/evtloop.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "bench/bench_timing.h"
#include "core/chat/session.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"
#include "gui/frame/chat_panel.h"
#include "gui/frame/conversation_window.h"
#include "gui/frame/main_frame.h"
#include "support/loopback_port.h"

namespace {

using bench::Clock;
constexpr int kLines = 10000;

struct BenchApp : wxApp {
  bool OnInit() override { return true; }
};

// Runs event-loop turns (a GTK event, then pending wx events such as the
// reporter's drain) until done() or the timeout; returns the longest turn
// and sets *finished to whether done() came true.
double LongestTurn(const std::function<bool()>& done, double timeout_seconds, bool* finished) {
  double longest = 0;
  const auto end = Clock::now() + std::chrono::duration<double>(timeout_seconds);
  for (*finished = false; !*finished && Clock::now() < end;) {
    const auto start = Clock::now();
    wxEventLoopBase::GetActive()->DispatchTimeout(1);
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
    longest = std::max(longest, bench::Seconds(start));
    *finished = done();
  }
  return longest;
}

std::unique_ptr<ProgramSettings> Settings(const char* name, int port, const char* dir) {
  auto settings = std::make_unique<ProgramSettings>();
  settings->ScreenName = name;
  settings->QuilloPortNumber = port;
  settings->SettingsFilePath = std::string(dir) + "/" + name + ".ini";
  settings->EnableAudio = 0;
  return settings;
}

int Run() {
  char dir_template[] = "/tmp/quillo-bench-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  const int port = qtest::FreePort();
  auto host_settings = Settings("Ann", port, dir);
  auto client_settings = Settings("Bob", port, dir);
  auto* host = new MainFrame(*host_settings);
  auto* client = new MainFrame(*client_settings);
  host->Show();
  client->Show();
  bool ok = false;
  host->GetChatPanel()->Host();
  LongestTurn([&] { return host->Session().State() == SessionState::kHostingFree; }, 10, &ok);
  client->Session().Connect("127.0.0.1", SessionSnapshotOf(*client_settings));
  LongestTurn([&] { return client->Session().State() != SessionState::kConnecting; }, 10, &ok);
  client->Session().JoinConnect();
  LongestTurn([&] { return host->Session().State() == SessionState::kHostingBusy; }, 10, &ok);
  if (!ok) return std::fprintf(stderr, "no connection\n"), 1;
  const std::string last = "flood line " + std::to_string(kLines - 1) + "\n";
  const auto start = Clock::now();
  // A thread stands in for the partner's program, so the host's loop runs.
  std::thread sender([&] {
    for (int i = 0; i < kLines; ++i) client->Session().Send("flood line " + std::to_string(i));
  });
  const double longest = LongestTurn(
      [&] {  // the last line is at the end of the transcript
        const long end = host->Conversation()->GetLastPosition();
        return end > 0 &&
               host->Conversation()->GetRange(end - last.size() - 1, end) == wxString(last + "\n");
      },
      300, &ok);
  const double seconds = bench::Seconds(start);
  sender.join();
  std::printf("lines=%d shown=%s seconds=%.3f lines_per_second=%.0f longest_turn_ms=%.1f\n", kLines,
              ok ? "all" : "NOT ALL", seconds, kLines / seconds, longest * 1000);
  for (MainFrame* frame : {host, client}) {
    frame->Session().Close();
    frame->Destroy();
  }
  wxTheApp->ProcessPendingEvents();
  bool drained;  // the closing frames' events
  LongestTurn([] { return false; }, 0.1, &drained);
  std::system((std::string("rm -rf ") + dir).c_str());
  return ok ? 0 : 1;
}

}  // namespace

int main(int, char** argv) {
  wxApp::SetInstance(new BenchApp);
  int wx_argc = 1;
  char* wx_argv[] = {argv[0], nullptr};
  if (!wxEntryStart(wx_argc, wx_argv)) return 1;
  wxTheApp->CallOnInit();
  int result;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    result = Run();
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
