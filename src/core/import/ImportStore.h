#pragma once
// The write side of an import run: the names go into the open address book in batches, each
// made permanent by a flush, so that the run always knows how many it stored. A write that fails
// (a full disk) stops the run: the engine takes back the batch it was writing (Table::flush), and
// the book keeps exactly the names of the batches stored before, which is what the run reports.
// The stored-layout import and the detected import both append through it.

#include <QElapsedTimer>
#include <QString>
#include <cstdint>

#include "core/data/Globals.h"
#include "core/data/RunStatus.h"

class ImportStore {
public:
    // Appends to AddrBookTable, which must be open. A batch is stored once it has been filling
    // for `batchMs` milliseconds (0: every name on its own), or holds as many names as were
    // stored before it (2,000 at least), and at finish().
    explicit ImportStore(int batchMs = 1000);

    // Appends `rec` as a new row. False when a write failed: the run must stop (finish() says
    // why); the names of the batches stored before stay.
    bool add(const TAddressRecord& rec);
    // Stores the last batch and closes AddrBook. A failure when a write failed, here or in add(),
    // worded for the user: "Unable to add every name ...", the disk full or a write failed, how
    // many names were added and the last of them, then the engine's reason.
    RunStatus finish();

    int stored() const { return int(storedRows_ - startRows_); }  // names stored for good

private:
    bool storeBatch();
    bool failed(const QString& detail);
    QString stoppedText() const;

    int batchMs_;
    uint32_t startRows_ = 0;
    uint32_t storedRows_ = 0;
    int batchRows_ = 0;
    QString lastAdded_, lastStored_;
    QString failure_;  // the engine's reason once a write failed
    bool diskFull_ = false;
    QElapsedTimer batchAge_;
};
