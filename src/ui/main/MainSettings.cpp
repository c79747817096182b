#include "ui/main/MainSettings.h"

#include <QSettings>

namespace ovik {
namespace {

constexpr char kKeepAwakeKey[] = "KeepAwakeDuringRun";

QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "ovik", "ovik"); }

}  // namespace

bool KeepAwakeSetting() { return UserSettings().value(kKeepAwakeKey, true).toBool(); }

void SaveKeepAwakeSetting(bool keepAwake) { UserSettings().setValue(kKeepAwakeKey, keepAwake); }

}  // namespace ovik
