#pragma once
// Field bindings: a table's columns tied to the members of its in-memory record, written once and
// used by both the load (row into record) and the store (record into row).
//
// Each binding names a column (letter case ignored) and a member; the member's type says how the
// column is read and written: texts as stored (blank padding kept unless the binding trims them)
// and cut to their most characters before storing, integers and numbers as numbers, dates through
// FieldToDate / DateToField, flags through FlagFromField / FlagToField (Records.h). A column the
// table lacks loads as blank, 0, ZeroDate or false and takes nothing on a store, so a table of
// another layout (another program's, an older one) still loads by name whatever its column order.
//
// The names are looked up once per open table, not for every row: bind() resolves them when the
// table is opened, and a load or store on a table other than the one bound resolves them first.
// A load may ask for some parts of the record only (each binding belongs to one part), so that a
// scan decodes just the columns it needs.

#include <QDate>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <variant>
#include <vector>

#include "xbase/Table.h"

// Texts are cut to this many characters before storing unless a binding says otherwise; the
// engine then cuts or pads them to the column width.
inline constexpr int kStoredTextMost = 59;

template <class Rec>
struct FieldBinding {
    using Member = std::variant<QString Rec::*, int32_t Rec::*, double Rec::*, QDate Rec::*, bool Rec::*>;
    const char* column;
    Member member;
    unsigned part = 1;              // the part of the record the column belongs to
    int most = kStoredTextMost;     // texts: the most characters stored
    bool trimmed = false;           // texts: loaded without surrounding blanks
};

// The conversions of one column, by the member's type. A null field reads as blank / 0 /
// ZeroDate / false and takes nothing.
void LoadBoundField(const xbase::Field* f, QString& v, bool trimmed);
void LoadBoundField(const xbase::Field* f, int32_t& v, bool trimmed);
void LoadBoundField(const xbase::Field* f, double& v, bool trimmed);
void LoadBoundField(const xbase::Field* f, QDate& v, bool trimmed);
void LoadBoundField(const xbase::Field* f, bool& v, bool trimmed);
void StoreBoundField(xbase::Field* f, const QString& v, int most);
void StoreBoundField(xbase::Field* f, int32_t v, int most);
void StoreBoundField(xbase::Field* f, double v, int most);
void StoreBoundField(xbase::Field* f, const QDate& v, int most);
void StoreBoundField(xbase::Field* f, bool v, int most);

template <class Rec>
class FieldBindings {
public:
    FieldBindings(std::initializer_list<FieldBinding<Rec>> bindings) : bindings_(bindings) {}

    // Resolves every column against `t` (null: no table, every column missing).
    void bind(xbase::Table* t) {
        table_ = t;
        fields_.assign(bindings_.size(), nullptr);
        if (t)
            for (size_t i = 0; i < bindings_.size(); ++i) fields_[i] = t->field(bindings_[i].column);
    }

    // The current row of `t` into `r`: the columns of `parts` (all by default); members of other
    // parts keep their values.
    void load(xbase::Table* t, Rec& r, unsigned parts = ~0u) {
        if (t != table_ || fields_.size() != bindings_.size()) bind(t);
        for (size_t i = 0; i < bindings_.size(); ++i) {
            const FieldBinding<Rec>& b = bindings_[i];
            if (b.part & parts)
                std::visit([&](auto m) { LoadBoundField(fields_[i], r.*m, b.trimmed); }, b.member);
        }
    }

    // `r` into the current row of `t`, column by column in the bindings' order.
    void store(xbase::Table* t, const Rec& r) {
        if (t != table_ || fields_.size() != bindings_.size()) bind(t);
        for (size_t i = 0; i < bindings_.size(); ++i) {
            const FieldBinding<Rec>& b = bindings_[i];
            std::visit([&](auto m) { StoreBoundField(fields_[i], r.*m, b.most); }, b.member);
        }
    }

private:
    std::vector<FieldBinding<Rec>> bindings_;
    xbase::Table* table_ = nullptr;
    std::vector<xbase::Field*> fields_;
};
