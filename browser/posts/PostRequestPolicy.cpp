#include "PostRequestPolicy.h"

#include <QDir>
#include <QFileInfo>

bool IsPostRequestAllowed(const QUrl &request, const QUrl &document, bool mainFrame)
{
    if (!request.isLocalFile() || !document.isLocalFile())
        return false;
    const QString requested = QDir::cleanPath(request.toLocalFile());
    const QString opened = QDir::cleanPath(document.toLocalFile());
    if (mainFrame)
        return requested == opened;
    QString area = QFileInfo(opened).path();
    for (int level = 0; level < AllowedParentLevels && area != QLatin1String("/"); ++level)
        area = QFileInfo(area).path();
    if (area == QLatin1String("/"))
        return false; // a post at the top of the file system gets no neighbours
    return requested.startsWith(area + QLatin1Char('/'));
}
