#include "core/addressbook/AddressBookEditor.h"

#include <QDate>
#include <algorithm>
#include <string>
#include <vector>

#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Cp1252.h"
#include "xbase/Dbf.h"
#include "xbase/Library.h"
#include "xbase/Ntx.h"
#include "xbase/Table.h"

namespace {

// Longest seek text handed to the index; longer texts cannot match a stored key anyway.
constexpr int kSeekLength = 59;

const xbase::FieldInfo* fieldInfo(xbase::Table* table, const char* name) {
    const int i = table->dbf().fieldIndex(name);
    return i < 0 ? nullptr : &table->dbf().fields()[static_cast<size_t>(i)];
}

// The name key of the current row as the row holds it now (the address index's key).
std::string nameKeyOfCurrent(xbase::Table* table) {
    const xbase::FieldInfo* last = fieldInfo(table, "Last");
    const xbase::FieldInfo* first = fieldInfo(table, "First");
    const uint8_t* rec = table->rowBuffer();
    return CardNameKey(last ? xbase::field::raw(rec, *last) : std::string_view(),
                       first ? xbase::field::raw(rec, *first) : std::string_view());
}

}  // namespace

DataStatus AddressBookEditor::open() { return OpenAddrBook(); }

DataStatus AddressBookEditor::close() { return CloseTable(AddrBookTable); }

bool AddressBookEditor::isOpen() const { return AddrBookTable != nullptr; }

namespace {

// The fast way through a book: the names of every row in record order (sequential reads, a
// block at a time), then the order from the index alone. Stepping row by row in index order
// reads each record at a random place in the file, which costs a system call per row.
// Returns false when the table cannot be read this way; nothing is then promised of `rows`.
bool readNamesByIndex(xbase::Table* table, const xbase::FieldInfo* last,
                      const xbase::FieldInfo* first, AddressListModel::Rows* rows) {
    xbase::Tag* tag = table->selectedTag();
    if (!tag) return false;
    // Positioning writes a pending change of the current row, so the file and index agree.
    LastStatus = table->top();
    if (LastStatus < 0) return false;

    const uint32_t count = table->recCount();
    const size_t lw = static_cast<size_t>(rows->lastWidth);
    const size_t fw = static_cast<size_t>(rows->firstWidth);
    std::string lasts(count * lw, ' '), firsts(count * fw, ' ');
    xbase::DbfFile& dbf = table->dbf();
    for (uint32_t rec = 1; rec <= count; ++rec) {
        const uint8_t* p = nullptr;
        if (!dbf.recordPtr(rec, &p).ok()) return false;
        if (last) lasts.replace((rec - 1) * lw, lw, xbase::field::raw(p, *last));
        if (first) firsts.replace((rec - 1) * fw, fw, xbase::field::raw(p, *first));
    }

    xbase::NtxIndex& ix = tag->index();
    bool ok = false;
    if (!ix.first(&ok).ok()) return false;
    while (ok) {
        const uint32_t rec = ix.currentRecNo();
        if (rec < 1 || rec > count) return false;  // the index does not match the table
        rows->append(rec, std::string_view(lasts).substr((rec - 1) * lw, lw),
                     std::string_view(firsts).substr((rec - 1) * fw, fw));
        if (!ix.next(&ok).ok()) return false;
    }
    LastStatus = xbase::kEof;  // as a scan to the end leaves it
    return true;
}

}  // namespace

namespace {
// The returned-card marks of the rows; a log that cannot be read marks nobody.
void markReturned(xbase::Table* table, AddressListModel::Rows* rows) {
    rows->returned.clear();
    std::vector<uint8_t> byRec;
    if (!LibHandle || !CardsReturnedMarks(*LibHandle, table->dbf(), &byRec).ok()) return;
    if (std::find(byRec.begin(), byRec.end(), 1) == byRec.end()) return;
    rows->returned.resize(rows->size(), 0);
    for (size_t i = 0; i < rows->size(); ++i) {
        const uint32_t r = rows->recNos[i];
        if (r < byRec.size()) rows->returned[i] = byRec[r];
    }
}
}  // namespace

AddressListModel::Rows AddressBookEditor::readNames() const {
    AddressListModel::Rows rows;
    xbase::Table* table = AddrBookTable;
    if (!table) return rows;
    const xbase::FieldInfo* last = fieldInfo(table, "Last");
    const xbase::FieldInfo* first = fieldInfo(table, "First");
    rows.lastWidth = last ? last->length : 0;
    rows.firstWidth = first ? first->length : 0;
    const size_t expected = table->recCount();
    rows.recNos.reserve(expected);
    rows.last.reserve(expected * static_cast<size_t>(rows.lastWidth));
    rows.first.reserve(expected * static_cast<size_t>(rows.firstWidth));
    if (readNamesByIndex(table, last, first, &rows)) {
        markReturned(table, &rows);
        return rows;
    }

    // Row by row in index order, the names straight from the row buffer.
    rows.recNos.clear();
    rows.last.clear();
    rows.first.clear();
    for (LastStatus = table->top(); LastStatus == xbase::kOk; LastStatus = table->skip(1)) {
        const uint8_t* rec = table->rowBuffer();
        rows.append(table->recNo(), last ? xbase::field::raw(rec, *last) : std::string_view(),
                    first ? xbase::field::raw(rec, *first) : std::string_view());
    }
    markReturned(table, &rows);
    return rows;
}

void AddressBookEditor::loadCurrent() {
    if (CurrentAddrRecNo > 0 && AddrBookTable) {
        LastStatus = AddrBookTable->go(static_cast<uint32_t>(CurrentAddrRecNo));
        if (LastStatus == xbase::kOk) {
            LoadAddrRec();
            return;
        }
    }
    if (CurrentAddrRecNo > 0) CurrentAddrRecNo = 0;  // the record is gone: nothing to overwrite
    const QDate today = QDate::currentDate();
    AddressRec = TAddressRecord{};
    AddressRec.Birthdate = today;
    AddressRec.Annavdate = today;
    AddressRec.Other1Date = today;
    AddressRec.Other2Date = today;
}

AddressBookEditor::SaveResult AddressBookEditor::save() {
    xbase::Table* table = AddrBookTable;
    if (!table) return SaveResult::WriteFailed;
    if (CurrentAddrRecNo <= 0) {
        if (table->appendBlank() != 0) return SaveResult::AppendFailed;
        StoreAddrRec();
        const int added = static_cast<int>(table->recNo());
        // A flush that fails takes the new row back: nobody was added, and the next save
        // appends again.
        if (table->flush() != 0) return SaveResult::AppendFailed;
        CurrentAddrRecNo = added;
        return SaveResult::Saved;
    } else {
        LastStatus = table->go(static_cast<uint32_t>(CurrentAddrRecNo));
        if (LastStatus != xbase::kOk) return SaveResult::WriteFailed;
        const std::string before = nameKeyOfCurrent(table);
        StoreAddrRec();
        if (table->flush() != 0) return SaveResult::WriteFailed;
        const std::string after = nameKeyOfCurrent(table);
        CardLogProblem.clear();
        if (before != after && LibHandle) {
            const xbase::Status s =
                CardsRenamed(*LibHandle, static_cast<uint32_t>(CurrentAddrRecNo), before, after);
            if (!s.ok()) CardLogProblem = QString::fromStdString(s.toString());
        }
        return SaveResult::Saved;
    }
}

bool AddressBookEditor::removeCurrent(int position) {
    xbase::Table* table = AddrBookTable;
    if (!table || CurrentAddrRecNo <= 0) return true;
    CardLogProblem.clear();
    LastStatus = table->go(static_cast<uint32_t>(CurrentAddrRecNo));
    if (LastStatus != xbase::kOk) return false;
    if (table->markDeleted() != 0) return false;
    // Every row the pack takes out: this one, and any a dBASE tool marked meanwhile.
    std::vector<uint32_t> gone;
    for (uint32_t rec = 1, n = table->recCount(); rec <= n; ++rec) {
        const uint8_t* p = nullptr;
        if (rec == static_cast<uint32_t>(CurrentAddrRecNo) ||
            (table->dbf().recordPtr(rec, &p).ok() && p[0] == '*'))
            gone.push_back(rec);
    }

    // Place of the record in name order, 1 for the first: every step back counts, the one that
    // falls off the start included.
    int p = position;
    if (p <= 0) {
        p = 0;
        do {
            ++p;
            LastStatus = table->skip(-1);
        } while (LastStatus == xbase::kOk);
    }

    if (LibHandle) {
        const xbase::Status s = CardsBeforePack(*LibHandle);
        if (!s.ok()) CardLogProblem = QString::fromStdString(s.toString());
    }
    if (table->pack() != 0) {
        // Leave no half-deleted row behind: take the mark off again.
        if (table->go(static_cast<uint32_t>(CurrentAddrRecNo)) == xbase::kOk) {
            table->recall();
            table->flush();
        }
        return false;
    }
    if (table->flush() != 0) return false;
    if (LibHandle) {
        const xbase::Status s = CardsAfterPack(*LibHandle, gone);
        if (!s.ok()) CardLogProblem = QString::fromStdString(s.toString());
    }
    LastStatus = table->top();
    if (LastStatus == xbase::kOk && p > 2) LastStatus = table->skip(p - 2);
    CurrentAddrRecNo = (LastStatus == xbase::kOk && table->hasRow())
                           ? static_cast<int>(table->recNo())
                           : 0;
    return true;
}

QString AddressBookEditor::seekKey(const QString& text) {
    std::string bytes = xbase::cp1252::fromUtf8(text.trimmed().toStdString());
    xbase::cp1252::upperInPlace(bytes);
    return QString::fromStdString(xbase::cp1252::toUtf8(bytes));
}

AddressBookEditor::SeekResult AddressBookEditor::seek(const QString& text) {
    const QString key = seekKey(text);
    if (key == AddrSeekText) return SeekResult::Unchanged;
    AddrSeekText = key;
    xbase::Table* table = AddrBookTable;
    if (!table) return SeekResult::NotFound;
    const int rc = table->seek(key.left(kSeekLength).toStdString());
    LastStatus = rc;
    if (rc != xbase::kOk && rc != xbase::kAfter) return SeekResult::NotFound;
    CurrentAddrRecNo = static_cast<int>(table->recNo());
    return SeekResult::Found;
}
