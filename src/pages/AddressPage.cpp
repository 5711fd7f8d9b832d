#include "pages/AddressPage.h"

AddressPage::AddressPage(QWidget* parent) : QWidget(parent) {}
