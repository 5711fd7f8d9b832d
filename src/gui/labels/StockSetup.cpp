#include "labels/StockSetup.h"

#include "app/Fatal.h"
#include <QPushButton>

#include "app/Forms.h"
#include "data/Globals.h"
#include "data/dbFiles.h"
#include "labels/LabelDefU.h"
#include "labels/PickLabelU.h"
#include "xbase/table.h"

bool ChooseStock(bool* newStock) {
    *newStock = false;
    PickLab->newButton()->setEnabled(true);
    PickLab->exec();
    if (CurrentStockRecNo == 0) {
        LabelDef->exec();
        if (CurrentStockRecNo > 0) *newStock = true;
    }
    return CurrentStockRecNo > 0;
}

void LabelStock1Click() {
    EndUnlessOpened(OpenLabels());
    CurrentStockRecNo = (LastStatus == xbase::kOk && LabelsTable)
                            ? static_cast<int>(LabelsTable->recNo())
                            : -1;
    bool newStock = false;
    while (ChooseStock(&newStock)) {
        if (!newStock) LabelDef->exec();  // edit the chosen stock, then back to the picker
    }
    WriteSucceeded(CloseTable(LabelsTable));
}
