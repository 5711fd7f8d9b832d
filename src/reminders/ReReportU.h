#pragma once
#include <QDialog>

class TREReport : public QDialog {
    Q_OBJECT
public:
    explicit TREReport(QWidget* parent = nullptr);
};
