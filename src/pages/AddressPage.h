#pragma once
#include <QWidget>

class AddressPage : public QWidget {
    Q_OBJECT
public:
    explicit AddressPage(QWidget* parent = nullptr);
};
