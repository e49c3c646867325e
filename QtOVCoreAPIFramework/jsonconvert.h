#ifndef JSONCONVERT_H
#define JSONCONVERT_H

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVector>

// The conversions every record applies to the service's JSON. Absent or mistyped
// values read as empty text, false or 0, never as an error. Internal to the library.
namespace JsonConvert {

// The member "key" of an object value; absent when the value is not an object.
inline QJsonValue member(const QJsonValue &object, const QString &key)
{
    return object.isObject() ? object.toObject().value(key) : QJsonValue(QJsonValue::Undefined);
}

// "outer"."inner": absent when "outer" is absent or not an object.
inline QJsonValue path(const QJsonValue &object, const QString &outer, const QString &inner)
{
    return member(member(object, outer), inner);
}

// A JSON string's text; anything else gives an empty text.
inline QString text(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString();
}

// A JSON boolean; anything else gives false.
inline bool flag(const QJsonValue &value)
{
    return value.isBool() && value.toBool();
}

// A whole JSON number within [minimum, maximum]; anything else gives 0.
template<typename Integer>
Integer wholeNumber(const QJsonValue &value, double minimum, double maximum)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!(number >= minimum && number <= maximum)
        || number != static_cast<double>(static_cast<qint64>(number)))
        return 0;
    return static_cast<Integer>(number);
}

// A whole number that fits a signed 32-bit integer; anything else gives 0.
inline int integer(const QJsonValue &value)
{
    return wholeNumber<int>(value, -2147483648.0, 2147483647.0);
}

// A whole number that fits a signed 64-bit integer (byte counts of large files).
// The bounds stay inside the range a double converts to qint64 exactly.
inline qint64 integer64(const QJsonValue &value)
{
    return wholeNumber<qint64>(value, -9223372036854774784.0, 9223372036854774784.0);
}

// ISO 8601 text as a UTC date-time: the written clock time is kept and labelled UTC,
// whatever offset the text carried. Empty or malformed text gives a null date-time.
inline QDateTime dateTime(const QString &isoText)
{
    QDateTime result = QDateTime::fromString(isoText, Qt::ISODate);
    // A text without an offset is parsed as this machine's local time, and a
    // clock time inside a daylight-saving gap does not exist there. It is still
    // the text's clock time: read it as UTC directly. (A text that carries an
    // offset cannot fall into a gap, and with a "Z" appended it stays invalid.)
    if (!result.isValid() && !isoText.isEmpty())
        result = QDateTime::fromString(isoText + QLatin1Char('Z'), Qt::ISODate);
    if (!result.isValid())
        return QDateTime();
    result.setTimeSpec(Qt::UTC);
    return result;
}

inline QDateTime dateTime(const QJsonValue &value)
{
    return dateTime(text(value));
}

// One record per element when the value is an array; otherwise the field keeps
// what it had.
template<typename Record>
void readArray(const QJsonValue &value, QVector<Record> &field)
{
    if (!value.isArray())
        return;
    const QJsonArray array = value.toArray();
    QVector<Record> records;
    records.reserve(array.size());
    for (const QJsonValue &element : array)
        records.append(Record(element));
    field = records;
}

} // namespace JsonConvert

#endif // JSONCONVERT_H
