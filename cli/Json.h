#pragma once
// The JSON zelt prints (info --json, ports --json): one object, schema 1,
// UTF-8 whatever the platform's code page, written byte for byte.
#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <cstdio>

namespace zelt::cli {

// The version of the JSON's layout, the "schema" of every object printed.
constexpr int kJsonSchema = 1;

// The object as UTF-8 text with a final line end. Control characters in
// strings are escaped (\u001b, \u007f, \u0085), so the text cannot steer a
// terminal it is shown on.
QByteArray jsonBytes(const QJsonObject& object);

// A reported setting as JSON: the text without its padding blanks; for the
// numeric settings (settingIsNumeric) a number when the text is a whole
// number, else the text.
QJsonValue settingJsonValue(const char* name, const QString& text);
bool settingIsNumeric(const char* name);

// Writes the bytes as they are: on Windows standard output is switched to
// binary first, so nothing converts them to the console's code page or adds
// carriage returns.
void writeBytes(std::FILE* f, const QByteArray& bytes);

}  // namespace zelt::cli
