#include "core/households/OccasionList.h"

#include <set>

#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/households/Households.h"
#include "core/occasions/Occasions.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

int ListLastYear(int occasion, const QDate& today) { return CardYear(occasion, today) - 1; }

void SetHolidayFlag(TAddressRecord& rec, int occasion, bool on) {
    switch (occasion) {
    case 1: rec.Valentine = on; break;
    case 2: rec.Mother = on; break;
    case 3: rec.Father = on; break;
    case 4: rec.Secretary = on; break;
    case 5: rec.Halloween = on; break;
    case 6: rec.ThanksGiv = on; break;
    case 7: rec.Christmas = on; break;
    default: break;
    }
}

DataStatus ReadOccasionList(int occasion, int lastYear, std::vector<ListPerson>* out) {
    out->clear();
    std::set<uint32_t> sent, received;
    if (LibHandle) {
        std::vector<CardEvent> events;
        // Without a readable log the columns stay empty: the list itself does not need it.
        if (CardsList(*LibHandle, lastYear, occasion, nullptr, &events).ok())
            for (const CardEvent& e : events) {
                if (e.kind == CardKind::Sent) sent.insert(e.recNo);
                if (e.kind == CardKind::Received) received.insert(e.recNo);
            }
        LibHandle->errorCode();
    }
    const DataStatus opened = OpenAddrBook();
    if (!opened) return opened;
    for (; LastStatus == 0; LastStatus = AddrBookTable->skip()) {
        if (AddrBookTable->deleted()) continue;
        LoadAddrRec();
        ListPerson p;
        p.recNo = AddrBookTable->recNo();
        p.first = TrimText(AddressRec.First);
        p.last = TrimText(AddressRec.Last);
        p.city = TrimText(AddressRec.City);
        p.zip = TrimText(AddressRec.Zip);
        p.householdKey = HouseholdKey(AddressRec);
        p.flag = HolidayFlag(AddressRec, occasion);
        p.sentLastYear = sent.count(p.recNo) > 0;
        p.receivedLastYear = received.count(p.recNo) > 0;
        out->push_back(std::move(p));
    }
    return CloseTable(AddrBookTable);  // read only
}

DataStatus WriteOccasionFlags(int occasion, const std::function<bool(uint32_t recNo, bool flag)>& want,
                              int* changed) {
    if (changed) *changed = 0;
    if (occasion < 1 || occasion > 7)
        return DataStatus::failure(QStringLiteral("AddrBook.DBF"), QStringLiteral("occasion 1 to 7 is needed"));
    DataStatus s = OpenAddrBook();
    if (!s) return s;
    for (; LastStatus == 0; LastStatus = AddrBookTable->skip()) {
        if (AddrBookTable->deleted()) continue;
        LoadAddrRec();
        const bool before = HolidayFlag(AddressRec, occasion);
        const bool after = want(AddrBookTable->recNo(), before);
        if (after == before) continue;
        SetHolidayFlag(AddressRec, occasion, after);
        StoreAddrRec();
        if (changed) ++*changed;
    }
    if (LastStatus < 0) s = DataStatus::failure(QStringLiteral("AddrBook.DBF"), LibHandle->lastError());
    const DataStatus flushed = FlushTable(AddrBookTable);
    if (s && !flushed) s = flushed;
    const DataStatus closed = CloseTable(AddrBookTable);
    if (s && !closed) s = closed;
    return s;
}
