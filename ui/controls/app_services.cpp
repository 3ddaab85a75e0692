#include "app_services.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <system_error>

#include "platform.h"

namespace ui {

std::filesystem::path AppFolder() {
  return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

std::string AppVersion() {
  return std::to_string(ZORBEX_VERSION_MAJOR) + "." + std::to_string(ZORBEX_VERSION_MINOR) + "." +
         std::to_string(ZORBEX_VERSION_PATCH);
}

std::string AppTitle() { return "ZORBEXEditor"; }

InstanceLock::InstanceLock(const std::filesystem::path& appFolder) {
  // The lock lives in the temporary folder, named after the canonical application folder,
  // so that a read-only or moved application folder changes nothing. The lock ends with its
  // process, so a copy that crashed leaves nothing that blocks the next start.
  QString canonical = QFileInfo(QString::fromStdString(appFolder.string())).canonicalFilePath();
  if (canonical.isEmpty()) canonical = QString::fromStdString(appFolder.string());
  QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  const QString lockFile = QDir::tempPath() + "/zorbex-editor-" + QString::fromLatin1(hash) + ".lock";
  try {
    lock_ = platform::tryHoldLock(std::filesystem::path(lockFile.toStdU16String()));
  } catch (const std::system_error&) {
    // A lock that cannot be taken counts as held by another copy, as it always has.
  }
}

InstanceLock::~InstanceLock() = default;

}  // namespace ui
