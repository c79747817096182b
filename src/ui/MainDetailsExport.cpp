#include "ui/MainDetailsExport.h"

namespace ovik {

void SaveDetails(QWidget*, const DetailsContext&, ReportFilter) {}

void CopyDetails(const DetailsContext&, ReportFilter) {}

}  // namespace ovik
