// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Real X servers and real processes for the keystroke tests: an Xvfb of our own, child
// processes, the key recorder and its transcript.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pictrane/Product.h"
#include "platform/KeyAction.h"

struct _XDisplay;  // Xlib's Display

namespace x11test {

// The converter's windows as xdotool finds them by name: its main window, its message boxes and
// its progress window.
inline const std::string kCaptionPattern = "^" + std::string(pictrane::kWindowCaption) + "$";
inline const std::string kTitlePattern = "^" + std::string(pictrane::kAppTitle) + "$";
inline const std::string kProgressPattern =
    "^Converting - " + std::string(pictrane::kAppTitle) + "$";

// An Xvfb on a display number it picks itself (-displayfd), ended on destruction.
class XvfbServer {
 public:
  explicit XvfbServer(const std::vector<std::string>& ExtraArguments = {});
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  const std::string& Name() const { return Name_; }  // ":N"
  pid_t Pid() const { return Pid_; }  // to stop and continue it, as a busy machine would

 private:
  pid_t Pid_ = 0;
  std::string Name_;
};

// A program run as its own process, ended (SIGTERM) and reaped on destruction.
class ChildProcess {
 public:
  // Quiet sends its error output to /dev/null.
  explicit ChildProcess(const std::vector<std::string>& Arguments, bool Quiet = false);
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  pid_t Pid() const { return Pid_; }
  void Stop();
  // Whether it has ended by itself (then reaped; Pid() is 0 from then on).
  bool HasEnded();

 private:
  pid_t Pid_ = 0;
};

// Polls Done every few milliseconds until it holds (true) or TimeoutMs pass (false).
bool WaitUntil(int TimeoutMs, const std::function<bool()>& Done);

// Whether the process Pid is gone or only waits to be reaped by whoever inherited it.
bool Ended(const std::string& Pid);

// Runs a program to its end; its exit status (-1 when it did not end normally).
int RunToEnd(const std::vector<std::string>& Arguments);

// Sets (or with nothing, removes) an environment variable for as long as it lives.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string Name, const std::optional<std::string>& Value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string Name_;
  std::optional<std::string> Saved_;
};

// The key recorder as a process of its own, with its transcript in a fresh temporary folder.
class KeyRecorder {
 public:
  explicit KeyRecorder(const std::vector<std::string>& Options = {});
  ~KeyRecorder();
  pid_t Pid() const { return Process_.Pid(); }
  bool HasEnded() { return Process_.HasEnded(); }
  void Stop() { Process_.Stop(); }
  // Its top-level window, once it is mapped and has taken the focus (bounded wait; 0 if never).
  unsigned long WaitUntilReady(int TimeoutMs = 5000);
  std::vector<std::string> Lines() const;
  // Waits until the transcript holds more than Count lines and its last is Marker.
  bool WaitForMarker(std::size_t Count, const std::string& Marker, int TimeoutMs = 5000) const;

 private:
  std::string Folder_;
  std::string Transcript_;
  ChildProcess Process_;
};

// The tests' own look at the X server, kept here so that Xlib's macros stay out of test code.
class Probe {
 public:
  Probe();  // opens $DISPLAY
  ~Probe();
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  struct Geometry {
    int X, Y, Width, Height;
    friend bool operator==(const Geometry&, const Geometry&) = default;
  };
  Geometry ScreenSize();
  Geometry WindowGeometry(unsigned long Window);
  unsigned long FocusWindow();
  // Grabs the keyboard on Window and lets go at once, as a run does before a key string; false
  // when another client holds it.
  bool GrabAndRelease(unsigned long Window);
  std::vector<int> KeysDown();  // keycodes the server holds down
  // Presses or releases the key of Keysym (an Xlib name: "Shift_L", "F11") through XTEST, as
  // another program would, and waits until the server has taken it. In ProbeKeys.cpp, for the
  // programs that link XTEST.
  // Without Wait it only writes the request, for a server that is stopped.
  void FakeKey(const char* Keysym, bool Press, bool Wait = true);
  void Sync();
  // Makes the round trips a first key or lock needs beforehand, so that one without Wait goes
  // out at once, even to a server that is stopped.
  void ReadyToType();
  // Locks or unlocks the modifier of Keysym's key ("Control_L") through XKB, as sticky keys or
  // another program would, and (with Wait) waits until the server has done it.
  void LockModifier(const char* Keysym, bool Lock, bool Wait = true);
  // Presses or locks (Locked), releases or unlocks.
  void Modifier(const char* Keysym, bool Locked, bool On, bool Wait = true);
  unsigned Modifiers();  // modifiers in force from keys held or latched
  bool CapsLocked();
  int Group();  // the keyboard group in force
  void LockGroup(int Group);
  void SetFocus(unsigned long Window);       // and waits until the server has done it
  std::vector<unsigned long> WholeKeymap();  // every keysym of every keycode
  // Until TimeoutMs: an EWMH window manager runs and manages new windows (it has put a window of
  // ours into a frame: some announce themselves before they handle the first map request).
  bool WaitForWindowManager(int TimeoutMs);
  bool MaximisedByWindowManager(unsigned long Window);  // its _NET_WM_STATE says so
  bool Reparented(unsigned long Window);                // it lives in a window manager's frame

 private:
  ::_XDisplay* D_;
};

// Character actions for each code point of UTF-8 Text, with Modifiers held.
pictrane::KeyActions Text(const std::string& Utf8, std::uint8_t Modifiers = 0);
pictrane::KeyAction Named(pictrane::NamedKey Key, std::uint8_t Modifiers = 0, int Count = 1);
pictrane::KeyAction Char(char32_t Character, std::uint8_t Modifiers = 0, int Count = 1);
// Each code point of UTF-8 Text as its own string (the recorder writes one line per character).
std::vector<std::string> CodePoints(const std::string& Utf8);

}  // namespace x11test
