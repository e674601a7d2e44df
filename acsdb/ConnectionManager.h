#pragma once

#include "acsdb/ConnectionDef.h"

#include <mutex>
#include <optional>

// Holds the connection definition "KV" that every database operation opens its own connection
// from. Any thread may read it while the owner replaces or drops it; an operation that started
// before a change keeps the connection it opened.
class TConnectionManager {
public:
    // Replaces the definition: there is never more than one "KV".
    void Define(const TConnectionDef& def);
    // Drops the definition; later connections fail until the next Define.
    void Close();
    std::optional<TConnectionDef> Definition() const;

private:
    mutable std::mutex FLock;
    std::optional<TConnectionDef> FKv;
};
