#pragma once
// What the window tests share: the services a real watch runs with, the owner
// text the platform reports for files of this process, and files that appear
// in a watched folder whole (moved in from outside), so their size is known
// when the change is reported.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include "ui/qt/fWatcher.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/watch_services.h"

namespace tarnwell::test {

struct RealServices {
    QtDispatcher dispatcher;
    WatchServices services;
    WatchContext Context() { return WatchContext{dispatcher, services.Batch()}; }
};

// host up to its first dot, "\", account name.
inline QString ExpectedOwner() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    QString domain = QString::fromLocal8Bit(host);
    domain = domain.left(domain.indexOf(QLatin1Char('.')) < 0 ? domain.size()
                                                              : domain.indexOf(QLatin1Char('.')));
    const passwd* account = getpwuid(geteuid());
    return domain + QLatin1Char('\\') +
           QString::fromLocal8Bit(account != nullptr ? account->pw_name : "");
}

// Writes the file in `staging` and moves it into `folder`: one "Created".
inline bool DropFile(const QTemporaryDir& staging, const QString& folder, const QString& name,
                     const QByteArray& content) {
    const QString outside = staging.filePath(name);
    QFile file(outside);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return false;
    file.close();
    return QFile::rename(outside, QDir(folder).filePath(name));
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether this process holds `path` open.
inline bool ProcessHasOpen(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) return true;
    return false;
}

// Whether an inotify watch of this process is on `folder`: a watch records
// changes only from the worker's first read on, so a test waits for it
// before it makes the changes it expects to see.
inline bool IsWatched(const QString& folder) {
    struct stat info {};
    if (stat(QFile::encodeName(folder).constData(), &info) != 0) return false;
    const QString needle =
        QStringLiteral(" ino:%1 ").arg(static_cast<qulonglong>(info.st_ino), 0, 16);
    const QDir fdinfo(QStringLiteral("/proc/self/fdinfo"));
    for (const QString& fd : fdinfo.entryList(QDir::Files)) {
        for (const QByteArray& line : ReadAll(fdinfo.filePath(fd)).split('\n'))
            if (line.startsWith("inotify wd:") && QString::fromLatin1(line).contains(needle))
                return true;
    }
    return false;
}

}  // namespace tarnwell::test
