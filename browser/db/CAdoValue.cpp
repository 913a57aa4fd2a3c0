#include "CAdoValue.h"

#include "common/Codec.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

QString timeFormat(const QLocale &locale)
{
    // The long format carries the seconds; its time zone part has no use for a stored time.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(u't');
    return format.trimmed();
}

QString dateTimeText(const QDateTime &value)
{
    const QLocale locale;
    const QDateTime local = value.toLocalTime();
    QString text = locale.toString(local.date(), QLocale::ShortFormat);
    if (local.time() != QTime(0, 0))
        text += u' ' + locale.toString(local.time(), timeFormat(locale));
    return text;
}

} // namespace

CAdoValue::CAdoValue(QVariant value, int type)
    : value_(std::move(value))
    , type_(type)
{
}

bool CAdoValue::IsNull() const
{
    return value_.isNull();
}

std::string CAdoValue::Text() const
{
    if (value_.isNull())
        return std::string();
    switch (value_.metaType().id()) {
    case QMetaType::Bool:
        return value_.toBool() ? "True" : "False";
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return std::to_string(value_.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return std::to_string(value_.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double: {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return Gbk::fromQString(locale.toString(value_.toDouble(), 'g', 15));
    }
    case QMetaType::QDate:
        return Gbk::fromQString(QLocale().toString(value_.toDate(), QLocale::ShortFormat));
    case QMetaType::QTime: {
        const QLocale locale;
        return Gbk::fromQString(locale.toString(value_.toTime(), timeFormat(locale)));
    }
    case QMetaType::QDateTime:
        return Gbk::fromQString(dateTimeText(value_.toDateTime()));
    case QMetaType::QByteArray: {
        const QByteArray bytes = value_.toByteArray();
        return std::string(bytes.constData(), std::size_t(bytes.size()));
    }
    default:
        return Gbk::fromQString(value_.toString());
    }
}

bool CAdoValue::ToInt64(long long &number) const
{
    if (value_.isNull())
        return false;
    bool ok = false;
    switch (value_.metaType().id()) {
    case QMetaType::Bool:
        number = value_.toBool() ? -1 : 0;
        return true;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        number = value_.toLongLong();
        return true;
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong unsignedValue = value_.toULongLong();
        if (unsignedValue > qulonglong(std::numeric_limits<long long>::max()))
            return false;
        number = (long long)(unsignedValue);
        return true;
    }
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = value_.toDouble();
        // 2^63 is exactly representable; anything from it up does not fit.
        if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0
            || d >= 9223372036854775808.0)
            return false;
        number = (long long)(d);
        return true;
    }
    case QMetaType::QString: {
        const long long parsed = value_.toString().trimmed().toLongLong(&ok, 10);
        if (ok)
            number = parsed;
        return ok;
    }
    default:
        return false;
    }
}
