#pragma once

class QWidget;

namespace ovik {

// The About box of the Help menu.
void ShowAboutBox(QWidget* parent);

}  // namespace ovik
