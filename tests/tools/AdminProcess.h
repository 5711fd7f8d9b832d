#pragma once
// The built merrowby-admin run as a process, for the tools' tests.

#include <QProcess>
#include <QString>
#include <QStringList>

inline const QString kAdmin = QStringLiteral(MERROWBY_BINARY_DIR "/tools/merrowby-admin");

struct AdminRun {
    int code = -1;  // -1: it did not finish within a minute; -2: it did not exit normally (abort, signal)
    QString out;    // standard output, then standard error
    QString err;    // standard error alone
};

inline AdminRun admin(const QStringList& args) {
    QProcess p;
    p.start(kAdmin, args);
    AdminRun r;
    if (!p.waitForFinished(60000)) return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = QString::fromUtf8(p.readAllStandardOutput()) + r.err;
    return r;
}
