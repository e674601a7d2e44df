#include "messaging/KzSubtypeNames.h"

const std::array<TKzSubtypeName, 7>& KzSubtypeNames()
{
    static const std::array<TKzSubtypeName, 7> table{{
        {u"AccessPointEntryByKey", u"Кіру"},
        {u"AccessPointExitByKey", u"Шығу"},
        {u"AccessPointFaceEntry", u"Бет арқылы кіру"},
        {u"AccessPointFaceExit", u"Бетпен шығыңыз"},
        {u"AccessPointPassRefusedByKey", u"Өтуден бас тарту"},
        {u"AccessPointKeyAppliedEntry", u"Кіру кілті тіркелген"},
        {u"AccessPointKeyAppliedExit", u"Кіру кілті тіркелген"},
    }};
    return table;
}

std::optional<QString> KzSubtypeName(QStringView subtype)
{
    for (const TKzSubtypeName& row : KzSubtypeNames()) {
        if (row.Subtype.compare(subtype, Qt::CaseInsensitive) == 0)
            return row.Text.toString();
    }
    return std::nullopt;
}
