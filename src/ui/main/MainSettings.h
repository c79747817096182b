#pragma once

namespace ovik {

// The choices Ovik remembers from one start to the next, in the user's
// configuration folder (ovik/ovik.conf).

// File, Keep the computer awake during a run; on until switched off.
bool KeepAwakeSetting();
void SaveKeepAwakeSetting(bool keepAwake);

}  // namespace ovik
