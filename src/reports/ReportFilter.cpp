#include "reports/ReportFilter.h"

namespace ovik {

bool LineQualifies(std::string_view line, ReportFilter filter, bool selected) {
  const bool isOk = line.substr(0, 2) == "Ok";
  switch (filter) {
    case ReportFilter::All: return true;
    case ReportFilter::ErrorsOnly: return !isOk;
    case ReportFilter::NonErrorsOnly: return isOk;
    case ReportFilter::SelectedOnly: return selected;
  }
  return false;
}

}  // namespace ovik
