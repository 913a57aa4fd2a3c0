#include "AdoTypes.h"

#include <QSqlField>

namespace {

// Storage classes that QSQLITE reports as a field's type id.
constexpr int SqliteInteger = 1;
constexpr int SqliteFloat = 2;
constexpr int SqliteBlob = 4;

int byMetaType(const QSqlField &field)
{
    switch (field.metaType().id()) {
    case QMetaType::Bool:
        return AdoType::Boolean;
    case QMetaType::Char:
    case QMetaType::SChar:
        return AdoType::TinyInt;
    case QMetaType::UChar:
        return AdoType::UnsignedTinyInt;
    case QMetaType::Short:
        return AdoType::SmallInt;
    case QMetaType::UShort:
        return AdoType::UnsignedSmallInt;
    case QMetaType::Int:
        return AdoType::Integer;
    case QMetaType::UInt:
        return AdoType::UnsignedInt;
    case QMetaType::LongLong:
        return AdoType::BigInt;
    case QMetaType::ULongLong:
        return AdoType::UnsignedBigInt;
    case QMetaType::Float:
        return AdoType::Single;
    case QMetaType::Double:
        return AdoType::Double;
    case QMetaType::QDate:
        return AdoType::Date;
    case QMetaType::QTime:
        return AdoType::DBTime;
    case QMetaType::QDateTime:
        return AdoType::DBTimeStamp;
    case QMetaType::QByteArray:
        return AdoType::LongVarBinary;
    case QMetaType::QString:
        return field.length() > 0 ? AdoType::VarWChar : AdoType::LongVarWChar;
    default:
        return AdoType::Variant;
    }
}

int sqliteType(const QSqlField &field)
{
    switch (field.metaType().id()) {
    case QMetaType::Int:
        return AdoType::BigInt;
    case QMetaType::QString:
    case QMetaType::UnknownType:
        // A text column would have stored a number as text, so a number here means the
        // column has no text affinity (BIGINT, NUMERIC, an expression, ...).
        if (field.typeID() == SqliteInteger)
            return AdoType::BigInt;
        if (field.typeID() == SqliteFloat)
            return AdoType::Double;
        if (field.typeID() == SqliteBlob)
            return AdoType::LongVarBinary;
        return field.metaType().id() == QMetaType::QString ? AdoType::LongVarWChar
                                                           : AdoType::Variant;
    default:
        return byMetaType(field);
    }
}

int postgresType(const QSqlField &field)
{
    switch (field.typeID()) {
    case 16: // bool
        return AdoType::Boolean;
    case 17: // bytea
        return AdoType::LongVarBinary;
    case 20: // int8
        return AdoType::BigInt;
    case 21: // int2
        return AdoType::SmallInt;
    case 23: // int4
        return AdoType::Integer;
    case 26: // oid
    case 28: // xid
    case 29: // cid
        return AdoType::UnsignedInt;
    case 700: // float4
        return AdoType::Single;
    case 701: // float8
        return AdoType::Double;
    case 1700: // numeric
        return AdoType::Numeric;
    case 1082: // date
        return AdoType::Date;
    case 1083: // time
    case 1266: // timetz
        return AdoType::DBTime;
    case 1114: // timestamp
    case 1184: // timestamptz
        return AdoType::DBTimeStamp;
    case 1042: // bpchar
    case 1043: // varchar
        return AdoType::VarWChar;
    case 25: // text
        return AdoType::LongVarWChar;
    default:
        return byMetaType(field);
    }
}

} // namespace

bool IsAdoIntegerType(int type)
{
    return type == AdoType::SmallInt || type == AdoType::Integer
            || (type >= AdoType::TinyInt && type <= AdoType::UnsignedBigInt);
}

int AdoTypeOfField(DbEngine engine, const QSqlField &field)
{
    switch (engine) {
    case DbEngine::SQLite:
        return sqliteType(field);
    case DbEngine::PostgreSQL:
        return postgresType(field);
    default:
        return byMetaType(field);
    }
}
