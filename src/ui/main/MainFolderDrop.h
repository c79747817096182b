#pragma once

#include <optional>
#include <string>

class QDropEvent;

namespace ovik {

// Answers a drag or drop onto a folder field. It is accepted when it
// carries exactly one folder of this machine (a file URL in a
// text/uri-list) and no run is in progress, and is taken as a copy or a
// link, never as a move, which would let the file manager delete what was
// dragged. Anything else is refused, which shows the no-drop cursor.
// Returns the folder, as bytes, when the event is an accepted drop.
std::optional<std::string> AnswerFolderDrag(QDropEvent& event, bool runInProgress);

}  // namespace ovik
