#include "reports/ReportFilter.h"

#include "common/SkippedFolders.h"

namespace ovik {

bool DetailLineIsError(std::string_view line) { return !(line.substr(0, 2) == "Ok" || IsNoteLine(line)); }

bool LineQualifies(std::string_view line, ReportFilter filter, bool selected) {
  return Qualifies(DetailLineIsError(line), filter, selected);
}

bool Qualifies(bool isError, ReportFilter filter, bool selected) {
  switch (filter) {
    case ReportFilter::All: return true;
    case ReportFilter::ErrorsOnly: return isError;
    case ReportFilter::NonErrorsOnly: return !isError;
    case ReportFilter::SelectedOnly: return selected;
  }
  return false;
}

}  // namespace ovik
