#pragma once
// What a data routine reports when it fails: the file the user is told about (spelt as the
// program's messages spell it, "AddrBook.DBF", "Address.Ntx") and the engine's reason. The data
// routines never end the process or show a window; the caller decides what a failure means: the
// windows show the fatal message and end the program, the admin tool prints it and exits 1.

#include <QString>

#include "xbase/Status.h"

struct [[nodiscard]] DataStatus {
    QString file;    // the file concerned; empty on success
    QString detail;  // the engine's description ("Corrupt: ...: header length ..."), may be empty

    bool ok() const { return file.isEmpty() && detail.isEmpty(); }
    explicit operator bool() const { return ok(); }

    static DataStatus Ok() { return {}; }
    static DataStatus failure(const QString& file, const QString& detail) {
        DataStatus s;
        s.file = file.isEmpty() ? QStringLiteral("?") : file;
        s.detail = detail;
        return s;
    }
    static DataStatus failure(const QString& file, const xbase::Status& engine) {
        return failure(file, QString::fromStdString(engine.toString()));
    }
    // "AddrBook.DBF: Corrupt: ..." for logs and the admin tool.
    QString toString() const { return detail.isEmpty() ? file : file + QStringLiteral(": ") + detail; }
};
