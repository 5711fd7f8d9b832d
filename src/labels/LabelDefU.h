#pragma once
#include <QDialog>

class TLabelDef : public QDialog {
    Q_OBJECT
public:
    explicit TLabelDef(QWidget* parent = nullptr);
};
