#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// The desktop's "open" of a text: the browser for a web address, the file browser for a network
// path. It returns at once, without waiting for the handler: false when the desktop found no
// handler or could not start it.
using ShellOpener = std::function<bool(const QString& text)>;

// The address the desktop is given for a text: a web address as it is; a network path (two
// backslashes, a host and optionally a share) as a UNC path on Windows and as smb://host/share
// elsewhere; any other text as a local file.
[[nodiscard]] QUrl DesktopUrlFor(const QString& text);

// The opener the program uses: QDesktopServices::openUrl of DesktopUrlFor(text).
[[nodiscard]] bool OpenWithDesktop(const QString& text);
