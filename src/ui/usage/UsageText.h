#pragma once

#include <QString>
#include <QStringList>

namespace ovik {

// The usage text of Help > Usage, one entry per line of the usage window.
QStringList UsageLines();

// The usage lines joined by line feeds, without a final line break.
QString UsageText();

}  // namespace ovik
