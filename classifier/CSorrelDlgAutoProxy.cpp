#include "CSorrelDlgAutoProxy.h"

#include "CSorrelDlg.h"
#include "classifier/SorrelTexts.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

CSorrelDlgAutoProxy::CSorrelDlgAutoProxy(CSorrelDlg *dialog, const QDBusConnection &connection)
    : QDBusVirtualObject(dialog)
    , dialog_(dialog)
    , connection_(connection)
    , watcher_(new QDBusServiceWatcher(this))
{
    watcher_->setConnection(connection_);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &CSorrelDlgAutoProxy::onClientGone);
}

CSorrelDlgAutoProxy::~CSorrelDlgAutoProxy()
{
    connection_.unregisterService(QString::fromLatin1(SorrelText::ServiceName));
    connection_.unregisterObject(QString::fromLatin1(ObjectPath));
}

bool CSorrelDlgAutoProxy::Register(QString &why)
{
    if (!connection_.isConnected()) {
        why = connection_.lastError().message();
        return false;
    }
    if (!connection_.registerVirtualObject(QString::fromLatin1(ObjectPath), this)) {
        why = connection_.lastError().message();
        return false;
    }
    if (!connection_.registerService(QString::fromLatin1(SorrelText::ServiceName))) {
        why = connection_.lastError().message();
        connection_.unregisterObject(QString::fromLatin1(ObjectPath));
        return false;
    }
    return true;
}

QString CSorrelDlgAutoProxy::introspect(const QString &) const
{
    // The dispatch interface, without members.
    return QStringLiteral("  <interface name=\"%1\"/>\n").arg(QString::fromLatin1(InterfaceName));
}

bool CSorrelDlgAutoProxy::handleMessage(const QDBusMessage &message,
                                        const QDBusConnection &connection)
{
    // Only a call to the application's own interface attaches a client; a bus browser
    // introspecting the object does not keep Sorrel alive.
    const QString client = message.service();
    if (message.interface() == QLatin1String(InterfaceName) && !client.isEmpty()
        && !clients_.contains(client)) {
        clients_.insert(client);
        watcher_->addWatchedService(client);
        // The client may have left before the watch was set up.
        if (!connection_.interface()->isServiceRegistered(client)) {
            onClientGone(client);
        } else if (dialog_) {
            dialog_->SetAutoProxy(this);
        }
    }
    // The standard interfaces (introspection, properties) are answered by Qt; Sorrel's own
    // interface has no members, so every call to it is an unknown method.
    if (message.interface().startsWith(QLatin1String("org.freedesktop.DBus.")))
        return false;
    connection.send(message.createErrorReply(
            QDBusError::UnknownMethod,
            QStringLiteral("%1 offers no method %2")
                    .arg(QString::fromLatin1(InterfaceName), message.member())));
    return true;
}

void CSorrelDlgAutoProxy::onClientGone(const QString &client)
{
    if (!clients_.remove(client))
        return;
    watcher_->removeWatchedService(client);
    if (clients_.isEmpty() && dialog_)
        dialog_->OnAutoProxyReleased();
}
