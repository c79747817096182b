#pragma once

#include "reports/ReportFilter.h"

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
  const std::vector<std::string>& lines;
  std::function<bool(std::size_t row)> isSelected;
};

// Asks for a file name in the save dialog and writes the qualifying lines
// as text or CSV, reporting failures in error boxes.
void SaveDetails(QWidget* parent, const DetailsContext& details, ReportFilter filter);

// Replaces the clipboard's contents with the qualifying lines as text.
void CopyDetails(const DetailsContext& details, ReportFilter filter);

}  // namespace ovik
