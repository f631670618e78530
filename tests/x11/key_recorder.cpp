// SPDX-License-Identifier: GPL-3.0-or-later
// A window that writes down every key it receives, one line per key press, so tests can compare
// what another process typed with what arrived. Plain Xlib, its own process.
//
//   x11_key_recorder TRANSCRIPT [--name NAME] [--pid self|leader|none] [--layout plain|child|frame]
//                    [--lazy-keymap] [--no-close-protocol] [--alt-f4-closes] [--times]
//                    [--grab root|popup] [--map-after MS]
//
// Lines read as the key was understood at receipt: the typed character ("a", "A", ":", "é"), or
// a key's name ("Enter", "Down", "F4"), after "Ctrl+", "Alt+" and, where the character does not
// show it already, "Shift+" ("Ctrl+F4", "Alt+f", "Shift+Tab", "Ctrl+Shift+O"). Modifier keys on
// their own are not written.
//
// --pid     where _NET_WM_PID goes: on the window (self), on a separate client-leader window named
//           by WM_CLIENT_LEADER (leader), or nowhere (none).
// --layout  plain: one top-level window, focused. child: the focus goes to a child window inside
//           it. frame: the top-level is a bare frame (as a window manager makes) with the client
//           window, carrying WM_STATE and the properties, inside it; the frame gets the focus.
// --lazy-keymap  leaves the keymap to Xlib to fetch on the first key press, as plain Xlib
//           programs do, instead of reading it at start as toolkits do.
// --no-close-protocol  does not take WM_DELETE_WINDOW and ignores it (it ends on one when it
//           takes it, writing TRANSCRIPT.closed).
// --alt-f4-closes  ends on Alt+F4 as a window manager would close it (none runs under Xvfb).
// --times   writes TRANSCRIPT.times in the X server's milliseconds: "mapped T" just before the
//           window is mapped (it cannot have the focus earlier), then one line per key event,
//           modifiers included: "T P line" for a press (line as in TRANSCRIPT, empty for a
//           modifier), "T R" for a release.
// --grab    never takes the focus: grabs the keyboard instead, on the root window (root) or on
//           an override-redirect pop-up of its own carrying its process id (popup), as menus do.
// --map-after  maps its window only MS milliseconds after making it, as a slow program starts;
//           a close request meanwhile ends it.
//
// Once mapped and focused (or grabbing) it writes TRANSCRIPT.ready holding its top-level window id.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <langinfo.h>
#include <unistd.h>

#include <poll.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pictrane/Utf8.h"

namespace {

const char* NameOf(KeySym Sym) {
  switch (Sym) {
    case XK_Return:
    case XK_KP_Enter:
      return "Enter";
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return "Tab";
    case XK_Escape:
      return "Escape";
    case XK_BackSpace:
      return "Backspace";
    case XK_Delete:
      return "Delete";
    case XK_Insert:
      return "Insert";
    case XK_Home:
      return "Home";
    case XK_End:
      return "End";
    case XK_Prior:
      return "PageUp";
    case XK_Next:
      return "PageDown";
    case XK_Up:
      return "Up";
    case XK_Down:
      return "Down";
    case XK_Left:
      return "Left";
    case XK_Right:
      return "Right";
    case XK_Break:
      return "Break";
    case XK_Pause:
      return "Pause";
    case XK_Scroll_Lock:
      return "ScrollLock";
    case XK_Print:
      return "PrintScreen";
    case XK_Help:
      return "Help";
    default:
      break;
  }
  static char Function[8];
  if (Sym >= XK_F1 && Sym <= XK_F35) {
    std::snprintf(Function, sizeof Function, "F%d", static_cast<int>(Sym - XK_F1) + 1);
    return Function;
  }
  return nullptr;
}

// The key as the receiving program understands it now, with the keymap of this moment.
std::string Describe(const XKeyEvent& Event, XIC Input) {
  const bool Ctrl = Event.state & ControlMask;
  const bool Alt = Event.state & Mod1Mask;
  const bool Shift = Event.state & ShiftMask;
  // Ctrl and Alt would turn letters into control codes; the character is looked up without them.
  XKeyEvent Plain = Event;
  Plain.state &= ~static_cast<unsigned>(ControlMask | Mod1Mask);
  char Buffer[64];
  KeySym Sym = NoSymbol;
  std::string Text;
  if (Input) {
    Status Result = 0;
    const int Length = Xutf8LookupString(Input, &Plain, Buffer, sizeof Buffer, &Sym, &Result);
    if (Result == XLookupChars || Result == XLookupBoth) Text.assign(Buffer, Length);
  } else {
    XLookupString(&Plain, Buffer, sizeof Buffer, &Sym, nullptr);
    if ((Sym >= 0x20 && Sym <= 0x7E) || (Sym >= 0xA0 && Sym <= 0xFF))
      pictrane::AppendUtf8(Text, static_cast<char32_t>(Sym));
    if (Sym >= 0x01000100 && Sym <= 0x0110FFFF)
      pictrane::AppendUtf8(Text, static_cast<char32_t>(Sym - 0x01000000));
  }
  if (IsModifierKey(Sym)) return "";
  std::string Line = std::string(Ctrl ? "Ctrl+" : "") + (Alt ? "Alt+" : "");
  if (const char* Name = NameOf(Sym)) return Line + (Shift ? "Shift+" : "") + Name;
  if (!Text.empty() && static_cast<unsigned char>(Text[0]) >= 0x20 && Text[0] != 0x7F)
    return Line + ((Ctrl || Alt) && Shift ? "Shift+" : "") + Text;
  const char* SymName = XKeysymToString(Sym);
  return Line + (Shift ? "Shift+" : "") +
         (SymName ? SymName : "keycode " + std::to_string(Event.keycode));
}

void SetPid(Display* D, Window W, Atom NetWmPid) {
  const long Pid = getpid();
  XChangeProperty(D, W, NetWmPid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&Pid), 1);
}

// The server's time now: a property change comes back stamped with it.
Time ServerTime(Display* D, Window W) {
  const Atom Stamp = XInternAtom(D, "_PICTRANE_RECORDER_STAMP", False);
  XChangeProperty(D, W, Stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent Event;
  XIfEvent(
      D, &Event,
      [](Display*, XEvent* E, XPointer A) {
        return static_cast<Bool>(E->type == PropertyNotify &&
                                 E->xproperty.atom == *reinterpret_cast<Atom*>(A));
      },
      reinterpret_cast<XPointer>(const_cast<Atom*>(&Stamp)));
  return Event.xproperty.time;
}

int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

// Ends the recorder on a close request, saying so beside the transcript.
[[noreturn]] void EndOnRequest(Display* D, std::FILE* Out, const std::string& Transcript) {
  if (std::FILE* Closed = std::fopen((Transcript + ".closed").c_str(), "w")) std::fclose(Closed);
  std::fclose(Out);
  XCloseDisplay(D);
  std::exit(0);
}

// Under a window manager the window becomes viewable only once its frame is mapped; until then
// XSetInputFocus fails (BadMatch, ignored), so it is tried again for a while.
bool TakeFocus(Display* D, Window Focus) {
  for (int Try = 0; Try < 500; ++Try) {
    XSetInputFocus(D, Focus, RevertToParent, CurrentTime);
    XSync(D, False);
    Window Now = 0;
    int Revert = 0;
    XGetInputFocus(D, &Now, &Revert);
    if (Now == Focus) return true;
    usleep(10000);
  }
  return false;
}

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc < 2) {
    std::fprintf(stderr,
                 "usage: %s TRANSCRIPT [--name N] [--pid self|leader|none] "
                 "[--layout plain|child|frame] [--lazy-keymap] [--no-close-protocol] "
                 "[--alt-f4-closes] [--times] [--grab root|popup] [--map-after MS]\n",
                 Argv[0]);
    return 2;
  }
  const std::string Transcript = Argv[1];
  std::string Name = "key recorder", PidOn = "self", Layout = "plain", Grab;
  int MapAfterMs = 0;
  bool LazyKeymap = false, TakesCloseRequests = true, AltF4Closes = false, Times = false;
  for (int I = 2; I < Argc; ++I) {
    const std::string Option = Argv[I];
    if (Option == "--lazy-keymap") {
      LazyKeymap = true;
      continue;
    }
    if (Option == "--no-close-protocol") {
      TakesCloseRequests = false;
      continue;
    }
    if (Option == "--alt-f4-closes" || Option == "--times") {
      (Option == "--times" ? Times : AltF4Closes) = true;
      continue;
    }
    if (I + 1 >= Argc) break;
    ++I;
    if (Option == "--name")
      Name = Argv[I];
    else if (Option == "--pid")
      PidOn = Argv[I];
    else if (Option == "--layout")
      Layout = Argv[I];
    else if (Option == "--grab")
      Grab = Argv[I];
    else if (Option == "--map-after")
      MapAfterMs = std::atoi(Argv[I]);
  }

  // A UTF-8 locale, so Xutf8LookupString has an input method to work with.
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
  const bool LocaleOk = XSupportsLocale();
  if (LocaleOk) XSetLocaleModifiers("@im=none");

  Display* D = XOpenDisplay(nullptr);
  if (!D) {
    std::fprintf(stderr, "key recorder: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreError);
  std::FILE* Out = std::fopen(Transcript.c_str(), "w");
  if (!Out) {
    std::perror(Transcript.c_str());
    return 1;
  }

  const int ScreenNumber = DefaultScreen(D);
  const Window Root = RootWindow(D, ScreenNumber);
  const Atom NetWmPid = XInternAtom(D, "_NET_WM_PID", False);
  const Atom WmDelete = XInternAtom(D, "WM_DELETE_WINDOW", False);
  const unsigned long White = WhitePixel(D, ScreenNumber);

  const Window Top = XCreateSimpleWindow(D, Root, 10, 10, 320, 200, 0, 0, White);
  if (!Grab.empty()) {
    XSetWindowAttributes Popup{};
    Popup.override_redirect = True;
    XChangeWindowAttributes(D, Top, CWOverrideRedirect, &Popup);
    SetPid(D, Top, NetWmPid);
    if (Grab == "popup") XMapRaised(D, Top);
    const Window On = Grab == "popup" ? Top : Root;
    bool Held = false;
    for (int Try = 0; Try < 500 && !Held; ++Try) {
      Held = XGrabKeyboard(D, On, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
      if (!Held) usleep(10000);
    }
    if (std::FILE* Ready = Held ? std::fopen((Transcript + ".ready").c_str(), "w") : nullptr) {
      std::fprintf(Ready, "%lu\n", Top);
      std::fclose(Ready);
    }
  }
  Window Client = Top, Focus = Top;
  if (Layout == "child" || Layout == "frame") {
    const Window Inner = XCreateSimpleWindow(D, Top, 0, 0, 320, 200, 0, 0, White);
    XMapWindow(D, Inner);
    if (Layout == "child")
      Focus = Inner;
    else
      Client = Inner;
  }
  XStoreName(D, Client, Name.c_str());
  if (TakesCloseRequests) XSetWMProtocols(D, Client, const_cast<Atom*>(&WmDelete), 1);
  if (Layout == "frame") {
    const Atom WmState = XInternAtom(D, "WM_STATE", False);
    const long State[2] = {NormalState, 0};
    XChangeProperty(D, Client, WmState, WmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(State), 2);
  }
  if (PidOn == "self") {
    SetPid(D, Client, NetWmPid);
  } else if (PidOn == "leader") {
    const Window Leader = XCreateSimpleWindow(D, Root, 0, 0, 1, 1, 0, 0, White);
    SetPid(D, Leader, NetWmPid);
    const long LeaderId = static_cast<long>(Leader);
    XChangeProperty(D, Client, XInternAtom(D, "WM_CLIENT_LEADER", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&LeaderId), 1);
  }

  XIM Method = LocaleOk ? XOpenIM(D, nullptr, nullptr, nullptr) : nullptr;
  XIC Input = Method ? XCreateIC(Method, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                                 XNClientWindow, Top, XNFocusWindow, Top, nullptr)
                     : nullptr;
  if (Input) XSetICFocus(Input);

  // Like a toolkit, it reads the keymap before the first key: Xlib would otherwise fetch it on the
  // first key press and only then follow changes, missing those made in between.
  if (!LazyKeymap) XKeysymToKeycode(D, XK_space);

  XSelectInput(D, Top, KeyPressMask | KeyReleaseMask | StructureNotifyMask | PropertyChangeMask);
  const auto Closing = [&](const XEvent& Event) {
    return Event.type == ClientMessage && TakesCloseRequests &&
           static_cast<Atom>(Event.xclient.data.l[0]) == WmDelete;
  };
  const auto Until = std::chrono::steady_clock::now() + std::chrono::milliseconds(MapAfterMs);
  for (auto Now = std::chrono::steady_clock::now(); Now < Until;
       Now = std::chrono::steady_clock::now()) {
    while (XPending(D) > 0) {
      XEvent Event;
      XNextEvent(D, &Event);
      if (Closing(Event)) EndOnRequest(D, Out, Transcript);
    }
    pollfd Connection{ConnectionNumber(D), POLLIN, 0};
    poll(&Connection, 1,
         static_cast<int>(
             std::chrono::duration_cast<std::chrono::milliseconds>(Until - Now).count() + 1));
  }
  std::FILE* TimesOut = Times ? std::fopen((Transcript + ".times").c_str(), "w") : nullptr;
  if (TimesOut) std::fprintf(TimesOut, "mapped %lu\n", ServerTime(D, Top));
  if (Grab.empty()) XMapWindow(D, Top);

  for (;;) {
    XEvent Event;
    XNextEvent(D, &Event);
    if (XFilterEvent(&Event, None)) continue;
    switch (Event.type) {
      case MapNotify:
        if (Event.xmap.window == Top && TakeFocus(D, Focus)) {
          if (std::FILE* Ready = std::fopen((Transcript + ".ready").c_str(), "w")) {
            std::fprintf(Ready, "%lu\n", Top);
            std::fclose(Ready);
          }
        }
        break;
      case MappingNotify:
        XRefreshKeyboardMapping(&Event.xmapping);
        break;
      case KeyPress: {
        const std::string Line = Describe(Event.xkey, Input);
        if (!Line.empty()) {
          std::fprintf(Out, "%s\n", Line.c_str());
          std::fflush(Out);
        }
        if (TimesOut) {
          std::fprintf(TimesOut, "%lu P %s\n", Event.xkey.time, Line.c_str());
          std::fflush(TimesOut);
        }
        if (AltF4Closes && Line == "Alt+F4") {
          std::fclose(Out);
          XCloseDisplay(D);
          return 0;
        }
        break;
      }
      case KeyRelease:
        if (TimesOut) {
          std::fprintf(TimesOut, "%lu R\n", Event.xkey.time);
          std::fflush(TimesOut);
        }
        break;
      case ClientMessage:
        if (Closing(Event)) EndOnRequest(D, Out, Transcript);
        break;
      case DestroyNotify:
        if (Event.xdestroywindow.window == Top) return 0;
        break;
      default:
        break;
    }
  }
}
