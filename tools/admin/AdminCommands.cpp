#include "AdminCommands.h"

#include "AdminCommand.h"
#include "version.h"

#define MERROWBY_ADMIN_COMMAND(command) extern const AdminCommand command;
#include "AdminCommandList.h"
#undef MERROWBY_ADMIN_COMMAND

namespace {

#define MERROWBY_ADMIN_COMMAND(command) &command,
const AdminCommand* const kCommands[] = {
#include "AdminCommandList.h"
};
#undef MERROWBY_ADMIN_COMMAND

const AdminCommand* find(const QString& name) {
    for (const AdminCommand* c : kCommands)
        if (name == QLatin1String(c->name)) return c;
    return nullptr;
}

}  // namespace

int RunAdminCommand(const QString& name, const QStringList& args) {
    const AdminCommand* c = find(name);
    return c ? c->run(args) : kAdminUnknownCommand;
}

bool AdminNeedsFonts(const QString& name) {
    const AdminCommand* c = find(name);
    return c && c->needsFonts;
}

std::string AdminUsage() {
    std::string text = "merrowby-admin " MERROWBY_VERSION_TEXT "\nusage:\n";
    for (const AdminCommand* c : kCommands) text += std::string("  ") + c->usage + "\n";
    return text;
}
