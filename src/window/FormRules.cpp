#include "FormRules.h"

#include <algorithm>
#include <cmath>

#include "../platform/RaisedError.h"

namespace pictrane {

namespace {
}  // namespace

int TwipsToPixels(int Twips, double Dpi) {
  return static_cast<int>(std::lround(Twips * Dpi / 1440.0));
}

std::vector<std::size_t> TabOrder(const FormLayout& Layout) {
  std::vector<std::size_t> order(Layout.Controls.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return Layout.Controls[a].TabIndex < Layout.Controls[b].TabIndex;
  });
  return order;
}

TableFormView::TableFormView(FormLayout Layout)
    : Layout_(std::move(Layout)), Last_(Layout_.Controls.size()) {}

std::size_t TableFormView::IndexOf(const std::string& Control) const {
  for (std::size_t i = 0; i < Layout_.Controls.size(); ++i) {
    if (Layout_.Controls[i].Name == Control) return i;
  }
  throw RaisedError(ErrorNumber::InvalidProcedureCall, Layout_.Name,
                    Layout_.Name + " has no control " + Control);
}

const ControlEntry& TableFormView::ValueControl(std::size_t Index) const {
  const ControlEntry& c = Layout_.Controls[Index];
  if (c.Kind != ControlKind::CheckBox) {
    throw RaisedError(ErrorNumber::InvalidPropertyValue, Layout_.Name,
                      "Invalid property value: " + c.Name + " holds no value");
  }
  return c;
}

std::string TableFormView::Text(const std::string& Control) {
  const std::size_t i = IndexOf(Control);
  return Gone_ ? Last_[i].Text : ReadText(i);
}

void TableFormView::SetText(const std::string& Control, const std::string& Text) {
  // A field's length limit is for typing: a stored value comes back whole.
  const std::size_t i = IndexOf(Control);
  if (Gone_) {
    Last_[i].Text = Text;
  } else {
    WriteText(i, Text);
  }
}

int TableFormView::Value(const std::string& Control) {
  const std::size_t i = IndexOf(Control);
  ValueControl(i);
  return Gone_ ? Last_[i].Value : ReadValue(i);
}

void TableFormView::SetValue(const std::string& Control, int Value) {
  const std::size_t i = IndexOf(Control);
  const ControlEntry& c = ValueControl(i);
  if (Value < 0 || Value > (c.TriState ? 2 : 1)) {
    throw RaisedError(ErrorNumber::InvalidPropertyValue, Layout_.Name,
                      "Invalid property value: " + std::to_string(Value) + " for " + c.Name);
  }
  if (Gone_) {
    Last_[i].Value = Value;
  } else {
    WriteValue(i, Value);
  }
}

void TableFormView::WindowGoing() {
  if (Gone_) return;
  for (std::size_t i = 0; i < Last_.size(); ++i) {
    Last_[i].Text = ReadText(i);
    if (Layout_.Controls[i].Kind == ControlKind::CheckBox) Last_[i].Value = ReadValue(i);
  }
  Gone_ = true;
}

}  // namespace pictrane
