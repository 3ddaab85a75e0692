#include "app_services.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

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
  // so that a read-only or moved application folder changes nothing. QLockFile recognises
  // the lock of a copy that crashed (its process is gone) and takes it over.
  QString canonical = QFileInfo(QString::fromStdString(appFolder.string())).canonicalFilePath();
  if (canonical.isEmpty()) canonical = QString::fromStdString(appFolder.string());
  QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  lock_ = std::make_unique<QLockFile>(QDir::tempPath() + "/zorbex-editor-" + QString::fromLatin1(hash) + ".lock");
  lock_->setStaleLockTime(0);
  held_ = lock_->tryLock(0);
}

InstanceLock::~InstanceLock() {
  if (held_) lock_->unlock();
}

}  // namespace ui
