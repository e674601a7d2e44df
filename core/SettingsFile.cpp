#include "core/SettingsFile.h"

#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <variant>

namespace SettingsFile {

namespace {

using TMember = std::variant<QString TConf::*, bool TConf::*, double TConf::*>;

struct TSetting {
    QLatin1StringView Key;
    TMember Member;
};

// File order; each key is the member's name with a small first letter.
const std::array<TSetting, 13> kSettings{{
    {QLatin1StringView("tgId"), &TConf::TgId},
    {QLatin1StringView("tgEn"), &TConf::TgEn},
    {QLatin1StringView("bdTmpLimit"), &TConf::BdTmpLimit},
    {QLatin1StringView("bdEn"), &TConf::BdEn},
    {QLatin1StringView("tgMessFrm"), &TConf::TgMessFrm},
    {QLatin1StringView("smsRuId"), &TConf::SmsRuId},
    {QLatin1StringView("smsRuEn"), &TConf::SmsRuEn},
    {QLatin1StringView("smsRuMessFrm"), &TConf::SmsRuMessFrm},
    {QLatin1StringView("tgOnlyAdd"), &TConf::TgOnlyAdd},
    {QLatin1StringView("smsRuOnlyAdd"), &TConf::SmsRuOnlyAdd},
    {QLatin1StringView("tgAdd"), &TConf::TgAdd},
    {QLatin1StringView("smsRuAdd"), &TConf::SmsRuAdd},
    {QLatin1StringView("messFltr"), &TConf::MessFltr},
}};

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendUnicodeEscape(QByteArray& out, char16_t unit)
{
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHexDigits[(unit >> shift) & 0xF];
}

QByteArray QuotedString(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        switch (unit) {
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        case u'/': out += "\\/"; break;
        case u'\b': out += "\\b"; break;
        case u'\t': out += "\\t"; break;
        case u'\n': out += "\\n"; break;
        case u'\f': out += "\\f"; break;
        case u'\r': out += "\\r"; break;
        default:
            if (unit < 32 || unit >= 128)
                AppendUnicodeEscape(out, unit);
            else
                out += char(unit);
        }
    }
    out += '"';
    return out;
}

QByteArray JsonValue(const TConf& conf, const TMember& member)
{
    return std::visit(
        [&conf](auto pointer) -> QByteArray {
            const auto& value = conf.*pointer;
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, QString>)
                return QuotedString(value);
            else if constexpr (std::is_same_v<T, bool>)
                return value ? QByteArray("true") : QByteArray("false");
            else
                return FormatNumber(value);
        },
        member);
}

// "tgId", "TgId" and "FTgId" (any letter case) all name the setting TgId.
const TSetting* SettingForKey(const QString& key)
{
    for (const TSetting& setting : kSettings) {
        if (key.compare(setting.Key, Qt::CaseInsensitive) == 0)
            return &setting;
        if (key.size() == setting.Key.size() + 1 && key.startsWith(u'F', Qt::CaseInsensitive) &&
            QStringView(key).mid(1).compare(setting.Key, Qt::CaseInsensitive) == 0)
            return &setting;
    }
    return nullptr;
}

// A value of the wrong JSON type leaves the setting as it was.
void StoreValue(TConf& conf, const TMember& member, const QJsonValue& value)
{
    std::visit(
        [&conf, &value](auto pointer) {
            auto& target = conf.*pointer;
            using T = std::decay_t<decltype(target)>;
            if constexpr (std::is_same_v<T, QString>) {
                if (value.isString())
                    target = value.toString();
            } else if constexpr (std::is_same_v<T, bool>) {
                if (value.isBool())
                    target = value.toBool();
            } else {
                if (value.isDouble())
                    target = value.toDouble();
            }
        },
        member);
}

// A single JSON value that is neither an object nor an array: the text parses once it stands in
// brackets as the one element of an array.
bool IsSingleNonNullValue(const QByteArray& utf8)
{
    QJsonParseError error;
    const QJsonDocument wrapped = QJsonDocument::fromJson('[' + utf8 + ']', &error);
    if (error.error != QJsonParseError::NoError || !wrapped.isArray())
        return false;
    const QJsonArray array = wrapped.array();
    return array.size() == 1 && !array.first().isNull() && !array.first().isArray() &&
           !array.first().isObject();
}

QString DecodeFileText(const QByteArray& bytes)
{
#ifdef _WIN32
    return QString::fromLocal8Bit(bytes); // the ANSI code page
#else
    // UTF-8; a hand-written file may start with the UTF-8 signature, which is no part of the JSON.
    static constexpr char kUtf8Signature[] = "\xEF\xBB\xBF";
    if (bytes.startsWith(kUtf8Signature))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
#endif
}

[[noreturn]] void FailToRead(const QString& path, const QString& reason)
{
    throw std::runtime_error(
        QStringLiteral("Cannot read the settings file %1: %2").arg(path, reason).toStdString());
}

} // namespace

QByteArray FormatNumber(double value)
{
    if (!std::isfinite(value) || value == 0.0)
        return QByteArray("0"); // JSON has no form for the rest; zero is the setting's default
    // One digit, a point, fourteen digits and the decimal exponent: 15 significant digits.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const QByteArray scientific(buffer);
    const bool negative = scientific.startsWith('-');
    const qsizetype ePos = scientific.indexOf('e');
    const QByteArray mantissa = scientific.mid(negative ? 1 : 0, ePos - (negative ? 1 : 0));
    const int exponent = scientific.mid(ePos + 1).toInt();
    QByteArray digits = mantissa.left(1) + mantissa.mid(2);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QByteArray out = negative ? QByteArray("-") : QByteArray();
    if (exponent >= 15 || exponent < -5) {
        out += digits.left(1);
        if (digits.size() > 1)
            out += '.' + digits.mid(1);
        out += 'E' + QByteArray::number(exponent);
    } else if (exponent >= 0) {
        const qsizetype integerDigits = exponent + 1;
        if (digits.size() <= integerDigits) {
            out += digits + QByteArray(integerDigits - digits.size(), '0');
        } else {
            out += digits.left(integerDigits) + '.' + digits.mid(integerDigits);
        }
    } else {
        out += "0." + QByteArray(-exponent - 1, '0') + digits;
    }
    return out;
}

QByteArray ToJson(const TConf& conf)
{
    QByteArray out("{");
    for (const TSetting& setting : kSettings) {
        if (out.size() > 1)
            out += ',';
        out += '"' + QByteArray(setting.Key.data(), setting.Key.size()) + "\":";
        out += JsonValue(conf, setting.Member);
    }
    out += '}';
    return out;
}

void ApplyJson(const QString& text, TConf& conf)
{
    const QByteArray utf8 = text.toUtf8();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        if (IsSingleNonNullValue(utf8))
            throw std::runtime_error("The input value is not a valid Object");
        return; // not JSON, or null: nothing to load
    }
    if (!document.isObject())
        return; // an array
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (const TSetting* setting = SettingForKey(it.key()))
            StoreValue(conf, setting->Member, it.value());
    }
}

void Load(const QString& filePath, TConf& conf)
{
    const QFileInfo info(filePath);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        // First start: make the folder (and any missing parent), so the first exit can save.
        QDir().mkpath(folder);
        return;
    }
    if (!info.exists())
        return;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        FailToRead(filePath, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        FailToRead(filePath, file.errorString());
    ApplyJson(DecodeFileText(bytes), conf);
}

void Save(const QString& filePath, const TConf& conf) { WriteFileAtomically(filePath, ToJson(conf), 0600); }

} // namespace SettingsFile
