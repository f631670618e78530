// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/FormRules.h"

#include <algorithm>
#include <cmath>

#include "pictrane/RaisedError.h"

namespace pictrane {

namespace {}  // namespace

int TwipsToPixels(int Twips, double Dpi) {
  return static_cast<int>(std::lround(Twips * Dpi / 1440.0));
}

std::vector<std::size_t> TabOrder(const FormLayout& Layout) {
  std::vector<std::size_t> Order(Layout.Controls.size());
  for (std::size_t I = 0; I < Order.size(); ++I) Order[I] = I;
  std::stable_sort(Order.begin(), Order.end(), [&](std::size_t A, std::size_t B) {
    return Layout.Controls[A].TabIndex < Layout.Controls[B].TabIndex;
  });
  return Order;
}

TableFormView::TableFormView(FormLayout Layout)
    : Layout_(std::move(Layout)), Last_(Layout_.Controls.size()) {}

std::size_t TableFormView::IndexOf(const std::string& Control) const {
  for (std::size_t I = 0; I < Layout_.Controls.size(); ++I) {
    if (Layout_.Controls[I].Name == Control) return I;
  }
  throw RaisedError(ErrorNumber::InvalidProcedureCall, Layout_.Name,
                    Layout_.Name + " has no control " + Control);
}

const ControlEntry& TableFormView::ValueControl(std::size_t Index) const {
  const ControlEntry& C = Layout_.Controls[Index];
  if (C.Kind != ControlKind::CheckBox) {
    throw RaisedError(ErrorNumber::InvalidPropertyValue, Layout_.Name,
                      "Invalid property value: " + C.Name + " holds no value");
  }
  return C;
}

std::string TableFormView::Text(const std::string& Control) {
  const std::size_t I = IndexOf(Control);
  return Gone_ ? Last_[I].Text : ReadText(I);
}

void TableFormView::SetText(const std::string& Control, const std::string& Text) {
  // A field's length limit is for typing: a stored value comes back whole.
  const std::size_t I = IndexOf(Control);
  if (Gone_) {
    Last_[I].Text = Text;
  } else {
    WriteText(I, Text);
  }
}

int TableFormView::Value(const std::string& Control) {
  const std::size_t I = IndexOf(Control);
  ValueControl(I);
  return Gone_ ? Last_[I].Value : ReadValue(I);
}

void TableFormView::SetValue(const std::string& Control, int Value) {
  const std::size_t I = IndexOf(Control);
  const ControlEntry& C = ValueControl(I);
  if (Value < 0 || Value > (C.TriState ? 2 : 1)) {
    throw RaisedError(ErrorNumber::InvalidPropertyValue, Layout_.Name,
                      "Invalid property value: " + std::to_string(Value) + " for " + C.Name);
  }
  if (Gone_) {
    Last_[I].Value = Value;
  } else {
    WriteValue(I, Value);
  }
}

void TableFormView::WindowGoing() {
  if (Gone_) return;
  for (std::size_t I = 0; I < Last_.size(); ++I) {
    Last_[I].Text = ReadText(I);
    if (Layout_.Controls[I].Kind == ControlKind::CheckBox) Last_[I].Value = ReadValue(I);
  }
  Gone_ = true;
}

}  // namespace pictrane
