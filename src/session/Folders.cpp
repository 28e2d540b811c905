#include "session/Folders.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "core/config/Settings.h"
#include "core/record/RunJournal.h"

namespace {

#ifdef Q_OS_WIN
// Windows' own place for a program's data, not roamed between machines.
QString userConfigFolder() {
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                    QStringLiteral("/KV2047"));
}
QString userJournalFolder() { return userConfigFolder() + QStringLiteral("\\Journals"); }
#else
// The XDG folders, whose rules the core keeps (and tests byte for byte).
QString userConfigFolder() { return fromCorePath(kv::resolveConfigDir({})); }
QString userJournalFolder() { return fromCorePath(kv::journalDirFor({})); }
#endif

}  // namespace

Folders resolveFolders(const QString& configDirOption) {
    const QString given = !configDirOption.isEmpty() ? configDirOption : qEnvironmentVariable("KV2047_CONFIG_DIR");
    if (!given.isEmpty()) return {given, given, true};
    return {userConfigFolder(), userJournalFolder(), false};
}

#ifdef Q_OS_WIN
std::string corePath(const QString& path) { return path.toStdString(); }
QString fromCorePath(const std::string& path) { return QString::fromStdString(path); }
#else
std::string corePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString fromCorePath(const std::string& path) { return QFile::decodeName(path.c_str()); }
#endif
