#pragma once
#include <QDialog>

class TDriveDir : public QDialog {
    Q_OBJECT
public:
    explicit TDriveDir(QWidget* parent = nullptr);
};
