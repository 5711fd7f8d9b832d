#pragma once
#include <QDialog>

class TLabSel : public QDialog {
    Q_OBJECT
public:
    explicit TLabSel(QWidget* parent = nullptr);
};
