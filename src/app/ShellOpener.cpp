#include "app/ShellOpener.h"

#include <QDesktopServices>

namespace {

const QString kNetworkPathPrefix = QStringLiteral("\\\\");

QUrl NetworkPathUrl(const QString& path) {
#ifdef Q_OS_WIN
    return QUrl::fromLocalFile(path);
#else
    // "\\host\share\folder" names smb://host/share/folder.
    QString rest = path.mid(kNetworkPathPrefix.size());
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QUrl url;
    url.setScheme(QStringLiteral("smb"));
    url.setHost(slash < 0 ? rest : rest.left(slash));
    url.setPath(slash < 0 ? QStringLiteral("/") : rest.mid(slash));
    return url;
#endif
}

}  // namespace

QUrl DesktopUrlFor(const QString& text) {
    if (text.startsWith(kNetworkPathPrefix)) return NetworkPathUrl(text);
    if (text.contains(QStringLiteral("://"))) return QUrl(text);
    return QUrl::fromLocalFile(text);
}

bool OpenWithDesktop(const QString& text) { return QDesktopServices::openUrl(DesktopUrlFor(text)); }
