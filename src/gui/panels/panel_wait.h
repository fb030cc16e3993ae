#ifndef QUILLO_GUI_PANELS_PANEL_WAIT_H
#define QUILLO_GUI_PANELS_PANEL_WAIT_H

#include <functional>

#include "core/thread/thread_texts.h"

class EventWindow;
class wxWindow;

// The waiting loop of a panel that has started a worker thread: on the GUI
// thread, until the worker's state is EXITED, it lets the toolkit process
// pending events (so Cancel and the rest of the program answer), steps the
// event window's gauge and watches its cancel counter.
//
// Between two turns the loop sleeps for kTickMilliseconds instead of
// spinning, so a wait of any length costs next to no processor time while
// Cancel still answers within a few hundredths of a second. Redrawing the
// gauge costs far more than a turn, so the gauge moves only every
// kGaugeMilliseconds, each time by the share of its range that makes one
// sweep last about kSweepMilliseconds, whatever range the caller set.
//
// The caller sets the event window's range before Wait and clears the
// running mark afterwards; Wait sets it.
class PanelWait {
 public:
  static constexpr int kTickMilliseconds = 25;
  static constexpr int kGaugeMilliseconds = 100;
  static constexpr int kSweepMilliseconds = 2000;

  enum class Outcome {
    kExited,           // the worker's state became EXITED
    kCancelRequested,  // the user pressed Cancel (or closed the window)
    // The thread was taken away by someone else (its state became CANCELED
    // or INVALID), or a window of the wait is being destroyed because the
    // program is closing: the caller must not touch the windows again.
    kAbandoned,
  };

  // owner: the panel that waits; both windows must exist when Wait starts.
  PanelWait(EventWindow& window, wxWindow& owner);

  // state() reports the worker's state; it is asked once per turn.
  Outcome Wait(const std::function<ThreadState()>& state);

  // Turns taken by the last Wait.
  long Turns() const { return turns_; }

 private:
  EventWindow& window_;
  wxWindow& owner_;
  long turns_ = 0;
};

#endif  // QUILLO_GUI_PANELS_PANEL_WAIT_H
