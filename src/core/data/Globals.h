#pragma once
// The program's shared state, in one place: the four in-memory records that mirror one row of
// each table, the library handle and the open tables, the result of the last positioning call,
// and the variables through which dialogs hand their answers back to their callers.
//
// There is exactly one of each for the whole run. Everything here lives on the UI thread.

#include <QDate>
#include <QFont>
#include <QString>
#include <QVector>
#include <cstdint>

namespace xbase {
class Library;
class Table;
}  // namespace xbase

// The day that stands for "no date" in memory (stored as a blank date column).
inline const QDate ZeroDate{1899, 12, 30};

// One row of AddrBook. Texts are kept blank-padded as read; dates are ZeroDate when none.
struct TAddressRecord {
    QString First, Last, Street, Street2, City, State, Zip, Country, email, phone, fax, mobile;
    QDate Birthdate = ZeroDate, Annavdate = ZeroDate, Other1Date = ZeroDate, Other2Date = ZeroDate;
    bool Birthday = false, Annav = false, Valentine = false, Mother = false, Father = false,
         Secretary = false, Halloween = false, ThanksGiv = false, Christmas = false,
         Other1 = false, Other2 = false;
};

// One row of LABELS. Dimensions in printer points (72 to the inch).
struct TLabelRecord {
    QString Name;
    double TopM = 0, LeftM = 0, BottomM = 0, RightM = 0, Width = 0, Height = 0, HGap = 0, VGap = 0;
    int32_t nAcross = 1;
    bool Continuous = false;
};

// The one row of Mrby1.
struct TSettingsRecord {
    QString FontName;  // as read (column padding kept)
    int32_t FontSize = 0;
    QString LabID;     // as read
    QString MailHost, MailID, MailAddr, MailName, MailReply;  // trimmed
};

// The one row of importf: the position of each address field within an import line.
struct TImportRecord {
    int32_t fFirst = 0, fLast = 0, fStreet = 0, fStreet2 = 0, fCity = 0, fState = 0, fZip = 0,
            fCountry = 0, fEmail = 0, fPhone = 0, fFax = 0, fMobile = 0;
    QString ImpFile;  // trimmed
};

// --- in-memory records ---------------------------------------------------------------------
extern TAddressRecord AddressRec;
extern TLabelRecord LabelRec;
extern TSettingsRecord SettingsRec;
extern TImportRecord ImportRec;

// --- table library --------------------------------------------------------------------------
extern xbase::Library* LibHandle;       // created at start-up, released at shutdown
extern xbase::Table* AddrBookTable;     // each null while its table is closed
extern xbase::Table* LabelsTable;
extern xbase::Table* SettingsTable;
extern xbase::Table* ImportTable;
extern int LastStatus;                  // result of the last positioning call; 0 = a row is current

// --- application ----------------------------------------------------------------------------
extern QString VersionText;             // "2.0.5"
extern bool SplashMode;                 // the About box is showing as the start-up splash
extern QFont LabelFont;                 // the font labels print in

// --- answers of modal dialogs ---------------------------------------------------------------
extern int CurrentStockRecNo;           // 0 new stock, > 0 a LABELS record, -1 none
extern int ChosenRecNo;                 // recipient picked in the selection dialog, -1 none
extern bool PrintOptionsCancelled;      // the print options dialog was cancelled
extern int LabelCount;                  // labels the coming run prints (shown by print options)
extern QVector<int> SelectionList;      // AddrBook records picked for the "Selected" run

// --- reminder / label date span (whole days, inclusive) -------------------------------------
extern QDate SpanStart;
extern QDate SpanEnd;
extern bool SpanCancelled;
