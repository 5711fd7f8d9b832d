#pragma once
#include <QDialog>

class TPickLab : public QDialog {
    Q_OBJECT
public:
    explicit TPickLab(QWidget* parent = nullptr);
};
