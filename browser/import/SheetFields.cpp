#include "SheetFields.h"

#include "common/Codec.h"

#include <QFontMetrics>
#include <QKeyEvent>

namespace {
class FieldEdit : public QPlainTextEdit
{
public:
    FieldEdit(bool acceptEnter, QWidget *parent)
        : QPlainTextEdit(parent)
        , acceptEnter_(acceptEnter)
    {
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (!acceptEnter_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            event->ignore();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

private:
    bool acceptEnter_;
};
} // namespace

namespace SheetFields {

QPlainTextEdit *textField(int lines, bool acceptEnter, QWidget *parent)
{
    auto *field = new FieldEdit(acceptEnter, parent);
    field->setTabChangesFocus(true);
    field->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    field->setWordWrapMode(QTextOption::WrapAnywhere);
    const int lineHeight = QFontMetrics(field->font()).lineSpacing();
    field->setFixedHeight(lineHeight * lines + 2 * field->frameWidth() + 8);
    return field;
}

// A value set by the program (a preset's "|ENTER|" alone, a lone carriage return)
// may hold line ends the field cannot show as they are: the exact bytes are kept
// beside the field and returned for as long as the field is not edited.
constexpr const char ExactValue[] = "quilleryExactValue";
constexpr const char ShownText[] = "quilleryShownText";

std::string gbkOf(const QPlainTextEdit *field)
{
    const QString text = field->toPlainText();
    if (field->property(ShownText).toString() == text) {
        const QByteArray exact = field->property(ExactValue).toByteArray();
        return std::string(exact.constData(), std::size_t(exact.size()));
    }
    // A line break typed in a field is CR LF, as the pages of the posts write it.
    QString typed = text;
    typed.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return Gbk::fromQString(typed);
}

void setGbk(QPlainTextEdit *field, const std::string &gbk)
{
    QString text = Gbk::toQString(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    field->setPlainText(text);
    field->setProperty(ShownText, field->toPlainText());
    field->setProperty(ExactValue, QByteArray(gbk.data(), qsizetype(gbk.size())));
}

} // namespace SheetFields
