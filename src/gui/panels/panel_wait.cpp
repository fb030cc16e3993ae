#include "gui/panels/panel_wait.h"

#include <wx/app.h>
#include <wx/weakref.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "gui/panels/event_window.h"

namespace {

// A window that was destroyed, or will be at the next idle time.
bool Going(const wxWeakRef<wxWindow>& window) {
  return !window || window->IsBeingDeleted() || wxTheApp->IsScheduledForDestruction(window.get());
}

}  // namespace

PanelWait::PanelWait(EventWindow& window, wxWindow& owner) : window_(window), owner_(owner) {}

PanelWait::Outcome PanelWait::Wait(const std::function<ThreadState()>& state) {
  const wxWeakRef<wxWindow> window(&window_);
  const wxWeakRef<wxWindow> owner(&owner_);
  const int range = std::max(1, window_.Range());
  const int stride = std::max(1, range / (kSweepMilliseconds / kGaugeMilliseconds));
  const int turns_per_step = std::max(1, kGaugeMilliseconds / kTickMilliseconds);
  int step = 0;
  turns_ = 0;
  window_.SetRunning(true);
  for (;;) {
    const ThreadState now = state();
    if (now == ThreadState::EXITED) return Outcome::kExited;
    if (now == ThreadState::CANCELED || now == ThreadState::INVALID) return Outcome::kAbandoned;
    ++turns_;
    wxTheApp->Yield(true);
    wxTheApp->ProcessPendingEvents();
    if (Going(window) || Going(owner)) return Outcome::kAbandoned;
    if (turns_ % turns_per_step == 0) {
      step += stride;
      if (step >= range) step = 0;
      window_.SetValue(step);
    }
    if (window_.CancelCount() > 0) return Outcome::kCancelRequested;
    std::this_thread::sleep_for(std::chrono::milliseconds(kTickMilliseconds));
  }
}
