#include "reports/ReportFilter.h"

#include "common/SkippedFolders.h"

namespace ovik {

bool LineQualifies(std::string_view line, ReportFilter filter, bool selected) {
  const bool isNonError = line.substr(0, 2) == "Ok" || IsNoteLine(line);
  switch (filter) {
    case ReportFilter::All: return true;
    case ReportFilter::ErrorsOnly: return !isNonError;
    case ReportFilter::NonErrorsOnly: return isNonError;
    case ReportFilter::SelectedOnly: return selected;
  }
  return false;
}

}  // namespace ovik
