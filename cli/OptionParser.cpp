#include "OptionParser.h"

#include "CliTexts.h"

namespace {
QString text(const char *utf8, const QString &argument)
{
    return QString::fromUtf8(utf8).arg(argument);
}
} // namespace

OptionParser::OptionParser(std::vector<OptionSpec> specs)
    : specs_(std::move(specs))
{
}

const OptionSpec *OptionParser::findLong(const QString &name) const
{
    for (const OptionSpec &spec : specs_) {
        if (spec.longName == name)
            return &spec;
    }
    return nullptr;
}

const OptionSpec *OptionParser::findShort(QChar name) const
{
    for (const OptionSpec &spec : specs_) {
        if (!spec.shortName.isNull() && spec.shortName == name)
            return &spec;
    }
    return nullptr;
}

bool OptionParser::parse(const QStringList &arguments)
{
    values_.clear();
    positional_.clear();
    error_.clear();
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || argument == QLatin1String("-") || !argument.startsWith(u'-')) {
            positional_.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }

        const OptionSpec *spec = nullptr;
        QString inlineValue;
        bool hasInlineValue = false;
        if (argument.startsWith(QLatin1String("--"))) {
            const qsizetype equals = argument.indexOf(u'=');
            const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
            spec = findLong(name);
            if (spec && equals >= 0) {
                inlineValue = argument.mid(equals + 1);
                hasInlineValue = true;
            }
        } else {
            spec = findShort(argument.at(1));
            if (spec && argument.size() > 2) {
                inlineValue = argument.mid(2);
                hasInlineValue = true;
            }
        }
        if (!spec) {
            error_ = text(CliText::UnknownOption, argument);
            return false;
        }
        if (!spec->takesValue) {
            if (hasInlineValue) {
                error_ = text(CliText::UnexpectedValue, argument);
                return false;
            }
            values_.insert(spec->longName, QString());
            continue;
        }
        if (!hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                error_ = text(CliText::MissingValue, argument);
                return false;
            }
            inlineValue = arguments.at(++i);
        }
        values_.insert(spec->longName, inlineValue);
    }
    return true;
}
