#pragma once

// Field type codes in ADO's numbering, which the programs test (e.g. "is roomid an
// integer": codes 2, 3, 16-21).

#include "DbError.h"

class QSqlField;

namespace AdoType {
constexpr int Empty = 0;
constexpr int SmallInt = 2;
constexpr int Integer = 3;
constexpr int Single = 4;
constexpr int Double = 5;
constexpr int Date = 7;
constexpr int Boolean = 11;
constexpr int Variant = 12;
constexpr int TinyInt = 16;
constexpr int UnsignedTinyInt = 17;
constexpr int UnsignedSmallInt = 18;
constexpr int UnsignedInt = 19;
constexpr int BigInt = 20;
constexpr int UnsignedBigInt = 21;
constexpr int Numeric = 131;
constexpr int DBTime = 134;
constexpr int DBTimeStamp = 135;
constexpr int VarChar = 200;
constexpr int LongVarChar = 201;
constexpr int VarWChar = 202;
constexpr int LongVarWChar = 203;
constexpr int LongVarBinary = 205;
} // namespace AdoType

bool IsAdoIntegerType(int type);

// The code of a result column. SQLite: INTEGER columns are 64-bit (20); a column without
// a declared type Qt knows is typed by the storage class of its first row. PostgreSQL:
// by the column's type OID (int2 2, int4 3, int8 20, varchar 202, text 203, date 7,
// timestamp 135, numeric 131, ...).
int AdoTypeOfField(DbEngine engine, const QSqlField &field);
