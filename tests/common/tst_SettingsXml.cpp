#include "TestRegistry.h"

#include "common/Codec.h"
#include "common/SettingsXml.h"

#include <QDomDocument>
#include <QTest>

class TestSettingsXml : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parsesWellFormedSettingsWithChineseNames()
    {
        QDomDocument document;
        std::string reason = "untouched";
        const std::string bytes =
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<根><帖子类型 TABLE=\"t\"/></根>";
        QVERIFY(ParseSettingsXml(bytes, document, &reason));
        QCOMPARE(document.documentElement().firstChildElement().attribute(QStringLiteral("TABLE")),
                 QStringLiteral("t"));
        QCOMPARE(reason, std::string("untouched"));
    }

    void namesTheLineAndColumnOfMalformedXml()
    {
        QDomDocument document;
        std::string reason;
        // The second line closes an element that is not open.
        QVERIFY(!ParseSettingsXml("<a>\n  </b></a>", document, &reason));
        const QString text = Gbk::toQString(reason);
        QVERIFY2(text.endsWith(QStringLiteral("(line 2, column 6)")), qPrintable(text));
        QVERIFY(text.size() > QStringLiteral("(line 2, column 6)").size());
        // Empty bytes are no document either, and no reason is asked for.
        QVERIFY(!ParseSettingsXml("", document, nullptr));
    }
};

QUILLERY_REGISTER_TEST(TestSettingsXml)
#include "tst_SettingsXml.moc"
