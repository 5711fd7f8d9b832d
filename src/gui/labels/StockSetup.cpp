#include "gui/labels/StockSetup.h"

#include "gui/common/Fatal.h"
#include <QPushButton>

#include "gui/common/Forms.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/labels/LabelDef.h"
#include "gui/labels/PickLab.h"
#include "xbase/Table.h"

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
