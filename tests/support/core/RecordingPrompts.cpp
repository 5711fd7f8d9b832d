#include "RecordingPrompts.h"

QStringList RecordingPrompts::texts() const {
    QStringList l;
    for (const Entry& e : entries_) l << e.text;
    return l;
}

bool RecordingPrompts::asked(Kind, const QString&) { return answer_; }

bool RecordingPrompts::record(Kind kind, const QString& text) {
    const bool answer = asked(kind, text);
    entries_.push_back({kind, text});
    return answer;
}
