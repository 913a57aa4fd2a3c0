// The loop the gap report closes: posts go missing from an archive (rows deleted, files
// deleted), `quillery gaps` writes a download list of them, a real download tool fetches
// the list from a web server on 127.0.0.1 serving the sample archive, the import takes
// what arrived, and the archive lacks nothing again.

#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "common/FileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

const QString AppDir = QStringLiteral(QUILLERY_APP_DIR);
const QString XmlPreset = QString::fromUtf8("Lumora新帖(xml), roomid在文件中");
const QString HtmlPreset = QString::fromUtf8("Lumora旧帖(htm), 所在目录名是roomid");

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// Runs a program to its end while this thread's event loop goes on (the web server
// lives in it).
Run runAndServe(const QString &program, const QStringList &arguments, int waitMs = 120000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_CTYPE"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    loop.exec();
    Run run;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A plain HTTP/1.1 file server for one folder: GET of a regular file below it, 404 for
// anything else; one request per connection.
class FileServer : public QObject
{
public:
    explicit FileServer(const QString &root)
        : root_(QFileInfo(root).canonicalFilePath())
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { respond(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
    }
    bool listening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    int served = 0;
    int notFound = 0;

private:
    void respond(QTcpSocket *socket)
    {
        const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            socket->setProperty("request", request);
            return;
        }
        const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
        QByteArray body;
        bool found = false;
        if (words.size() == 3 && words[0] == "GET") {
            const QString path = QUrl::fromPercentEncoding(words[1]);
            const QString file = QFileInfo(root_ + path).canonicalFilePath();
            QFile reader(file);
            found = file.startsWith(root_ + u'/') && QFileInfo(file).isFile()
                    && reader.open(QIODevice::ReadOnly);
            if (found)
                body = reader.readAll();
        }
        ++(found ? served : notFound);
        socket->write((found ? QByteArray("HTTP/1.1 200 OK\r\n")
                             : QByteArray("HTTP/1.1 404 Not Found\r\n"))
                      + "Content-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QString root_;
};

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator files(from, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString target = to + file.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

class TestGapsLoop : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE QString skipReason() const
    {
        return QStandardPaths::findExecutable(QStringLiteral("wget")).isEmpty()
                ? u("wget is not installed (tools/deps.sh installs it): the download loop "
                    "cannot run")
                : QString();
    }

private Q_SLOTS:
    void missingPostsComeBack()
    {
        // A portable copy of the programs' folder with the sample archive's first table.
        QTemporaryDir app;
        const QString quillery = app.path() + QStringLiteral("/quillery");
        QVERIFY(QFile::copy(AppDir + QStringLiteral("/quillery"), quillery));
        QVERIFY(copyTree(AppDir + QStringLiteral("/Configs"),
                         app.path() + QStringLiteral("/Configs")));
        const QString archive = app.path() + QStringLiteral("/sample/LangPosts");
        QVERIFY(copyTree(AppDir + QStringLiteral("/sample/LangPosts"), archive));
        for (const auto &[preset, folder] : {std::pair {HtmlPreset, QStringLiteral("/htm")},
                                             std::pair {XmlPreset, QStringLiteral("/xml")}}) {
            const Run run =
                    runAndServe(quillery,
                                {QStringLiteral("import"), QStringLiteral("--preset"), preset,
                                 QStringLiteral("--table"), QStringLiteral("LangPosts"),
                                 QStringLiteral("--dir"), archive + folder});
            QVERIFY2(run.status == 0, qPrintable(run.err));
        }

        // The XML posts: their addresses name the post by ID alone.
        QStringList xmlIds;
        QDirIterator posts(archive + QStringLiteral("/xml"), {QStringLiteral("*.xml")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (posts.hasNext())
            xmlIds << QFileInfo(posts.next()).baseName();
        std::sort(xmlIds.begin(), xmlIds.end());
        QVERIFY(xmlIds.size() > 20);
        QVERIFY(xmlIds.contains(QStringLiteral("1317809")));
        QVERIFY(xmlIds.contains(QStringLiteral("1317810")));
        const QStringList range {QStringLiteral("--table"), QStringLiteral("LangPosts"),
                                 QStringLiteral("--first"), xmlIds.first(),
                                 QStringLiteral("--last"),  xmlIds.last()};
        // The IDs the sample never had: the server has nothing for them either.
        const Run before = runAndServe(quillery, QStringList {QStringLiteral("gaps")} + range);
        QCOMPARE(before.status, 1);

        // Rows of three posts deleted (the last of the range among them), the files of two
        // others.
        const QStringList deletedRows {QStringLiteral("1317810"), xmlIds.at(10), xmlIds.last()};
        const QStringList deletedFiles {QStringLiteral("1317809"), xmlIds.at(15)};
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection("Provider=SQLite;Data Source="
                                       + FileSystem::fromQtPath(app.path()) + "/Data/Lumora.db"),
                 0L);
        QCOMPARE(ado.ExecuteSql("DELETE FROM LangPosts WHERE topicid IN ("
                                        + deletedRows.join(u',').toStdString() + ")",
                                CAdoManager::CommandText),
                 0L);
        ado.CloseAdoConnection();
        for (const QString &id : deletedFiles)
            QVERIFY(QFile::remove(archive + QStringLiteral("/xml/") + id.left(4) + u'/' + id
                                  + QStringLiteral(".xml")));

        FileServer server(AppDir + QStringLiteral("/sample/LangPosts"));
        QVERIFY(server.listening());
        const QString list = app.path() + QStringLiteral("/list.lst");
        const QString lineTemplate =
                QStringLiteral("http://127.0.0.1:%1/xml/|ID4|/|ID|.xml").arg(server.port());
        Run run = runAndServe(quillery,
                              QStringList {QStringLiteral("gaps"), QStringLiteral("--files"),
                                           QStringLiteral("-t"), lineTemplate, QStringLiteral("-o"),
                                           list}
                                      + range);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains(u("文件丢失 2 个")), qPrintable(run.out));
        const QString listed = QString::fromLatin1(readBytes(list));
        for (const QString &id : deletedRows + deletedFiles)
            QVERIFY2(listed.contains(u'/' + id + QStringLiteral(".xml\r\n")), qPrintable(id));
        const int lines = int(listed.count(QStringLiteral("\r\n")));
        QCOMPARE(lines, int(before.out.count(u'\n')) + 5);

        // The download tool puts each file at its address's path in the archive folder.
        run = runAndServe(QStandardPaths::findExecutable(QStringLiteral("wget")),
                          {QStringLiteral("--no-proxy"), QStringLiteral("-q"),
                           QStringLiteral("--tries=1"), QStringLiteral("-x"), QStringLiteral("-nH"),
                           QStringLiteral("-P"), archive, QStringLiteral("-i"), list});
        QVERIFY2(run.status == 0 || run.status == 8, qPrintable(run.err)); // 8: some 404s
        QCOMPARE(server.served, 5);
        QCOMPARE(server.served + server.notFound, lines);

        run = runAndServe(quillery,
                          {QStringLiteral("import"), QStringLiteral("--preset"), XmlPreset,
                           QStringLiteral("--table"), QStringLiteral("LangPosts"),
                           QStringLiteral("--dir"), archive + QStringLiteral("/xml")});
        QVERIFY2(run.status == 0, qPrintable(run.err));

        // Nothing the server has is missing any more: the same IDs as before, no lost file,
        // and a range without IDs the sample never had is complete.
        const Run after = runAndServe(
                quillery, QStringList {QStringLiteral("gaps"), QStringLiteral("--files")} + range);
        QCOMPARE(after.status, 1);
        QCOMPARE(after.out, before.out);
        QVERIFY2(after.err.contains(u("文件丢失 0 个")), qPrintable(after.err));
        run = runAndServe(quillery,
                          {QStringLiteral("gaps"), QStringLiteral("--files"),
                           QStringLiteral("--table"), QStringLiteral("LangPosts"),
                           QStringLiteral("--first"), QStringLiteral("1317809"),
                           QStringLiteral("--last"), QStringLiteral("1317810")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(u("缺少 0 个(0 段), 文件丢失 0 个")), qPrintable(run.err));
    }
};

QUILLERY_REGISTER_TEST(TestGapsLoop)
#include "tst_GapsLoop.moc"
