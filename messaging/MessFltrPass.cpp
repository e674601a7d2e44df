#include "messaging/MessFltrPass.h"

#include "core/TextItems.h"

#include "messaging/NameValueLines.h"
#include "messaging/SubtypeIds.h"
#include "messaging/TemplateSegments.h"

#include <optional>

namespace {

std::optional<QString> FilterDefinition(const QString& messFltr, const QString& name)
{
    for (const QString& line : SplitSettingLines(messFltr)) {
        const std::optional<TNameValue> pair = SplitNameValue(line);
        if (pair && pair->Name.compare(name, Qt::CaseInsensitive) == 0)
            return pair->Value;
    }
    return std::nullopt;
}

bool IsMember(const QStringList& tokens, const QString& value)
{
    for (const QString& token : tokens) {
        if (token.compare(value, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The log carries the subtype as a number already; a datagram carries its name.
QString SubtypeNumber(const TMes& mes)
{
    if (mes.MessFromBase)
        return mes.MessageSubType;
    const std::optional<int> id = SubtypeId(mes.MessageSubType);
    return id ? QString::number(*id) : QString();
}

} // namespace

bool MessFltrPass(const QString& messFltr, const QString& name, const TMes& mes)
{
    const std::optional<QString> definition = FilterDefinition(messFltr, TrimControls(name));
    if (!definition || definition->isEmpty())
        return true;
    const QStringList tokens = SplitTemplateSegments(*definition);
    bool pass = true;
    if (IsMember(tokens, QStringLiteral("DriversId")) && !IsMember(tokens, mes.DriverId))
        pass = false;
    if (IsMember(tokens, QStringLiteral("SubTypesId")) && !IsMember(tokens, SubtypeNumber(mes)))
        pass = false;
    return pass;
}
