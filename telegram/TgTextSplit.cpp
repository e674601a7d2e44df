#include "telegram/TgTextSplit.h"

namespace {

struct TCut {
    qsizetype PieceEnd;  // the piece is text[0, PieceEnd)
    qsizetype NextStart; // the rest starts here
};

// Where to cut `text`, which is longer than `limit`.
TCut FindCut(const QString& text, qsizetype limit)
{
    // A line break at `limit` itself still lets the piece before it fit.
    const qsizetype lineFeed = text.lastIndexOf(QLatin1Char('\n'), limit);
    if (lineFeed > 0) {
        const qsizetype end = text.at(lineFeed - 1) == QLatin1Char('\r') ? lineFeed - 1 : lineFeed;
        if (end > 0)
            return {end, lineFeed + 1};
    }
    const qsizetype blank = text.lastIndexOf(QLatin1Char(' '), limit);
    if (blank > 0)
        return {blank, blank + 1};
    qsizetype end = limit;
    if (text.at(end - 1).isHighSurrogate() && text.at(end).isLowSurrogate())
        --end;
    return {end, end};
}

} // namespace

QStringList SplitTgText(const QString& text, qsizetype limit)
{
    if (text.size() <= limit || limit < 2)
        return {text};
    // Telegram refuses a text of blanks and line breaks only, so such pieces are left out.
    QStringList pieces;
    const auto keep = [&pieces](const QString& piece) {
        if (!piece.trimmed().isEmpty())
            pieces.append(piece);
    };
    QString rest = text;
    while (rest.size() > limit) {
        const TCut cut = FindCut(rest, limit);
        keep(rest.left(cut.PieceEnd));
        rest = rest.mid(cut.NextStart);
    }
    keep(rest);
    return pieces;
}
