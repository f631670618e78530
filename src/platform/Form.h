// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/FolderDialog.h"

namespace pictrane {

// A window described as data, so that every toolkit builds the same window from one table.
// Positions and sizes are in twips (1/1440 inch), relative to the control's container.
enum class ControlKind { PushButton, GroupFrame, PictureBox, TextField, Label, CheckBox };

struct ControlEntry {
  std::string Name;  // "txtPath"; members of a control array carry their index: "Label1(0)"
  ControlKind Kind;
  std::string Container;  // "" for the window itself
  int Left, Top, Width, Height;
  int TabIndex;
  std::string Caption;
  int MaxLength = 0;      // text fields: how many characters typing may reach; 0 for no limit
  bool ReadOnly = false;  // text fields: the user cannot type into it
  bool ButtonFaceBackground = false;
  bool SizedToText = false;  // labels
  bool TriState = false;     // check boxes: 0 unchecked, 1 checked, 2 greyed
  std::string ToolTip;       // shown while the pointer rests on the control; "" for none
};

struct FormLayout {
  std::string Name;
  std::string Caption;
  int ClientWidth, ClientHeight;  // twips
  std::string FontName;
  double FontSize;  // points
  int FontWeight;
  int FontCharset;
  bool FixedSize;
  bool CentreOnScreen;
  std::vector<ControlEntry> Controls;  // in creation order
  std::string FocusedControl;          // the control that holds the focus when the window opens
};

// Pixels for a length of the table in twips at Dpi dots per inch (1440 twips to the inch), to the
// nearest pixel, halves away from zero.
inline int TwipsToPixels(int Twips, double Dpi) {
  return static_cast<int>(std::lround(Twips * Dpi / 1440.0));
}

// The position of the control named Name in the table; the table's size when it has none.
inline std::size_t ControlIndex(const FormLayout& Layout, const std::string& Name) {
  std::size_t I = 0;
  while (I < Layout.Controls.size() && Layout.Controls[I].Name != Name) ++I;
  return I;
}

// Positions in the layout's table, in tab order; equal tab indexes keep the table's order.
inline std::vector<std::size_t> TabOrder(const FormLayout& Layout) {
  std::vector<std::size_t> Order(Layout.Controls.size());
  for (std::size_t I = 0; I < Order.size(); ++I) Order[I] = I;
  std::stable_sort(Order.begin(), Order.end(), [&](std::size_t A, std::size_t B) {
    return Layout.Controls[A].TabIndex < Layout.Controls[B].TabIndex;
  });
  return Order;
}

// What the window tells its owner. Handlers run on the user-interface thread.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Load() = 0;
  // Every unload, whatever its reason; setting Cancel keeps the window.
  virtual void Unload(bool& Cancel) = 0;
  virtual void Click(const std::string& Control) = 0;
};

// A built window. Text and values are read from and written to the real controls.
// A name the table lacks raises error 5. Only check boxes hold a value: 0 unchecked, 1 checked,
// 2 greyed (three-state boxes only); any other value, or a value for another control, raises 380.
// SetText puts the whole text in: a field's MaxLength limits typing only.
// After Unload, Text and Value give what the controls showed when the window went, and SetText
// and SetValue change only that remembered state (the run may read the window after it unloads).
class FormView {
 public:
  virtual ~FormView() = default;
  virtual std::string Text(const std::string& Control) = 0;
  virtual void SetText(const std::string& Control, const std::string& Text) = 0;
  virtual int Value(const std::string& Control) = 0;
  virtual void SetValue(const std::string& Control, int Value) = 0;
  virtual WindowHandle Handle() = 0;
  // Shows the window modeless; Load runs first.
  virtual void Show() = 0;
  // Runs Unload and, unless it cancels, closes the window for good.
  virtual void Unload() = 0;
};

class FormFactory {
 public:
  virtual ~FormFactory() = default;
  virtual std::unique_ptr<FormView> Create(const FormLayout& Layout, FormEvents& Events) = 0;
};

// A toolkit's window built from a layout: its controls by their position in the table. What a
// form does with names and values is the core's (window/FormRules.h); a toolkit only moves text
// and values in and out of its controls.
class FormControls {
 public:
  virtual ~FormControls() = default;
  // Called only while the window exists, before it told WindowGoing.
  virtual std::string ReadText(std::size_t Index) = 0;
  virtual void WriteText(std::size_t Index, const std::string& Text) = 0;
  virtual int ReadValue(std::size_t Index) = 0;  // check boxes only
  virtual void WriteValue(std::size_t Index, int Value) = 0;
  virtual WindowHandle Handle() = 0;
  // As FormView's: Load runs first; Unload asks the handler, which may keep the window.
  virtual void Show() = 0;
  virtual void Unload() = 0;
};

// What a toolkit's window tells the form it was built for.
class FormControlEvents : public FormEvents {
 public:
  // The window goes now, for whatever reason; its controls can still be read.
  virtual void WindowGoing() = 0;  // once is enough: later calls are ignored
};

class FormControlsFactory {
 public:
  virtual ~FormControlsFactory() = default;
  virtual std::unique_ptr<FormControls> Create(const FormLayout& Layout,
                                               FormControlEvents& Events) = 0;
};

}  // namespace pictrane
