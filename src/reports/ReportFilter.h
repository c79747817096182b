#pragma once

#include <string_view>

namespace ovik {

enum class ReportFilter { All = 0, ErrorsOnly = 1, NonErrorsOnly = 2, SelectedOnly = 3 };

// True when a details-list line qualifies for the filter. "Ok" is compared
// exactly and with case: any other line is an error line.
bool LineQualifies(std::string_view line, ReportFilter filter, bool selected);

}  // namespace ovik
