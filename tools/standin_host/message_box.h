// The stand-in answers MessageBoxA itself: the first bytes of user32's MessageBoxA are
// replaced by a jump to a handler that records the dialog and gives the scenario's answer.
#pragma once
#include <string>
#include <vector>

namespace standin {

struct Dialog {
  std::string text, caption;
  unsigned flags;
  bool ownerNull;
};

// With an expected text, each dialog is also checked against it as it is shown (a No ends
// the process before the scenario could look).
void CatchMessageBoxes(bool answerYes, const std::string& expectedText);
const std::vector<Dialog>& Dialogs();

}  // namespace standin
