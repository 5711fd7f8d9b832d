#pragma once
// Reading vCard files (2.1, 3.0, 4.0) for ContactReader.h: a file cut into physical lines,
// the lines unfolded, and each card made into a contact as it closes.

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <functional>

#include "core/data/Globals.h"
#include "core/data/RunStatus.h"
#include "core/import/ContactValues.h"

namespace contactread {

// What is known of the card being read.
struct CardState {
    TAddressRecord rec;
    bool haveAdr = false, homeAdr = false, haveEmail = false, flagsGiven = false;
    QString fullName, occasions;
};

// Reads cards from the lines of a file, one physical line at a time, and hands on each card
// as it closes.
class VCardReader {
public:
    // `full` false: the cards are only counted (onContact gets an empty record) and their
    // nesting checked; their properties are not read.
    VCardReader(bool defaultUtf8, bool full, std::function<bool(TAddressRecord&)> onContact)
        : defaultUtf8_(defaultUtf8), full_(full), onContact_(std::move(onContact)) {}

    // One physical line without its ending. False: stop (status() says why, or onContact said so).
    bool line(const QByteArray& phys);

    // The end of the file. False when the cards do not close, or none was found.
    bool finish();

    const RunStatus& status() const { return status_; }

private:
    static bool isQp(const QByteArray& l);
    void append(const QByteArray& more);
    // One unfolded line; false when the file cannot be read on.
    bool handle(const QByteArray& line, int at);

    bool defaultUtf8_, full_;
    std::function<bool(TAddressRecord&)> onContact_;
    int depth_ = 0, lineNo_ = 0, beginLine_ = 0, pendingLine_ = 0;
    bool v21_ = false, sawCard_ = false;
    CardState card_;
    QByteArray pending_;
    RunStatus status_;
};

// Cuts bytes into physical lines at CR, LF or CR LF; a line longer than kMostLineBytes keeps
// its start. `onLine` returns false to stop.
class LineCutter {
public:
    template <class F>
    bool feed(const char* p, size_t n, F&& onLine) {
        for (size_t i = 0; i < n;) {
            if (afterCr_ && p[i] == '\n') {  // the LF of a CR LF pair
                afterCr_ = false;
                ++i;
                continue;
            }
            afterCr_ = false;
            size_t e = i;
            while (e < n && p[e] != '\r' && p[e] != '\n') ++e;
            if (line_.size() < kMostLineBytes)
                line_.append(p + i, qsizetype(std::min<size_t>(e - i, size_t(kMostLineBytes - line_.size()))));
            if (e == n) break;
            afterCr_ = p[e] == '\r';
            i = e + 1;
            if (!onLine(line_)) return false;
            line_.clear();
        }
        return true;
    }
    // The last line, also when it is empty (a file ending in a line break).
    template <class F>
    bool finish(F&& onLine) {
        const bool go = onLine(line_);
        line_.clear();
        return go;
    }

private:
    QByteArray line_;
    bool afterCr_ = false;
};

}  // namespace contactread
