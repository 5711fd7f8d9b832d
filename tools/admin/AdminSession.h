#pragma once
// One admin command's hold on a data directory: a library of its own on the directory (bound to
// LibHandle for the data routines while the command runs), prompts that print to standard error
// and answer every question "Cancel", and for commands that write, the data-directory lock that
// the program also holds, so that one writer at a time works on a book.
//
// Every message is one line: "merrowby-admin: <command>: <text>".

#include <QString>
#include <memory>
#include <string>

#include "core/data/DataStatus.h"
#include "core/run/RunContext.h"

namespace xbase {
class Library;
}

class AdminSession {
public:
    enum class Access { ReadOnly, Writes };

    AdminSession(const char* command, const QString& dir, Access access);
    // Closes every table still open (a failure is printed) and puts LibHandle back.
    ~AdminSession();
    AdminSession(const AdminSession&) = delete;
    AdminSession& operator=(const AdminSession&) = delete;

    // Takes the lock when the command writes. False (and the reason printed) when the program or
    // another command holds it, or it cannot be taken.
    bool begin();
    // For a command that reads and, as it turns out, also writes (a label run that remembers
    // where its sheet stopped): takes the lock and lets the library write. False when the lock
    // cannot be taken, with the reason in *why and nothing printed; the session stays read-only.
    bool beginWriting(QString* why);

    RunContext& context() { return ctx_; }
    xbase::Library& library() { return *lib_; }

    // Prints `text` (line breaks become blanks) and returns `code`.
    int fail(const QString& text, int code = 1) const;
    // The same for a data routine's failure ("Unable to open file AddrBook.DBF: ...").
    int fail(const DataStatus& s, const QString& what = QStringLiteral("Unable to open file "), int code = 1) const;
    // Prints a status or progress line on standard output (status texts) or error (progress).
    void say(const QString& text) const;

    // Closes every table; a failure is printed and returned as 1, else 0.
    int finish();

private:
    bool takeLock(QString* why);

    const char* command_;
    QString dir_;
    Access access_;
    std::unique_ptr<xbase::Library> lib_;
    FunctionPrompts prompts_;
    RunContext ctx_;
    xbase::Library* previous_;
    bool locked_ = false;
    bool finished_ = false;
};

// `s` fit for a terminal: control characters (C0, DEL, C1), backslashes and bytes that are not
// UTF-8 become \xNN escapes, so that bytes read from a damaged file can neither garble the
// screen nor pass for other text.
std::string PrintableText(const std::string& s);

// A field of a comma-separated line: quoted, with quotes doubled, when it holds a comma, a quote
// or a line break.
std::string CsvField(const std::string& s);
// `s` without its trailing blanks (a fixed-width column as stored).
std::string TrimRight(std::string s);
