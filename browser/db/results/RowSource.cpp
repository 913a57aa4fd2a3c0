#include "RowSource.h"

#include "browser/db/AdoTypes.h"

#include "common/Codec.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

std::vector<DbField> FieldsOf(DbEngine engine, const QSqlQuery &query, int first)
{
    const QSqlRecord record = query.record();
    std::vector<DbField> fields;
    for (int i = first; i < record.count(); ++i)
        fields.push_back(DbField {Gbk::fromQString(record.fieldName(i)),
                                  AdoTypeOfField(engine, record.field(i))});
    return fields;
}

DbRow CurrentRow(const QSqlQuery &query, int first, int columns)
{
    DbRow row;
    row.reserve(std::size_t(std::max(0, columns - first)));
    for (int c = first; c < columns; ++c)
        row.push_back(query.value(c));
    return row;
}
