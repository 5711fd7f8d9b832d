#pragma once
// What a run of the core (printing labels, importing, exporting, reading a contact file,
// printing the calibration sheet) reports when it stops short: the reason, worded as the user is
// told it. A failure of the data routines underneath comes as a DataStatus (the file and the
// engine's reason) and is worded into the run's reason by the run. The core never shows it; the
// window that started the run shows it in a message box, the admin command prints it and exits 1.

#include <QString>

struct [[nodiscard]] RunStatus {
    QString reason;  // empty on success

    bool ok() const { return reason.isEmpty(); }
    bool failed() const { return !ok(); }
    explicit operator bool() const { return ok(); }

    static RunStatus Ok() { return {}; }
    // A failure always has a reason: an empty one is told as "?" rather than taken for success.
    static RunStatus failure(const QString& reason) {
        RunStatus s;
        s.reason = reason.isEmpty() ? QStringLiteral("?") : reason;
        return s;
    }
    QString toString() const { return reason; }
};
