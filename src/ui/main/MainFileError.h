#pragma once

#include "reports/FileFailure.h"

#include <QString>

#include <string>

class QWidget;

namespace ovik {

// "Error 28 writing file" on the first line, the file's path on the second.
QString FileErrorMessage(const std::string& fileName, int code, FileAction action);

// The error box of the report output: titled "Error", a critical icon, one
// OK button, centred on the screen.
void ShowFileError(QWidget* parent, const std::string& fileName, int code, FileAction action);

}  // namespace ovik
