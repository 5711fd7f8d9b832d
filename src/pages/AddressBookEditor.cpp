#include "pages/AddressBookEditor.h"

#include <QDate>

#include "data/Globals.h"
#include "data/dbFiles.h"
#include "xbase/cp1252.h"
#include "xbase/dbf.h"
#include "xbase/table.h"

namespace {

// Longest seek text handed to the index; longer texts cannot match a stored key anyway.
constexpr int kSeekLength = 59;

const xbase::FieldInfo* fieldInfo(xbase::Table* table, const char* name) {
    const int i = table->dbf().fieldIndex(name);
    return i < 0 ? nullptr : &table->dbf().fields()[static_cast<size_t>(i)];
}

}  // namespace

void AddressBookEditor::open() { OpenAddrBook(); }

void AddressBookEditor::close() { CloseTable(AddrBookTable); }

bool AddressBookEditor::isOpen() const { return AddrBookTable != nullptr; }

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

    // The names straight from the row buffer: converting the other 25 columns of every row
    // (as a full record load would) only to throw them away is most of the cost of a fill.
    for (LastStatus = table->top(); LastStatus == xbase::kOk; LastStatus = table->skip(1)) {
        const uint8_t* rec = table->rowBuffer();
        rows.append(table->recNo(), last ? xbase::field::raw(rec, *last) : std::string_view(),
                    first ? xbase::field::raw(rec, *first) : std::string_view());
    }
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
        CurrentAddrRecNo = static_cast<int>(table->recNo());
    } else {
        LastStatus = table->go(static_cast<uint32_t>(CurrentAddrRecNo));
        if (LastStatus != xbase::kOk) return SaveResult::WriteFailed;
        StoreAddrRec();
    }
    return table->flush() == 0 ? SaveResult::Saved : SaveResult::WriteFailed;
}

bool AddressBookEditor::removeCurrent(int position) {
    xbase::Table* table = AddrBookTable;
    if (!table || CurrentAddrRecNo <= 0) return true;
    LastStatus = table->go(static_cast<uint32_t>(CurrentAddrRecNo));
    if (LastStatus != xbase::kOk) return false;
    if (table->markDeleted() != 0) return false;

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

    if (table->pack() != 0) {
        // Leave no half-deleted row behind: take the mark off again.
        if (table->go(static_cast<uint32_t>(CurrentAddrRecNo)) == xbase::kOk) {
            table->recall();
            table->flush();
        }
        return false;
    }
    if (table->flush() != 0) return false;
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
