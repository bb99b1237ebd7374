#pragma once

// Asks the user: message boxes and questions. The window shows dialogs and waits for the
// answer; a console prints the text to standard error and takes the default answer at once.
// Texts break lines with a lone carriage return.

#include <string>

namespace core {

class Asker
{
public:
    virtual ~Asker() = default;

    // A message with an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // OK and Cancel, OK the default; true for OK.
    virtual bool askOkCancel(const std::string& title, const std::string& text) = 0;
    // Yes and No, Yes the default; true for Yes.
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
};

} // namespace core
