#pragma once

#include <string_view>

namespace ovik {

enum class ReportFilter { All = 0, ErrorsOnly = 1, NonErrorsOnly = 2, SelectedOnly = 3 };

// True when a details-list line qualifies for the filter. The non-error
// lines are those that begin with "Ok", compared exactly and with case, and
// those that name a folder the walks passed over; any other line is an
// error line.
bool LineQualifies(std::string_view line, ReportFilter filter, bool selected);
// True when the text of a line is an error line by the rule above.
bool DetailLineIsError(std::string_view line);
// The same for a line whose kind is known.
bool Qualifies(bool isError, ReportFilter filter, bool selected);

}  // namespace ovik
