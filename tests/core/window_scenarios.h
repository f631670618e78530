// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Window cases shared by the tests that run them against the Qt window and against the Win32
// window under Wine: both toolkits must answer the form's calls alike. Each scenario builds the
// main window afresh, performs its steps in order and states what every read gives.

#include <string>
#include <vector>

#include "platform/Form.h"
#include "pictrane/RaisedError.h"
#include "window/frmMainLayout.h"

namespace pictrane::scenarios {

enum class FormOp { SetText, Text, SetValue, Value, Unload };

struct FormStep {
  FormOp Op = FormOp::Text;
  std::string Control;
  std::string Text;         // SetText: what is set; Text: what comes back
  int Value = 0;            // SetValue: what is set; Value: what comes back
  int Error = 0;            // the error number the step raises; 0 for none
  std::string Description;  // when not empty, the raised error's description
};

struct FormScenario {
  std::string Name;
  std::vector<FormStep> Steps;
};

inline FormStep Step(FormOp Op, std::string Control = "", std::string Text = "", int Value = 0) {
  FormStep s;
  s.Op = Op;
  s.Control = std::move(Control);
  s.Text = std::move(Text);
  s.Value = Value;
  return s;
}
inline FormStep SetText(std::string Control, std::string Text) {
  return Step(FormOp::SetText, std::move(Control), std::move(Text));
}
inline FormStep Text(std::string Control, std::string Expected) {
  return Step(FormOp::Text, std::move(Control), std::move(Expected));
}
inline FormStep SetValue(std::string Control, int Value) {
  return Step(FormOp::SetValue, std::move(Control), "", Value);
}
inline FormStep Value(std::string Control, int Expected) {
  return Step(FormOp::Value, std::move(Control), "", Expected);
}
inline FormStep Unload() {
  return Step(FormOp::Unload);
}
inline FormStep Raises(FormStep Step, int Number, std::string Description = "") {
  Step.Error = Number;
  Step.Description = std::move(Description);
  return Step;
}

inline const std::vector<FormScenario>& FormScenarios() {
  using namespace control;
  static const std::vector<FormScenario> all = {
      {"a stored device folder longer than the typing limit comes back whole",
       {SetText(kTxtTI89Dir, "abcdefghijk"), Text(kTxtTI89Dir, "abcdefghijk"),
        SetText(kTxtTI89Dir,
                "\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8\xCE\xB9"),
        Text(kTxtTI89Dir,
             "\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8\xCE\xB9")}},
      {"text in any script and outside the basic plane comes back as set",
       {SetText(kTxtPath, "C:\\\xCE\xA9 pics \xF0\x9F\x93\xB7"),
        Text(kTxtPath, "C:\\\xCE\xA9 pics \xF0\x9F\x93\xB7"), Text(kCmdConvert, "Convert")}},
      {"the three-state box holds 0, 1 and 2 and nothing else",
       {SetValue(kChkDeleteBMPs, 2), Value(kChkDeleteBMPs, 2), SetValue(kChkDeleteBMPs, 1),
        Value(kChkDeleteBMPs, 1), Raises(SetValue(kChkDeleteBMPs, 3), 380),
        Raises(SetValue(kChkDeleteBMPs, -1), 380), Value(kChkDeleteBMPs, 1),
        SetValue(kChkDeleteBMPs, 0), Value(kChkDeleteBMPs, 0)}},
      {"only a check box holds a value",
       {Raises(SetValue(kTxtPath, 1), 380), Raises(Value(kTxtTI89Dir, 0), 380),
        Raises(Value(kCmdExit, 0), 380)}},
      {"a name the table lacks raises error 5 naming the form",
       {Raises(Text("txtNone", ""), 5, "frmMain has no control txtNone"),
        Raises(SetText("Label1(2)", "x"), 5, "frmMain has no control Label1(2)"),
        Raises(Value("chkdeletebmps", 0), 5, "frmMain has no control chkdeletebmps")}},
      {"after unloading, reads give what the window showed and writes only change that",
       {SetText(kTxtTI89Dir, "dev"), SetValue(kChkDeleteBMPs, 2), Unload(),
        Text(kTxtTI89Dir, "dev"), Value(kChkDeleteBMPs, 2), Text(kLblFolder, "Folder:"),
        SetText(kTxtTI89Dir, "later"), Text(kTxtTI89Dir, "later"),
        Raises(SetValue(kChkDeleteBMPs, 3), 380), Raises(Text("txtNone", ""), 5)}},
  };
  return all;
}

// Performs the scenario's steps on View; one line for each step whose result differs.
inline std::vector<std::string> RunFormScenario(FormView& View, const FormScenario& Scenario) {
  std::vector<std::string> differences;
  for (std::size_t i = 0; i < Scenario.Steps.size(); ++i) {
    const FormStep& step = Scenario.Steps[i];
    const std::string at = Scenario.Name + ", step " + std::to_string(i + 1) + ": ";
    try {
      switch (step.Op) {
        case FormOp::SetText:
          View.SetText(step.Control, step.Text);
          break;
        case FormOp::Text:
          if (const std::string got = View.Text(step.Control); got != step.Text && !step.Error)
            differences.push_back(at + "text \"" + got + "\", expected \"" + step.Text + "\"");
          break;
        case FormOp::SetValue:
          View.SetValue(step.Control, step.Value);
          break;
        case FormOp::Value:
          if (const int got = View.Value(step.Control); got != step.Value && !step.Error)
            differences.push_back(at + "value " + std::to_string(got) + ", expected " +
                                  std::to_string(step.Value));
          break;
        case FormOp::Unload:
          View.Unload();
          break;
      }
      if (step.Error) differences.push_back(at + "raised nothing");
    } catch (const RaisedError& e) {
      if (e.Number != step.Error)
        differences.push_back(at + "raised " + std::to_string(e.Number) + " " + e.Description);
      else if (!step.Description.empty() && e.Description != step.Description)
        differences.push_back(at + "raised \"" + e.Description + "\"");
    }
  }
  return differences;
}

}  // namespace pictrane::scenarios
