#pragma once
#include <QWidget>

class OccasionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OccasionsPage(QWidget* parent = nullptr);
};
