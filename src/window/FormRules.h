// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every toolkit's window does the same way, so that each back end only creates controls and
// moves text and values in and out of them.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Form.h"

namespace pictrane {

// Pixels for a length in twips at Dpi dots per inch (1440 twips to the inch), to the nearest
// pixel, halves away from zero.
int TwipsToPixels(int Twips, double Dpi);

// Positions in the layout's table, in tab order; equal tab indexes keep the table's order.
std::vector<std::size_t> TabOrder(const FormLayout& Layout);

// The form's text and value calls over a toolkit's primitives. It finds controls by name (error 5
// for a name the table lacks), lets only a check box hold a value of 0, 1 (or 2 when three-state)
// (error 380 otherwise), and keeps what the controls showed when the window went, which is what
// reads give from then on (see Form.h).
class TableFormView : public FormView {
 public:
  explicit TableFormView(FormLayout Layout);

  std::string Text(const std::string& Control) final;
  void SetText(const std::string& Control, const std::string& Text) final;
  int Value(const std::string& Control) final;
  void SetValue(const std::string& Control, int Value) final;

 protected:
  const FormLayout& Layout() const { return Layout_; }
  // Position of Control in the table; raises error 5 when there is none.
  std::size_t IndexOf(const std::string& Control) const;

  // The primitives, for the control at Index of the table, called only while the window exists.
  virtual std::string ReadText(std::size_t Index) = 0;
  virtual void WriteText(std::size_t Index, const std::string& Text) = 0;
  virtual int ReadValue(std::size_t Index) = 0;  // check boxes only
  virtual void WriteValue(std::size_t Index, int Value) = 0;

  // The back end calls this as its window goes, while the controls can still be read.
  void WindowGoing();
  bool Gone() const { return Gone_; }

 private:
  const ControlEntry& ValueControl(std::size_t Index) const;

  struct Shown {
    std::string Text;
    int Value = 0;
  };
  FormLayout Layout_;
  std::vector<Shown> Last_;
  bool Gone_ = false;
};

}  // namespace pictrane
