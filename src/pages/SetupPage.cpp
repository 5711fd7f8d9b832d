#include "pages/SetupPage.h"

SetupPage::SetupPage(QWidget* parent) : QWidget(parent) {}
