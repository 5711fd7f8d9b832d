#include "core/data/FieldBindings.h"

#include <algorithm>

#include "core/data/Records.h"

void LoadBoundField(const xbase::Field* f, QString& v, bool trimmed) {
    v = f ? QString::fromStdString(f->str()) : QString();
    if (trimmed) v = v.trimmed();
}

void LoadBoundField(const xbase::Field* f, int32_t& v, bool) {
    v = f ? static_cast<int32_t>(std::clamp<long long>(f->asInt(), INT32_MIN, INT32_MAX)) : 0;
}

void LoadBoundField(const xbase::Field* f, double& v, bool) { v = f ? f->asDouble() : 0.0; }

void LoadBoundField(const xbase::Field* f, QDate& v, bool) {
    v = FieldToDate(f ? QString::fromStdString(f->str()) : QString());
}

void LoadBoundField(const xbase::Field* f, bool& v, bool) { v = FlagFromField(f); }

void StoreBoundField(xbase::Field* f, const QString& v, int most) {
    if (f) f->assign(v.left(most).toStdString());
}

void StoreBoundField(xbase::Field* f, int32_t v, int) {
    if (f) f->assignInt(v);
}

void StoreBoundField(xbase::Field* f, double v, int) {
    if (f) f->assignDouble(v);
}

void StoreBoundField(xbase::Field* f, const QDate& v, int) {
    if (f) f->assign(DateToField(v).toStdString());
}

void StoreBoundField(xbase::Field* f, bool v, int) { FlagToField(f, v); }
