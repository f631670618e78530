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
    const Window Now = FocusedWindow();
    C_.DrainEvents();
    if (!WatchLost_ && IsWithin(Now, Watched_)) return CheckGrab(Now, Target);
  }
  Watched_ = 0;
  WatchedProcess_ = 0;
  Window Focus = 0;
  ProcessId Owner = 0;
  for (;;) {
    Focus = FocusedWindow();
    Owner = Focus == 0 ? 0 : OwnerOfFocus(Focus);
    if (Focus != 0 && Owner == 0) Owner = kUnknownProcess;
    const KeyTarget::Verdict Verdict = Target.Judge(Owner);
    if (Verdict == KeyTarget::Verdict::Foreign) return KeysOutcome::FocusLost;
    if (Verdict == KeyTarget::Verdict::Owned) break;
  }
  const Window Top = TopLevelOf(Focus);
  if (Top == 0) return KeysOutcome::FocusLost;
  Select(Top, FocusChangeMask | StructureNotifyMask);
  // Asked again after the selection: a change between the two questions is either seen here or
  // sent to us as an event, and events from before this request do not count.
  WatchSerial_ = NextRequest(C_.D);
  const Window Now = FocusedWindow();  // its reply brings any error of the selection with it
  if (!IsWithin(Now, Top)) return KeysOutcome::FocusLost;
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
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(C_.D, C_.Root, &RootReturn, &Parent, &Children, &Count)) return kUnknownProcess;
  std::vector<Window> Stack(Children, Children + Count);
  if (Children) XFree(Children);
  for (auto It = Stack.rbegin(); It != Stack.rend(); ++It) {
    XWindowAttributes Attributes;
    if (!XGetWindowAttributes(C_.D, *It, &Attributes)) continue;
    if (!Attributes.override_redirect || Attributes.c_class == InputOnly ||
        Attributes.map_state != IsViewable)
      continue;
    const ProcessId Found = ProcessOf(*It);
    return Found != 0 ? Found : kUnknownProcess;
  }
  return kUnknownProcess;
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

std::vector<unsigned long> X11Windows::Property32(Window W, Atom Name, Atom Type) const {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  std::vector<unsigned long> Values;
  if (XGetWindowProperty(C_.D, W, Name, 0, 1024, False, Type, &Actual, &Format, &Count, &After,
                         &Data) != Success)
    return Values;
  if (Data && Actual == Type && Format == 32) {
    // Xlib hands 32-bit items to the client as longs.
    const auto* Items = reinterpret_cast<const unsigned long*>(Data);
    Values.assign(Items, Items + Count);
  }
  if (Data) XFree(Data);
  return Values;
}

bool X11Windows::HasProperty(Window W, Atom Name) const {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  if (XGetWindowProperty(C_.D, W, Name, 0, 0, False, AnyPropertyType, &Actual, &Format, &Count,
                         &After, &Data) != Success)
    return false;
  if (Data) XFree(Data);
  return Actual != 0;
}

ProcessId X11Windows::ProcessOf(Window W) const {
  if (W == 0) return 0;
  std::vector<unsigned long> Pid = Property32(W, C_.NetWmPid, XA_CARDINAL);
  if (!Pid.empty()) return static_cast<ProcessId>(Pid.front());
  std::vector<unsigned long> Leader = Property32(W, C_.WmClientLeader, XA_WINDOW);
  if (!Leader.empty() && Leader.front() != W) {
    Pid = Property32(Leader.front(), C_.NetWmPid, XA_CARDINAL);
    if (!Pid.empty()) return static_cast<ProcessId>(Pid.front());
  }
  return 0;
}

// The process of the focused window: of the window itself or an ancestor, or at the top, of
// the client inside a window manager's frame.
ProcessId X11Windows::OwnerOfFocus(Window Focus) const {
  if (Focus != 0 && Focus == CachedFocus_) return CachedProcess_;
  Window W = Focus;
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    if (ProcessId Found = ProcessOf(W)) return Found;
    const Window Parent = ParentOf(W);
    if (Parent == 0) break;
    if (Parent == C_.Root) return ProcessOf(ClientBelow(W));
    W = Parent;
  }
  return 0;
}

// The client window of a top-level: itself, or the window below a window manager's frame that
// carries WM_STATE (or a process id). Top itself when there is none.
Window X11Windows::ClientBelow(Window Top) const {
  if (HasProperty(Top, C_.WmState) || HasProperty(Top, C_.NetWmPid)) return Top;
  std::vector<Window> Level{Top};
  for (int Depth = 0; Depth < 4 && !Level.empty(); ++Depth) {
    std::vector<Window> Next;
    for (Window W : Level) {
      Window RootReturn = 0, Parent = 0, *Children = nullptr;
      unsigned Count = 0;
      if (!XQueryTree(C_.D, W, &RootReturn, &Parent, &Children, &Count)) continue;
      for (unsigned I = 0; I < Count; ++I) Next.push_back(Children[I]);
      if (Children) XFree(Children);
    }
    for (Window W : Next)
      if (HasProperty(W, C_.WmState) || HasProperty(W, C_.NetWmPid)) return W;
    Level = std::move(Next);
  }
  return Top;
}

Window X11Windows::ParentOf(Window W) const {
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(C_.D, W, &RootReturn, &Parent, &Children, &Count)) return 0;
  if (Children) XFree(Children);
  return Parent;
}

// The child of the root that holds W (W itself when it is one); 0 when W is gone.
Window X11Windows::TopLevelOf(Window W) const {
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    const Window Parent = ParentOf(W);
    if (Parent == C_.Root) return W;
    W = Parent;
  }
  return 0;
}

bool X11Windows::IsWithin(Window W, Window Ancestor) const {
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    if (W == Ancestor) return true;
    if (W == C_.Root) return false;
    W = ParentOf(W);
  }
  return false;
}

Window X11Windows::FocusedWindow() const {
  Window Focus = 0;
  int Revert = 0;
  XGetInputFocus(C_.D, &Focus, &Revert);
  if (Focus == PointerRoot) {
    // Keys go to the window under the pointer.
    Window RootReturn = 0, Child = 0;
    int RootX = 0, RootY = 0, X = 0, Y = 0;
    unsigned Mask = 0;
    if (!XQueryPointer(C_.D, C_.Root, &RootReturn, &Child, &RootX, &RootY, &X, &Y, &Mask)) return 0;
    return Child;
  }
  return Focus == C_.Root ? 0 : Focus;
}

// The viewable top-level windows of Process (of every process without one), topmost first.
std::vector<X11Windows::TopLevel> X11Windows::TopLevelsOf(std::optional<ProcessId> Process) const {
  std::vector<TopLevel> Found;
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(C_.D, C_.Root, &RootReturn, &Parent, &Children, &Count)) return Found;
  std::vector<Window> Stack(Children, Children + Count);
  if (Children) XFree(Children);
  for (auto It = Stack.rbegin(); It != Stack.rend(); ++It) {
    XWindowAttributes Attributes;
    if (!XGetWindowAttributes(C_.D, *It, &Attributes)) continue;
    if (Attributes.override_redirect || Attributes.c_class == InputOnly ||
        Attributes.map_state != IsViewable)
      continue;
    const Window Client = ClientBelow(*It);
    if (Process && ProcessOf(Client) != *Process) continue;
    if (Client != *It &&
        (!XGetWindowAttributes(C_.D, Client, &Attributes) || Attributes.map_state != IsViewable))
      continue;
    Found.push_back(TopLevel{*It, Client});
  }
  return Found;
}

bool X11Windows::WindowManagerRuns() const {
  std::vector<unsigned long> Check = Property32(C_.Root, C_.NetSupportingWmCheck, XA_WINDOW);
  if (Check.empty()) return false;
  // A window manager that died leaves the root's property behind, but not its own window.
  std::vector<unsigned long> Self = Property32(Check.front(), C_.NetSupportingWmCheck, XA_WINDOW);
  return !Self.empty() && Self.front() == Check.front();
}

bool X11Windows::WindowManagerSupports(Atom Feature) const {
  if (!WindowManagerRuns()) return false;
  std::vector<unsigned long> Supported = Property32(C_.Root, C_.NetSupported, XA_ATOM);
  return std::find(Supported.begin(), Supported.end(), Feature) != Supported.end();
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
  if (WindowManagerSupports(C_.NetMaxVert) && WindowManagerSupports(C_.NetMaxHorz)) {
    SendToRoot(Top.Client, C_.NetWmState, kNetWmStateAdd, static_cast<long>(C_.NetMaxVert),
               static_cast<long>(C_.NetMaxHorz), kSourceApplication);
  } else {
    // Without a window manager nobody else places the window; with one that cannot maximise,
    // this asks it for the whole screen.
    const Window Sized = WindowManagerRuns() ? Top.Client : Top.Frame;
    XMoveResizeWindow(C_.D, Sized, 0, 0, static_cast<unsigned>(C_.ScreenWidth),
                      static_cast<unsigned>(C_.ScreenHeight));
  }
  XFlush(C_.D);
}

bool X11Windows::IsMaximised(const TopLevel& Top) const {
  if (WindowManagerSupports(C_.NetMaxVert) && WindowManagerSupports(C_.NetMaxHorz)) {
    std::vector<unsigned long> States = Property32(Top.Client, C_.NetWmState, XA_ATOM);
    auto Has = [&](Atom A) { return std::find(States.begin(), States.end(), A) != States.end(); };
    return Has(C_.NetMaxVert) && Has(C_.NetMaxHorz);
  }
  // A window manager without maximising keeps a work area of its own that we cannot know.
  if (WindowManagerRuns()) return true;
  XWindowAttributes Attributes;
  if (!XGetWindowAttributes(C_.D, Top.Frame, &Attributes)) return false;
  return Attributes.x == 0 && Attributes.y == 0 && Attributes.width == C_.ScreenWidth &&
         Attributes.height == C_.ScreenHeight;
}

void X11Windows::Activate(Window W) {
  if (WindowManagerSupports(C_.NetActiveWindow))
    SendToRoot(W, C_.NetActiveWindow, kSourcePager, CurrentTime, 0, 0);
  XRaiseWindow(C_.D, W);
  XSetInputFocus(C_.D, W, RevertToParent, CurrentTime);
  XFlush(C_.D);
}

ProcessId X11Windows::FocusedProcess() {
  ErrorTrap Trap(C_.D);
  Trap.Settled();  // only requests with replies follow: their errors come with them
  const Window Focus = FocusedWindow();
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
  for (const TopLevel& Top : TopLevelsOf(std::nullopt)) {
    const ProcessId Process = ProcessOf(Top.Client);
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
      const std::vector<TopLevel> Windows = TopLevelsOf(Process);
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
      if (IsWithin(FocusedWindow(), W)) return true;
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
    const std::vector<unsigned long> Protocols = Property32(W, C_.WmProtocols, XA_ATOM);
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
  const std::vector<TopLevel> Windows = TopLevelsOf(Process);
  // A window manager decides how its windows close (and ends a client that does not take close
  // requests); without one, a client that takes them gets the close box's message itself.
  const bool ThroughManager = !Windows.empty() && WindowManagerSupports(C_.NetCloseWindow);
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
          ProcessOf(Children[I]) != Process || !TakesDelete(Children[I]))
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
