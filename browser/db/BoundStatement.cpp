#include "BoundStatement.h"

#include <utility>

SqlValue SqlValue::null()
{
    return SqlValue();
}

SqlValue SqlValue::fromInteger(long long v)
{
    SqlValue value;
    value.kind = Integer;
    value.integer = v;
    return value;
}

SqlValue SqlValue::fromText(std::string gbk)
{
    SqlValue value;
    value.kind = Text;
    value.text = std::move(gbk);
    return value;
}

SqlValue SqlValue::fromBlob(std::string bytes)
{
    SqlValue value;
    value.kind = Blob;
    value.text = std::move(bytes);
    return value;
}
