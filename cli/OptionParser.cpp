#include "OptionParser.h"

#include "CliTexts.h"

namespace {
QString text(const char *utf8, const QString &argument)
{
    return QString::fromUtf8(utf8).arg(argument);
}
} // namespace

OptionParser::OptionParser(std::vector<OptionDefinition> definitions)
    : definitions_(std::move(definitions))
{
}

const OptionDefinition *OptionParser::findLong(const QString &name) const
{
    for (const OptionDefinition &definition : definitions_) {
        if (definition.longName == name)
            return &definition;
    }
    return nullptr;
}

const OptionDefinition *OptionParser::findShort(QChar name) const
{
    for (const OptionDefinition &definition : definitions_) {
        if (!definition.shortName.isNull() && definition.shortName == name)
            return &definition;
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

        const OptionDefinition *definition = nullptr;
        QString inlineValue;
        bool hasInlineValue = false;
        if (argument.startsWith(QLatin1String("--"))) {
            const qsizetype equals = argument.indexOf(u'=');
            const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
            definition = findLong(name);
            if (definition && equals >= 0) {
                inlineValue = argument.mid(equals + 1);
                hasInlineValue = true;
            }
        } else {
            definition = findShort(argument.at(1));
            if (definition && argument.size() > 2) {
                inlineValue = argument.mid(2);
                hasInlineValue = true;
            }
        }
        if (!definition) {
            error_ = text(CliText::UnknownOption, argument);
            return false;
        }
        if (!definition->takesValue) {
            if (hasInlineValue) {
                error_ = text(CliText::UnexpectedValue, argument);
                return false;
            }
            values_.insert(definition->longName, QString());
            continue;
        }
        if (!hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                error_ = text(CliText::MissingValue, argument);
                return false;
            }
            inlineValue = arguments.at(++i);
        }
        values_.insert(definition->longName, inlineValue);
    }
    return true;
}
