#include "messaging/TemplateSegments.h"

#include "core/TextItems.h"

QStringList SplitTemplateSegments(QStringView text) { return SplitQuotedItems(text, u"$\r\n"); }
