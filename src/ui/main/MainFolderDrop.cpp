#include "ui/main/MainFolderDrop.h"

#include "platform/drives/Drives.h"
#include "ui/browse/BrowsePaths.h"

#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>

namespace ovik {
namespace {

constexpr char kUriListType[] = "text/uri-list";

// The lines of a uri-list that name something: no blank lines, no comments.
QList<QByteArray> UriLines(const QByteArray& uriList) {
  QList<QByteArray> lines;
  for (const QByteArray& line : uriList.split('\n')) {
    const QByteArray uri = line.trimmed();
    if (!uri.isEmpty() && !uri.startsWith('#')) lines.append(uri);
  }
  return lines;
}

bool IsThisMachine(const QString& host) {
  return host.isEmpty() || host.compare("localhost", Qt::CaseInsensitive) == 0 ||
         host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

// The one folder path that a uri-list names, whether or not it exists.
std::optional<std::string> FolderOfUriList(const QByteArray& uriList) {
  const QList<QByteArray> lines = UriLines(uriList);
  if (lines.size() != 1) return std::nullopt;
  const QUrl url = QUrl::fromEncoded(lines.front());
  if (!url.isValid() || !url.isLocalFile() || !IsThisMachine(url.host()) || url.hasQuery() || url.hasFragment())
    return std::nullopt;
  // Decoding the escaped path by hand keeps the bytes of a name that is not
  // UTF-8.
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  if (!path.startsWith('/') || path.contains('\0')) return std::nullopt;
  return NormalizedFolderPath(path.toStdString(), "/");
}

// An existing folder of this machine, or nothing.
std::optional<std::string> DraggedFolder(const QMimeData& data) {
  if (!data.hasFormat(kUriListType)) return std::nullopt;
  std::optional<std::string> folder = FolderOfUriList(data.data(kUriListType));
  if (!folder || !SystemDrives().IsFolder(*folder)) return std::nullopt;
  return folder;
}

// A copy or a link, whichever the source offers.
std::optional<Qt::DropAction> FolderDropAction(Qt::DropActions possible) {
  if (possible & Qt::CopyAction) return Qt::CopyAction;
  if (possible & Qt::LinkAction) return Qt::LinkAction;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> AnswerFolderDrag(QDropEvent& event, bool runInProgress) {
  const std::optional<Qt::DropAction> action = FolderDropAction(event.possibleActions());
  std::optional<std::string> folder;
  if (!runInProgress && action && event.mimeData() != nullptr) folder = DraggedFolder(*event.mimeData());
  if (!folder) {
    event.ignore();
    return std::nullopt;
  }
  event.setDropAction(*action);
  event.accept();
  if (event.type() != QEvent::Drop) return std::nullopt;
  return folder;
}

}  // namespace ovik
