#include "acsdb/ConnectionManager.h"

void TConnectionManager::Define(const TConnectionDef& def)
{
    std::lock_guard lock(FLock);
    FKv = def;
}

void TConnectionManager::Close()
{
    std::lock_guard lock(FLock);
    FKv.reset();
}

std::optional<TConnectionDef> TConnectionManager::Definition() const
{
    std::lock_guard lock(FLock);
    return FKv;
}
