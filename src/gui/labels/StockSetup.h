#pragma once
// The label-stock setup loop behind the setup page's "Edit Label Definition" button: the stock
// picker and the definition dialog in turn, until the user cancels the picker or abandons a new
// definition. The two dialogs tell each other which stock is meant through CurrentStockRecNo.
//
// Both use the dialogs made by CreateForms (PickLab, LabelDef in gui/common/Forms.h), shown
// modally.

// Runs the loop: opens LABELS (ending the program when it cannot), starts with the first stock
// in name order preselected, and closes LABELS at the end. CurrentStockRecNo keeps its last
// value afterwards.
void LabelStock1Click();

// One pass: the picker with "New" enabled and, when "New" was chosen, the definition dialog for
// a new stock. Requires LABELS open. Returns true when a stock is now chosen
// (CurrentStockRecNo > 0); *newStock tells whether it was defined just now.
bool ChooseStock(bool* newStock);
