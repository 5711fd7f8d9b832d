#include "pages/OccasionsPage.h"

OccasionsPage::OccasionsPage(QWidget* parent) : QWidget(parent) {}
