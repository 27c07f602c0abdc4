#include "platform/qt/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace vexmoor {

QString TInstanceLock::LockPath(const QString& programFolder) {
  QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (base.isEmpty()) base = QDir::tempPath();
  const QByteArray key = QCryptographicHash::hash(QDir::cleanPath(programFolder).toUtf8(), QCryptographicHash::Sha1);
  return QDir(base).filePath(QStringLiteral("vexmoor-%1.lock").arg(QString::fromLatin1(key.toHex().left(16))));
}

TInstanceLock::TInstanceLock(const QString& programFolder)
    : lock_(std::make_unique<QLockFile>(LockPath(programFolder))) {
  // No stale time: only a lock whose process has ended is taken over.
  lock_->setStaleLockTime(0);
  held_ = lock_->tryLock(0);
  // A lock file that cannot be made at all says nothing about others.
  if (!held_ && lock_->error() != QLockFile::LockFailedError) held_ = true;
}

TInstanceLock::~TInstanceLock() = default;

}  // namespace vexmoor
