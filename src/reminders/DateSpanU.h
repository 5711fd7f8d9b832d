#pragma once
#include <QDialog>

class TDateSpan : public QDialog {
    Q_OBJECT
public:
    explicit TDateSpan(QWidget* parent = nullptr);
};
