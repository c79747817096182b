#pragma once

#include "reports/ReportForm.h"

#include <optional>
#include <string>

class QWidget;

namespace ovik {

inline constexpr const char* kCsvFilesEntry = "CSV files (*.csv)";
inline constexpr const char* kTextFilesEntry = "Text files (*.txt)";
inline constexpr const char* kTextWithNotesEntry = "Text files with notes (*.txt)";

struct ReportFileChoice {
  std::string path;  // bytes of the name as the file system takes them
  ReportFormat format;
};

// Shows the save dialog "dlgSave" for a report. The file name and filter
// entry chosen last in this process are offered again. The form is CSV
// exactly when the "CSV files" entry is chosen, whatever the name's
// extension. When some line has a note, a third entry writes the text form
// with each note on the line below its line. Nothing when the user cancels.
std::optional<ReportFileChoice> AskReportFile(QWidget* parent, bool offerNotes = false);

}  // namespace ovik
