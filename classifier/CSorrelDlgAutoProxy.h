#pragma once

// Sorrel's automation object on the session bus: the service "Sorrel.Application" with
// one object that offers no methods and no properties. A client counts as attached from
// its first call to the object's own interface until it leaves the bus (introspection
// and the other standard interfaces do not attach); while one is attached,
// closing the window only hides it, and when the last one leaves a hidden window ends
// the program, so the process never lingers out of reach.

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QPointer>
#include <QSet>

class CSorrelDlg;
class QDBusServiceWatcher;

class CSorrelDlgAutoProxy : public QDBusVirtualObject
{
    Q_OBJECT
public:
    static constexpr const char ObjectPath[] = "/Sorrel/Application";
    static constexpr const char InterfaceName[] = "Sorrel.Application";

    CSorrelDlgAutoProxy(CSorrelDlg *dialog, const QDBusConnection &connection);
    ~CSorrelDlgAutoProxy() override;

    // Puts the object and then the service name on the bus. False with the reason.
    bool Register(QString &why);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

    QStringList clients() const { return QStringList(clients_.begin(), clients_.end()); }

private:
    void onClientGone(const QString &client);

    QPointer<CSorrelDlg> dialog_;
    QDBusConnection connection_;
    QDBusServiceWatcher *watcher_;
    QSet<QString> clients_;
};
