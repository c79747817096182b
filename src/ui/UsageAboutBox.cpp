#include "ui/UsageAboutBox.h"

namespace ovik {

void ShowAboutBox(QWidget*) {}

}  // namespace ovik
