#include "core/data/Globals.h"

TAddressRecord AddressRec;
TLabelRecord LabelRec;
TSettingsRecord SettingsRec;
TImportRecord ImportRec;

xbase::Library* LibHandle = nullptr;
xbase::Table* AddrBookTable = nullptr;
xbase::Table* LabelsTable = nullptr;
xbase::Table* SettingsTable = nullptr;
xbase::Table* ImportTable = nullptr;
int LastStatus = 0;

QString VersionText;
bool SplashMode = false;
QFont LabelFont;

int CurrentStockRecNo = -1;
int ChosenRecNo = -1;
bool PrintOptionsCancelled = false;
int LabelCount = 0;
QVector<int> SelectionList;

QDate SpanStart;
QDate SpanEnd;
bool SpanCancelled = false;
