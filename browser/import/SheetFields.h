#pragma once

// Small helpers shared by the import pages: multi-line text fields and GBK values.

#include <QPlainTextEdit>

#include <string>

namespace SheetFields {

// A text field of a few lines; with acceptEnter false the Enter key goes to the
// sheet (the default button) instead of making a line break.
QPlainTextEdit *textField(int lines, bool acceptEnter, QWidget *parent);

std::string gbkOf(const QPlainTextEdit *field);
void setGbk(QPlainTextEdit *field, const std::string &gbk);

} // namespace SheetFields
