#pragma once

#include "core/BotTypes.h"

#include <QString>

// Named event filters. `messFltr` holds one filter per line, "name=definition"; a definition is a
// "$"-separated list of tokens split like a template. The marker DriversId demands that the
// event's device is among the tokens, the marker SubTypesId that its subtype number is (a datagram
// event's subtype name is turned into its number first). Tokens compare in any letter case, and
// the first line with the name (any letter case) is the filter.
//
// True when the event passes the filter `name`. A name that no line defines, an empty definition
// and a definition without markers pass every event.
bool MessFltrPass(const QString& messFltr, const QString& name, const TMes& mes);
