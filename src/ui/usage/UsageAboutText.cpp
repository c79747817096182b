#include "ui/usage/UsageAboutText.h"

#include "Version.h"

namespace ovik {

namespace {
const QString kLineBreak = QStringLiteral("\r\n");
}  // namespace

QString AboutProductText() {
  return QStringLiteral("Ovik V") + QString::fromLatin1(kVersionText) + kLineBreak + kLineBreak +
         QStringLiteral("Verifies an archive/file transfer") + kLineBreak +
         QStringLiteral("by comparing the contents of two folders") + kLineBreak +
         QStringLiteral("Click Help, Usage for more details") + kLineBreak + kLineBreak;
}

QString MakerNotice() {
  return QStringLiteral("Copyright (C) ") + QString::fromLatin1(kCopyrightYear) +
         QStringLiteral(" the Ovik developers");
}

QString AboutText() {
  return AboutProductText() + MakerNotice() + kLineBreak +
         QStringLiteral("Updates and contact details on ") + QString::fromLatin1(kWebAddress);
}

}  // namespace ovik
