#pragma once

// One field value of the current record of a CAdoRecordset.

#include <QVariant>

#include <string>

class CAdoValue
{
public:
    CAdoValue() = default; // NULL, type 0: no such field or no current record
    CAdoValue(QVariant value, int type);

    bool IsNull() const;
    int Type() const { return type_; } // ADO type code of the field

    // GBK. NULL gives "". Numbers in decimal (doubles with up to 15 significant digits
    // and the locale's decimal point, no grouping); dates and times in the user's default
    // format (QLocale: short date, time with seconds; a date-time at midnight shows the
    // date only); booleans "True"/"False"; binary values as their bytes.
    std::string Text() const;

    // The value as a 64-bit number: integers and booleans (True is -1, as in ADO),
    // integral doubles in range, and texts that are a decimal integer (blanks around it
    // allowed). False for NULL and everything else.
    bool ToInt64(long long &number) const;

private:
    QVariant value_;
    int type_ = 0;
};
