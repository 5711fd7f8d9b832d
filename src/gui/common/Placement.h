#pragma once
// Where the dialogs appear.

class QWidget;

// Puts the window in the middle of its screen's free area. Called each time a
// dialog is shown, so it comes up in the same place however often it opens.
void CentreOnScreen(QWidget* window);
