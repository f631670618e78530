// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/FormRules.h"

#include <utility>

#include "pictrane/RaisedError.h"

namespace pictrane {

TableForm::TableForm(FormLayout Layout, FormEvents& Events, FormControlsFactory& Toolkit)
    : Layout_(std::move(Layout)), Events_(Events), Last_(Layout_.Controls.size()) {
  Controls_ = Toolkit.Create(Layout_, *this);
}

std::size_t TableForm::IndexOf(const std::string& Control) const {
  if (const std::size_t I = ControlIndex(Layout_, Control); I < Layout_.Controls.size()) return I;
  throw RaisedError(ErrorNumber::InvalidProcedureCall, Layout_.Name,
                    Layout_.Name + " has no control " + Control);
}

const ControlEntry& TableForm::ValueControl(std::size_t Index) const {
  const ControlEntry& C = Layout_.Controls[Index];
  if (C.Kind != ControlKind::CheckBox) {
    throw RaisedError(ErrorNumber::InvalidPropertyValue, Layout_.Name,
                      "Invalid property value: " + C.Name + " holds no value");
  }
  return C;
}

std::string TableForm::Text(const std::string& Control) {
  const std::size_t I = IndexOf(Control);
  return Gone_ ? Last_[I].Text : Controls_->ReadText(I);
}

void TableForm::SetText(const std::string& Control, const std::string& Text) {
  // A field's length limit is for typing: a stored value comes back whole.
  const std::size_t I = IndexOf(Control);
  if (Gone_) {
    Last_[I].Text = Text;
  } else {
    Controls_->WriteText(I, Text);
  }
}

int TableForm::Value(const std::string& Control) {
  const std::size_t I = IndexOf(Control);
  ValueControl(I);
  return Gone_ ? Last_[I].Value : Controls_->ReadValue(I);
}

void TableForm::SetValue(const std::string& Control, int Value) {
  const std::size_t I = IndexOf(Control);
  const ControlEntry& C = ValueControl(I);
  if (Value < 0 || Value > (C.TriState ? 2 : 1)) {
    throw RaisedError(ErrorNumber::InvalidPropertyValue, Layout_.Name,
                      "Invalid property value: " + std::to_string(Value) + " for " + C.Name);
  }
  if (Gone_) {
    Last_[I].Value = Value;
  } else {
    Controls_->WriteValue(I, Value);
  }
}

void TableForm::WindowGoing() {
  if (Gone_) return;
  for (std::size_t I = 0; I < Last_.size(); ++I) {
    Last_[I].Text = Controls_->ReadText(I);
    if (Layout_.Controls[I].Kind == ControlKind::CheckBox) Last_[I].Value = Controls_->ReadValue(I);
  }
  Gone_ = true;
}

}  // namespace pictrane
