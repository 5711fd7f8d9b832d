#include "AdminCommands.h"

#include <string>

#include "AdminBackup.h"
#include "AdminCalibrate.h"
#include "AdminCards.h"
#include "AdminStocks.h"
#include "AdminContacts.h"
#include "AdminImport.h"
#include "AdminLabels.h"
#include "AdminReminders.h"
#include "AdminRepair.h"

// Each subsystem's command, declared where it is defined. A subsystem adds its line to kCommands.
struct AdminCommand {
    const char* name;
    bool gui;
    int (*run)(const QStringList& args);
    const char* usage;
};

static const AdminCommand kCommands[] = {
    {"reminders", false, AdminReminders, kAdminRemindersUsage},
    {"labels", true, AdminLabels, kAdminLabelsUsage},
    {"import", false, AdminImport, kAdminImportUsage},
    {"export", false, AdminExport, kAdminExportUsage},
    {"backup", false, AdminBackup, kAdminBackupUsage},
    {"restore", false, AdminRestore, kAdminRestoreUsage},
    {"cards", false, AdminCards, kAdminCardsUsage},
    {"calibrate", true, AdminCalibrate, kAdminCalibrateUsage},
    {"stocks", false, AdminStocks, kAdminStocksUsage},
    {"repair", false, AdminRepair, kAdminRepairUsage},
    {nullptr, false, nullptr, nullptr},
};

int RunAdminCommand(const QString& cmd, const QStringList& args) {
    for (const AdminCommand& c : kCommands)
        if (c.name && cmd == QLatin1String(c.name)) return c.run(args);
    return kAdminUnknownCommand;
}

bool AdminNeedsGui(const std::string& cmd) {
    for (const AdminCommand& c : kCommands)
        if (c.name && cmd == c.name) return c.gui;
    return false;
}

const char* AdminExtraUsage() {
    static std::string text;
    if (text.empty())
        for (const AdminCommand& c : kCommands)
            if (c.usage) text += std::string("  ") + c.usage + "\n";
    return text.c_str();
}
