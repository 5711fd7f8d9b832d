#pragma once
#include <QDialog>

class TImport : public QDialog {
    Q_OBJECT
public:
    explicit TImport(QWidget* parent = nullptr);
};
