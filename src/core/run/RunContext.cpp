#include "core/run/RunContext.h"

#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "xbase/Library.h"

xbase::FileSystem& RunContext::fileSystem() const {
    if (fs) return *fs;
    if (lib) return lib->fs();
    return xbase::FileSystem::real();
}

QDate RunContext::currentDate() const { return today ? today() : QDate::currentDate(); }

void RunContext::wait(double days) const {
    if (pause)
        pause(days);
    else
        Pause(days);
}

LibraryBinding::LibraryBinding(const RunContext& ctx) : previous_(LibHandle) {
    if (ctx.lib) LibHandle = ctx.lib;
}

LibraryBinding::~LibraryBinding() { LibHandle = previous_; }
