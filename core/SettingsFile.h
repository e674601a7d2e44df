#pragma once

#include "core/BotTypes.h"

#include <QByteArray>
#include <QString>

// The settings file: one compact JSON object with the thirteen settings in a fixed order, written
// in plain ASCII (every character from 128 up as an upper-case \uXXXX escape, the slash as "\/").
//
// Loading matches keys in any letter case, with or without an "F" in front ("tgId", "TgId" and
// "FTgId" are the same key). Unknown keys are ignored, missing keys and values of the wrong JSON
// type leave the setting as it was, text that is not JSON, an array or null is ignored as a whole,
// and any other single value (a string, a number, true, false) is an error.
namespace SettingsFile {

// The file's exact bytes for a settings record.
QByteArray ToJson(const TConf& conf);

// The threshold as the file writes it: the shortest form with at most 15 significant digits, a
// point as decimal separator, an exponent with "E" below 0.00001 and from 10^15 up.
QByteArray FormatNumber(double value);

// Puts the settings a JSON text carries over `conf`.
// Throws std::runtime_error("The input value is not a valid Object") for a single non-object value.
void ApplyJson(const QString& text, TConf& conf);

// Loads the file at `filePath` over `conf`. When its folder does not exist the folder is created
// and nothing is loaded; a missing file loads nothing. Throws std::runtime_error when the file
// cannot be read, or as ApplyJson.
void Load(const QString& filePath, TConf& conf);

// Replaces the file at `filePath` atomically (mode 0600 on POSIX: it holds the bot token and the
// gateway key). The folder is not created. Throws std::runtime_error on failure; the old file is
// then kept.
void Save(const QString& filePath, const TConf& conf);

} // namespace SettingsFile
