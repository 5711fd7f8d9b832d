#include "core/import/ImportStore.h"

#include <algorithm>

#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {
constexpr int kFirstBatch = 2000;
}

ImportStore::ImportStore(int batchMs) : batchMs_(batchMs) {
    if (AddrBookTable) startRows_ = storedRows_ = AddrBookTable->dbf().countedRows();
    batchAge_.start();
}

bool ImportStore::failed(const QString& detail) {
    diskFull_ = LibHandle && LibHandle->lastError().kind == xbase::ErrorKind::NoSpace;
    failure_ = detail.isEmpty() ? QStringLiteral("cannot write") : detail;
    if (LibHandle) LibHandle->errorCode();  // told through finish()
    return false;
}

bool ImportStore::add(const TAddressRecord& rec) {
    if (!failure_.isEmpty() || !AddrBookTable) return false;
    // The append writes the row before it: a failure there is the batch's, and takes it back.
    if (AddrBookTable->appendBlank() != 0)
        return failed(LibHandle ? QString::fromStdString(LibHandle->lastError().toString()) : QString());
    AddressRec = rec;
    StoreAddrRec();
    lastAdded_ = (rec.First.trimmed() + QLatin1Char(' ') + rec.Last.trimmed()).trimmed();
    // A batch ends after batchMs_, or once it holds as many names as the run stored before it
    // (at least kFirstBatch): a run that stops keeps at least half of what it had added, and
    // a long one writes its index about twice over.
    ++batchRows_;
    const bool full = batchRows_ >= std::max(kFirstBatch, stored());
    return (!full && batchAge_.elapsed() < batchMs_) || storeBatch();
}

bool ImportStore::storeBatch() {
    const DataStatus s = FlushTable(AddrBookTable);
    if (!s) return failed(s.detail);
    storedRows_ = AddrBookTable->dbf().countedRows();
    lastStored_ = lastAdded_;
    batchRows_ = 0;
    batchAge_.restart();
    return true;
}

RunStatus ImportStore::finish() {
    if (failure_.isEmpty() && AddrBookTable) storeBatch();
    const DataStatus closed = CloseTable(AddrBookTable);
    if (!closed && failure_.isEmpty()) failed(closed.detail);
    if (LibHandle) LibHandle->errorCode();
    return failure_.isEmpty() ? RunStatus::Ok() : RunStatus::failure(stoppedText());
}

QString ImportStore::stoppedText() const {
    const QString why = diskFull_ ? QStringLiteral("the disk is full") : QStringLiteral("a write failed");
    const QString what =
        stored() == 0 ? QStringLiteral("The import stopped before any name was added.")
                      : QStringLiteral("The import stopped after %1 names, the last of them %2; the names "
                                       "after it in the file were not added.")
                            .arg(stored())
                            .arg(lastStored_);
    return QStringLiteral("Unable to add every name to the address book: ") + why + QStringLiteral(".\r\n") +
           what + QStringLiteral("\r\n") + failure_;
}
