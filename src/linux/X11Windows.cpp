// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11Windows.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "linux/TimingsLinux.h"

namespace pictrane::linux_desktop::x11 {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(kWindowPollMs);
constexpr auto kRetryInterval = std::chrono::milliseconds(kWindowAskAgainMs);

constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;
constexpr long kSourcePager = 2;

}  // namespace

void X11Windows::HandleEvent(const XEvent& Event) {
  switch (Event.type) {
    case DestroyNotify:
      Selected_.erase(Event.xdestroywindow.window);
      if (Event.xdestroywindow.window == CachedFocus_) {
        CachedFocus_ = 0;
        CachedProcess_ = 0;
      }
      if (Event.xdestroywindow.window == Watched_) WatchLost_ = true;
      break;
    case UnmapNotify:
      if (Event.xunmap.window == Watched_ && Event.xunmap.serial >= WatchSerial_) WatchLost_ = true;
      break;
    case FocusOut:
      // A grab by anyone but us takes the keys, wherever its window is; the end of a grab gives
      // them back. Otherwise only a move out of the top-level and its own windows is a loss.
      if (Event.xfocus.window != Watched_ || Event.xfocus.serial < WatchSerial_) break;
      if (Event.xfocus.mode == NotifyGrab) {
        if (Event.xfocus.serial != OwnGrabSerial_) WatchLost_ = true;
      } else if (Event.xfocus.mode != NotifyUngrab && Event.xfocus.detail != NotifyInferior) {
        WatchLost_ = true;
      }
      break;
    default:
      break;
  }
}

KeysOutcome X11Windows::WatchFocus(KeyTarget& Target) {
  ErrorTrap Trap(C_.D);
  Trap.Settled();  // a reply follows every request below
  C_.DrainEvents();
  const bool Intact =
      Watched_ != 0 && !WatchLost_ && Target.Judge(WatchedProcess_) == KeyTarget::Verdict::Owned;
  // The previous key string's closing look found the focus here and the keyboard free, and no
  // event since says otherwise: no round trip at all.
  const bool Free = std::exchange(KeyboardFree_, false);
  if (Intact && Free) return KeysOutcome::Sent;
  // Still watching the tool's window: its events are selected, so one question settles the focus
  // (a change since then shows in the answer or is in our queue by then), and the grab attempt
  // the keyboard.
  if (Intact) {
    const Window Now = Tree_.FocusedWindow();
    C_.DrainEvents();
    if (!WatchLost_ && Tree_.IsWithin(Now, Watched_)) return CheckGrab(Now, Target);
  }
  Watched_ = 0;
  WatchedProcess_ = 0;
  Window Focus = 0;
  ProcessId Owner = 0;
  for (;;) {
    Focus = Tree_.FocusedWindow();
    Owner = Focus == 0 ? 0 : OwnerOfFocus(Focus);
    if (Focus != 0 && Owner == 0) Owner = kUnknownProcess;
    const KeyTarget::Verdict Verdict = Target.Judge(Owner);
    if (Verdict == KeyTarget::Verdict::Foreign) return KeysOutcome::FocusLost;
    if (Verdict == KeyTarget::Verdict::Owned) break;
  }
  const Window Top = Tree_.TopLevelOf(Focus);
  if (Top == 0) return KeysOutcome::FocusLost;
  Select(Top, FocusChangeMask | StructureNotifyMask);
  // Asked again after the selection: a change between the two questions is either seen here or
  // sent to us as an event, and events from before this request do not count.
  WatchSerial_ = NextRequest(C_.D);
  const Window Now = Tree_.FocusedWindow();  // its reply brings any error of the selection with it
  if (!Tree_.IsWithin(Now, Top)) return KeysOutcome::FocusLost;
  Watched_ = Top;
  WatchedProcess_ = Owner;
  WatchLost_ = false;
  C_.DrainEvents();
  if (WatchLost_) return KeysOutcome::FocusLost;
  return CheckGrab(Now, Target);
}

// The grab is tried on the focus window itself, so the focus events the server reports for it
// (a focus-out of mode Grab and one of mode Ungrab, both on that window) stay on the window the
// keys are for, and the focus comes back to it before any key. The release needs no reply, but
// is sent at once: no key may follow (the last look of a string is after its last key), and a
// grab left with us would take every key typed on this display.
KeysOutcome X11Windows::CheckGrab(Window Focus, KeyTarget& Target) {
  LookedFocus_ = Focus;
  OwnGrabSerial_ = NextRequest(C_.D);
  const int Answer = XGrabKeyboard(C_.D, Focus, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (Answer == GrabSuccess) {
    XUngrabKeyboard(C_.D, CurrentTime);
    XFlush(C_.D);
    return KeysOutcome::Sent;
  }
  if (Answer == GrabNotViewable) return KeysOutcome::FocusLost;
  // AlreadyGrabbed, or frozen by someone's synchronous grab: the tool's own menu, or a stranger.
  return Target.Judge(GrabHolder()) == KeyTarget::Verdict::Owned ? KeysOutcome::Sent
                                                                 : KeysOutcome::KeyboardGrabbed;
}

// The grab attempt is the round trip a key string needs anyway (it has the server take the
// string's events), so the next string can start with none, unless an event tells of a change
// meanwhile: a focus move, or a grab, which the watched window hears of as a focus-out.
void X11Windows::CloseLook(const std::function<void()>& Replied) {
  ErrorTrap Trap(C_.D);
  if (Watched_ == 0 || WatchLost_ || LookedFocus_ == 0) {
    Trap.Sync();
    Replied();
    return;
  }
  OwnGrabSerial_ = NextRequest(C_.D);
  const int Answer =
      XGrabKeyboard(C_.D, LookedFocus_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  // The reply has come, with any error: a window gone meanwhile answers with one, which Xlib
  // reports as success.
  const bool Refused = Trap.Settled() != 0;
  Replied();
  const bool Grabbed = Answer == GrabSuccess && !Refused;
  if (Answer == GrabSuccess) {
    XUngrabKeyboard(C_.D, CurrentTime);
    XFlush(C_.D);
  }
  C_.DrainEvents();
  KeyboardFree_ = Grabbed && !WatchLost_;
}

ProcessId X11Windows::GrabHolder() const {
  ErrorTrap Trap(C_.D);  // windows may go while we look
  Trap.Settled();
  ProcessId Holder = kUnknownProcess;
  Tree_.ForEachShownTop(true, [&](Window W) {
    const ProcessId Found = Tree_.ProcessOf(W);
    Holder = Found != 0 ? Found : kUnknownProcess;
    return false;
  });
  return Holder;
}

bool X11Windows::FocusStillWatched() {
  C_.DrainEvents();
  return Watched_ != 0 && !WatchLost_;
}

void X11Windows::Select(Window W, long Mask) {
  long& Current = Selected_[W];
  if ((Current & Mask) == Mask) return;
  Current |= Mask;
  XSelectInput(C_.D, W, Current);
}

// The process of the focused window: of the window itself or an ancestor, or at the top, of
// the client inside a window manager's frame.
ProcessId X11Windows::OwnerOfFocus(Window Focus) const {
  if (Focus != 0 && Focus == CachedFocus_) return CachedProcess_;
  Window W = Focus;
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    if (ProcessId Found = Tree_.ProcessOf(W)) return Found;
    const Window Parent = Tree_.ParentOf(W);
    if (Parent == 0) break;
    if (Parent == C_.Root) return Tree_.ProcessOf(Tree_.ClientBelow(W));
    W = Parent;
  }
  return 0;
}

void X11Windows::SendToRoot(Window W, Atom Message, long A0, long A1, long A2, long A3) {
  XEvent Event{};
  Event.xclient.type = ClientMessage;
  Event.xclient.window = W;
  Event.xclient.message_type = Message;
  Event.xclient.format = 32;
  Event.xclient.data.l[0] = A0;
  Event.xclient.data.l[1] = A1;
  Event.xclient.data.l[2] = A2;
  Event.xclient.data.l[3] = A3;
  XSendEvent(C_.D, C_.Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &Event);
}

void X11Windows::Maximise(const TopLevel& Top) {
  if (Tree_.WindowManagerSupports(C_.NetMaxVert) && Tree_.WindowManagerSupports(C_.NetMaxHorz)) {
    SendToRoot(Top.Client, C_.NetWmState, kNetWmStateAdd, static_cast<long>(C_.NetMaxVert),
               static_cast<long>(C_.NetMaxHorz), kSourceApplication);
  } else {
    // Without a window manager nobody else places the window; with one that cannot maximise,
    // this asks it for the whole screen.
    const Window Sized = Tree_.WindowManagerRuns() ? Top.Client : Top.Frame;
    XMoveResizeWindow(C_.D, Sized, 0, 0, static_cast<unsigned>(C_.ScreenWidth),
                      static_cast<unsigned>(C_.ScreenHeight));
  }
  XFlush(C_.D);
}

bool X11Windows::IsMaximised(const TopLevel& Top) const {
  if (Tree_.WindowManagerSupports(C_.NetMaxVert) && Tree_.WindowManagerSupports(C_.NetMaxHorz)) {
    std::vector<unsigned long> States = Tree_.Property32(Top.Client, C_.NetWmState, XA_ATOM);
    auto Has = [&](Atom A) { return std::find(States.begin(), States.end(), A) != States.end(); };
    return Has(C_.NetMaxVert) && Has(C_.NetMaxHorz);
  }
  // A window manager without maximising keeps a work area of its own that we cannot know.
  if (Tree_.WindowManagerRuns()) return true;
  XWindowAttributes Attributes;
  if (!XGetWindowAttributes(C_.D, Top.Frame, &Attributes)) return false;
  return Attributes.x == 0 && Attributes.y == 0 && Attributes.width == C_.ScreenWidth &&
         Attributes.height == C_.ScreenHeight;
}

void X11Windows::Activate(Window W) {
  if (Tree_.WindowManagerSupports(C_.NetActiveWindow))
    SendToRoot(W, C_.NetActiveWindow, kSourcePager, CurrentTime, 0, 0);
  XRaiseWindow(C_.D, W);
  XSetInputFocus(C_.D, W, RevertToParent, CurrentTime);
  XFlush(C_.D);
}

ProcessId X11Windows::FocusedProcess() {
  ErrorTrap Trap(C_.D);
  Trap.Settled();  // only requests with replies follow: their errors come with them
  const Window Focus = Tree_.FocusedWindow();
  // A destruction of the cached window reached us before the reply above did.
  C_.DrainEvents();
  if (Focus == 0) return 0;
  const ProcessId Found = OwnerOfFocus(Focus);
  if (Found != 0 && Focus != CachedFocus_) {
    // Watch for its destruction, so that a later window given the same id is looked up anew.
    Select(Focus, StructureNotifyMask);
    Trap.Unsettled();
    CachedFocus_ = Focus;
    CachedProcess_ = Found;
  }
  return Found != 0 ? Found : kUnknownProcess;
}

std::vector<TopLevelWindow> X11Windows::TopLevelWindows() {
  ErrorTrap Trap(C_.D);
  std::vector<TopLevelWindow> Found;
  for (const TopLevel& Top : Tree_.TopLevelsOf(std::nullopt)) {
    const ProcessId Process = Tree_.ProcessOf(Top.Client);
    Found.push_back(TopLevelWindow{Top.Frame, Process != 0 ? Process : kUnknownProcess});
  }
  return Found;
}

bool X11Windows::ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs) {
  if (Process <= 0) return false;
  const auto Deadline = SteadyClock::now() + std::chrono::milliseconds(TimeoutMs);
  TopLevel Found;
  for (;;) {
    {
      ErrorTrap Trap(C_.D);
      const std::vector<TopLevel> Windows = Tree_.TopLevelsOf(Process);
      if (!Windows.empty()) {
        Found = Windows.front();
        break;
      }
    }
    if (SteadyClock::now() >= Deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }

  bool Asked = false;
  auto LastAsked = SteadyClock::time_point{};
  for (;;) {
    bool Maximised = false;
    {
      ErrorTrap Trap(C_.D);
      Maximised = IsMaximised(Found);
    }
    const bool Focused = FocusedProcess() == Process;
    if (Focused && Maximised) return true;
    if (SteadyClock::now() >= Deadline) return Focused;
    // Asked again now and then: a program may still be placing or focusing its own window.
    if (!Asked || SteadyClock::now() - LastAsked >= kRetryInterval) {
      ErrorTrap Trap(C_.D);
      if (!Maximised) Maximise(Found);
      if (!Focused || !Asked) Activate(Found.Client);
      Asked = true;
      LastAsked = SteadyClock::now();
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

bool X11Windows::FocusWindow(Window W, int TimeoutMs) {
  const auto Deadline = SteadyClock::now() + std::chrono::milliseconds(TimeoutMs);
  auto LastAsked = SteadyClock::time_point{};
  for (;;) {
    {
      ErrorTrap Trap(C_.D);
      if (Tree_.IsWithin(Tree_.FocusedWindow(), W)) return true;
      if (SteadyClock::now() - LastAsked >= kRetryInterval) {
        Activate(W);
        LastAsked = SteadyClock::now();
      }
    }
    if (SteadyClock::now() >= Deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

bool X11Windows::CloseWindowsOf(ProcessId Process) {
  if (Process <= 0) return false;
  ErrorTrap Trap(C_.D);
  const auto TakesDelete = [this](Window W) {
    const std::vector<unsigned long> Protocols = Tree_.Property32(W, C_.WmProtocols, XA_ATOM);
    return std::find(Protocols.begin(), Protocols.end(), C_.WmDeleteWindow) != Protocols.end();
  };
  const auto SendDelete = [this](Window W) {
    XEvent Event{};
    Event.xclient.type = ClientMessage;
    Event.xclient.window = W;
    Event.xclient.message_type = C_.WmProtocols;
    Event.xclient.format = 32;
    Event.xclient.data.l[0] = static_cast<long>(C_.WmDeleteWindow);
    Event.xclient.data.l[1] = CurrentTime;
    XSendEvent(C_.D, W, False, NoEventMask, &Event);
  };
  const std::vector<TopLevel> Windows = Tree_.TopLevelsOf(Process);
  // A window manager decides how its windows close (and ends a client that does not take close
  // requests); without one, a client that takes them gets the close box's message itself.
  const bool ThroughManager = !Windows.empty() && Tree_.WindowManagerSupports(C_.NetCloseWindow);
  for (const TopLevel& Top : Windows) {
    if (ThroughManager)
      SendToRoot(Top.Client, C_.NetCloseWindow, CurrentTime, kSourcePager, 0, 0);
    else if (TakesDelete(Top.Client))
      SendDelete(Top.Client);
  }
  // A program still starting may have made its window without mapping it: no window manager
  // frames it yet, so it is a child of the root of its own.
  bool Unmapped = false;
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (XQueryTree(C_.D, C_.Root, &RootReturn, &Parent, &Children, &Count)) {
    for (unsigned I = 0; I < Count; ++I) {
      XWindowAttributes Attributes;
      if (!XGetWindowAttributes(C_.D, Children[I], &Attributes) || Attributes.override_redirect ||
          Attributes.c_class == InputOnly || Attributes.map_state != IsUnmapped ||
          Tree_.ProcessOf(Children[I]) != Process || !TakesDelete(Children[I]))
        continue;
      SendDelete(Children[I]);
      Unmapped = true;
    }
    if (Children) XFree(Children);
  }
  Trap.Sync();
  return !Windows.empty() || Unmapped;
}

}  // namespace pictrane::linux_desktop::x11
