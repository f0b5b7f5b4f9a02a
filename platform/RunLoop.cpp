#include "platform/RunLoop.h"

#include <X11/Xlib.h>

#include <X11/Xutil.h>
#include <errno.h>
#include <poll.h>

#include <climits>
#include <cmath>
#include <cstdlib>

#include "platform/X11Errors.h"
#include "platform/X11Window.h"

RunLoop::RunLoop(Display* display, FrameClock* clock)
    : display_(display), clock_(clock != nullptr ? clock : &monotonic_) {
  if (display_ != nullptr) X11Errors::Install();
}

void RunLoop::Add(ScreenSaverView* view, X11Window* window) {
  if (view == nullptr) return;
  Entry entry;
  entry.view = view;
  entry.window = window;
  entries_.push_back(entry);
}

int RunLoop::PollTimeoutMs(double seconds) {
  if (!(seconds >= 0)) return -1;
  const double ms = std::ceil(seconds * 1000.0);
  return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

RunLoop::Entry* RunLoop::EntryFor(unsigned long window) {
  for (Entry& e : entries_) {
    if (e.window != nullptr && e.window->id() == window) return &e;
  }
  return nullptr;
}

bool RunLoop::Apply(Action action, Exit* exit) {
  if (action != Action::Quit) return false;
  *exit = Exit::Quit;
  return true;
}

void RunLoop::SyncPacers(double now) {
  for (Entry& e : entries_) {
    if (e.view->isAnimating() && !e.pacer.running()) {
      e.pacer.Start(now, e.view->animationTimeInterval());
    } else if (!e.view->isAnimating() && e.pacer.running()) {
      e.pacer.Stop();
    }
  }
}

bool RunLoop::CheckLost(Exit* exit) {
  for (const Entry& e : entries_) {
    if (e.window != nullptr && e.window->lost()) {
      *exit = Exit::WindowLost;
      return true;
    }
  }
  return false;
}

bool RunLoop::HandleEvent(const XEvent& event, Exit* exit) {
  Entry* entry = EntryFor(event.xany.window);
  if (event.type == DestroyNotify) entry = EntryFor(event.xdestroywindow.window);
  if (entry == nullptr) return false;
  ScreenSaverView& view = *entry->view;
  switch (event.type) {
    case DestroyNotify:
      if (event.xdestroywindow.window != entry->window->id()) return false;
      entry->window->MarkDestroyed();
      *exit = Exit::WindowLost;
      return true;
    case ConfigureNotify:
      if (entry->window->NoteConfigure(event.xconfigure)) {
        view.setFrameSize(entry->window->width(), entry->window->height());
      }
      return false;
    case ClientMessage:
      if (!entry->window->IsDeleteRequest(event.xclient)) return false;
      if (!hooks.closeRequested) {
        *exit = Exit::Closed;
        return true;
      }
      return Apply(hooks.closeRequested(view), exit);
    case KeyPress: {
      if (!hooks.keyPress) return false;
      XKeyEvent key = event.xkey;
      KeySym sym = NoSymbol;
      char text[8];
      XLookupString(&key, text, sizeof text, &sym, nullptr);
      return Apply(hooks.keyPress(view, sym), exit);
    }
    case ButtonPress:
      if (!hooks.buttonPress) return false;
      return Apply(hooks.buttonPress(view, event.xbutton.button), exit);
    case MotionNotify: {
      const int x = event.xmotion.x_root, y = event.xmotion.y_root;
      if (!pointerKnown_) {
        pointerKnown_ = true;
        pointerX_ = x;
        pointerY_ = y;
        return false;
      }
      if (std::abs(x - pointerX_) <= motionSlop && std::abs(y - pointerY_) <= motionSlop) {
        return false;
      }
      if (!hooks.pointerMoved) return false;
      return Apply(hooks.pointerMoved(view), exit);
    }
    case Expose:
      if (event.xexpose.count == 0) {
        view.setNeedsDisplay();
        if (hooks.exposed) hooks.exposed(view);
      }
      return false;
    default:
      return false;
  }
}

RunLoop::Exit RunLoop::Run() {
  quit_ = false;
  Exit exit = Exit::Quit;
  for (;;) {
    // Events first: Xlib may already hold some that arrived during GLX calls.
    while (display_ != nullptr && XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (HandleEvent(event, &exit)) return exit;
      if (quit_) return Exit::Quit;
    }
    if (CheckLost(&exit)) return exit;

    double now = clock_->Now();
    SyncPacers(now);
    for (Entry& e : entries_) {
      if (!e.pacer.Due(now)) continue;
      e.view->animateOneFrame();
      if (quit_) return Exit::Quit;
      if (CheckLost(&exit)) return exit;
      now = clock_->Now();
      e.pacer.Advance(now);
      // The frame may have stopped or restarted this view or another one.
      SyncPacers(now);
    }

    double wait = -1;
    for (const Entry& e : entries_) {
      const double s = e.pacer.SecondsUntilDue(now);
      if (s >= 0 && (wait < 0 || s < wait)) wait = s;
    }
    if (display_ != nullptr) XFlush(display_);

    pollfd fds[2];
    nfds_t count = 0;
    if (signals_.ok()) fds[count++] = pollfd{signals_.fd(), POLLIN, 0};
    const nfds_t xIndex = count;
    if (display_ != nullptr) fds[count++] = pollfd{ConnectionNumber(display_), POLLIN, 0};
    if (count == 0 && wait < 0) return Exit::Quit;  // nothing could ever wake the loop
    const int ready = poll(fds, count, PollTimeoutMs(wait));
    ++wakeups_;
    if (ready < 0 && errno != EINTR) return Exit::ConnectionLost;
    if (ready <= 0) continue;
    if (signals_.ok() && (fds[0].revents & POLLIN) != 0) {
      signals_.Take();
      return Exit::Signal;
    }
    if (display_ != nullptr && (fds[xIndex].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      return Exit::ConnectionLost;
    }
  }
}
