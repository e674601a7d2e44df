#pragma once

#include "core/BotTypes.h"

// Two settings records of a few megabytes in the file, so that a save takes long enough to be
// interrupted in the middle.
inline TConf LargeRecord(int which)
{
    TConf conf;
    conf.TgId = which == 0 ? QStringLiteral("first") : QStringLiteral("second");
    conf.TgMessFrm = QString(which == 0 ? 200000 : 300000, which == 0 ? QChar(u'А') : QChar(u'Б'));
    conf.MessFltr = QStringLiteral("Проходная=DriversId$D1\r\n").repeated(1000 + which);
    return conf;
}
