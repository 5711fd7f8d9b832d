#pragma once
#include <QDialog>

class TLabPrint : public QDialog {
    Q_OBJECT
public:
    explicit TLabPrint(QWidget* parent = nullptr);
};
