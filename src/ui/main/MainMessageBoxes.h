#pragma once

#include <QString>

namespace ovik {

// A question in a "Confirm" box with Yes (the default) and No (also Esc),
// centred on the screen. True on Yes.
bool AskConfirm(const QString& text);

// A "Warning" box with one OK button (Enter and Esc), centred on the screen.
void ShowWarning(const QString& text);

// An "Error" box with one OK button, centred on the screen.
void ShowError(const QString& text);

}  // namespace ovik
