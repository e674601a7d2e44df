#include "sms/SmsRuBalans.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <optional>

namespace {

// A reader over a document that QJsonDocument has already accepted, so it need not check syntax.
class TRawJsonReader {
public:
    explicit TRawJsonReader(const QByteArray& json)
        : FJson(json)
    {
    }

    // The text of the top-level member `key` exactly as written.
    std::optional<QByteArray> Member(const QByteArray& key)
    {
        FPos = 0;
        SkipBlanks();
        if (!Take('{'))
            return std::nullopt;
        for (;;) {
            SkipBlanks();
            if (Peek() != '"')
                return std::nullopt;
            const QByteArray name = Span(&TRawJsonReader::SkipString);
            SkipBlanks();
            if (!Take(':'))
                return std::nullopt;
            SkipBlanks();
            const QByteArray value = Span(&TRawJsonReader::SkipValue);
            if (name == '"' + key + '"')
                return value;
            SkipBlanks();
            if (!Take(','))
                return std::nullopt;
        }
    }

private:
    char Peek() const { return FPos < FJson.size() ? FJson.at(FPos) : '\0'; }
    bool Take(char c)
    {
        if (Peek() != c)
            return false;
        ++FPos;
        return true;
    }
    void SkipBlanks()
    {
        while (FPos < FJson.size() && QByteArrayView(" \t\r\n").contains(FJson.at(FPos)))
            ++FPos;
    }
    QByteArray Span(void (TRawJsonReader::*skip)())
    {
        const qsizetype start = FPos;
        (this->*skip)();
        return FJson.mid(start, FPos - start);
    }
    void SkipString()
    {
        ++FPos; // opening quote
        while (FPos < FJson.size() && FJson.at(FPos) != '"')
            FPos += FJson.at(FPos) == '\\' ? 2 : 1;
        ++FPos; // closing quote
    }
    void SkipValue()
    {
        int depth = 0;
        while (FPos < FJson.size()) {
            const char c = FJson.at(FPos);
            if (c == '"') {
                SkipString();
                if (depth == 0)
                    return;
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    return;
                if (--depth == 0) {
                    ++FPos;
                    return;
                }
            } else if (depth == 0 && (c == ',' || QByteArrayView(" \t\r\n").contains(c))) {
                return;
            }
            ++FPos;
        }
    }

    const QByteArray& FJson;
    qsizetype FPos = 0;
};

QString BalanceText(const QByteArray& body, const QJsonValue& balance)
{
    if (balance.isString())
        return balance.toString();
    if (!balance.isDouble())
        return QString();
    // A number is kept as the gateway wrote it: 123.40 must not become 123.4.
    if (const std::optional<QByteArray> raw = TRawJsonReader(body).Member("balance"))
        return QString::fromUtf8(*raw);
    return balance.toVariant().toString();
}

} // namespace

TSmsRuBalans TSmsRuBalans::FromJson(const QByteArray& body)
{
    TSmsRuBalans record;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return record;
    const QJsonObject json = document.object();
    record.Balance = BalanceText(body, json.value(QLatin1String("balance")));
    record.Status = json.value(QLatin1String("status")).toString();
    record.StatusCode = json.value(QLatin1String("status_code")).toInt();
    record.Status_text = json.value(QLatin1String("status_text")).toString();
    return record;
}
