#pragma once

#include "reports/ReportForm.h"

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace ovik {

// What the File menu's Save items and the Edit menu's Copy items work on:
// the folder fields as shown and the details list in its order.
struct DetailsContext {
  std::string sourceText;
  std::string destText;
  DetailLines lines;
  std::function<bool(std::size_t row)> isSelected;
  bool hasNotes = false;
};

// Copying more lines than this asks first.
inline constexpr std::size_t kCopyAskAbove = 100000;

// Asks for a file name in the save dialog and writes the qualifying lines
// as text or CSV as they are made, reporting failures in error boxes. A
// long save shows its progress in a box that can stop it.
void SaveDetails(QWidget* parent, const DetailsContext& details, ReportFilter filter);

// Replaces the clipboard's contents with the qualifying lines as text;
// asks first when they are more than kCopyAskAbove. A long copy shows its
// progress in a box that can stop it, the clipboard then left as it was.
void CopyDetails(const DetailsContext& details, ReportFilter filter);

}  // namespace ovik
