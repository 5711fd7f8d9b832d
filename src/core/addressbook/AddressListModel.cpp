#include "core/addressbook/AddressListModel.h"

#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <algorithm>

#include "xbase/Cp1252.h"

void AddressListModel::Rows::append(uint32_t recNo, std::string_view lastBytes,
                                    std::string_view firstBytes) {
    recNos.push_back(recNo);
    auto put = [](std::string& to, std::string_view from, int width) {
        const size_t w = static_cast<size_t>(std::max(width, 0));
        const size_t n = std::min(from.size(), w);
        to.append(from.data(), n);
        to.append(w - n, ' ');
    };
    put(last, lastBytes, lastWidth);
    put(first, firstBytes, firstWidth);
}

AddressListModel::AddressListModel(QObject* parent) : QAbstractTableModel(parent) {}

void AddressListModel::setRows(Rows rows) {
    beginResetModel();
    rows_ = std::move(rows);
    rowOf_.clear();
    uint32_t maxRec = 0;
    for (uint32_t r : rows_.recNos) maxRec = std::max(maxRec, r);
    rowOf_.assign(static_cast<size_t>(maxRec) + 1, 0);
    // Walk backwards so that the first row of a record number wins.
    for (size_t i = rows_.recNos.size(); i-- > 0;) rowOf_[rows_.recNos[i]] = static_cast<uint32_t>(i + 1);
    endResetModel();
}

void AddressListModel::clear() { setRows(Rows{rows_.lastWidth, rows_.firstWidth, {}, {}, {}, {}, {}}); }

uint32_t AddressListModel::householdAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.household.size() ? rows_.household[static_cast<size_t>(row)] : 0;
}

QString AddressListModel::householdTip(int row) const {
    const uint32_t h = householdAt(row);
    if (h == 0) return {};
    QStringList others;
    for (size_t r = 0; r < rows_.household.size(); ++r)
        if (rows_.household[r] == h && int(r) != row)
            others << QString::fromStdString(xbase::cp1252::toUtf8(firstBytes(int(r)))).trimmed() + QLatin1Char(' ') +
                          QString::fromStdString(xbase::cp1252::toUtf8(lastBytes(int(r)))).trimmed();
    return QStringLiteral("Same address as ") + others.join(QStringLiteral(", "));
}

bool AddressListModel::returnedAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.returned.size() && rows_.returned[static_cast<size_t>(row)];
}

namespace {
// A small envelope in red: the card sent to this address came back.
const QPixmap& returnedMark() {
    static const QPixmap mark = [] {
        QPixmap p(12, 12);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(QColor(190, 30, 30), 1.4));
        g.setBrush(QColor(255, 235, 235));
        g.drawRect(QRectF(0.7, 2.7, 10.6, 7.6));
        g.drawLine(QPointF(0.7, 2.7), QPointF(6, 7));
        g.drawLine(QPointF(6, 7), QPointF(11.3, 2.7));
        return p;
    }();
    return mark;
}

// A small house in blue: others live at this address.
const QPixmap& householdMark() {
    static const QPixmap mark = [] {
        QPixmap p(12, 12);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(QColor(30, 70, 160), 1.3));
        g.setBrush(QColor(225, 235, 255));
        const QPointF house[] = {{1.5, 6}, {6, 1.5}, {10.5, 6}, {10.5, 11}, {1.5, 11}};
        g.drawPolygon(house, 5);
        return p;
    }();
    return mark;
}
}  // namespace

uint32_t AddressListModel::recNoAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.recNos.size()) return 0;
    return rows_.recNos[static_cast<size_t>(row)];
}

int AddressListModel::rowOfRecNo(uint32_t recNo) const {
    if (recNo == 0 || recNo >= rowOf_.size()) return -1;
    return static_cast<int>(rowOf_[recNo]) - 1;
}

std::string_view AddressListModel::lastBytes(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.recNos.size()) return {};
    const size_t w = static_cast<size_t>(rows_.lastWidth);
    return std::string_view(rows_.last).substr(static_cast<size_t>(row) * w, w);
}

std::string_view AddressListModel::firstBytes(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.recNos.size()) return {};
    const size_t w = static_cast<size_t>(rows_.firstWidth);
    return std::string_view(rows_.first).substr(static_cast<size_t>(row) * w, w);
}

size_t AddressListModel::heapBytes() const {
    return rows_.recNos.capacity() * sizeof(uint32_t) + rows_.last.capacity() +
           rows_.first.capacity() + rowOf_.capacity() * sizeof(uint32_t) +
           rows_.returned.capacity() + rows_.household.capacity() * sizeof(uint32_t);
}

int AddressListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.recNos.size());
}

int AddressListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AddressListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (index.column() == LastColumn && returnedAt(index.row())) {
        if (role == Qt::DecorationRole) return returnedMark();
        if (role == Qt::ToolTipRole) return QStringLiteral("A card to this address came back: check the address");
    }
    if (index.column() == FirstColumn && householdAt(index.row()) != 0) {
        if (role == Qt::DecorationRole) return householdMark();
        if (role == Qt::ToolTipRole) return householdTip(index.row());
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
    case LastColumn:
        return QString::fromStdString(xbase::cp1252::toUtf8(lastBytes(index.row())));
    case FirstColumn:
        return QString::fromStdString(xbase::cp1252::toUtf8(firstBytes(index.row())));
    default:
        return QString::number(recNoAt(index.row()));
    }
}

QVariant AddressListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
    case LastColumn: return QStringLiteral("Last");
    case FirstColumn: return QStringLiteral("First");
    case RecNoColumn: return QString();
    default: return {};
    }
}

Qt::ItemFlags AddressListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
