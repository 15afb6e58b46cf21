#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// The desktop's "open" of a text: the browser for a web address, the file browser for a network
// path. It returns at once; nobody waits for the handler or looks at its result.
using ShellOpener = std::function<void(const QString& text)>;

// The address the desktop is given for a text: a web address as it is; a network path (two
// backslashes, a host and optionally a share) as a UNC path on Windows and as smb://host/share
// elsewhere; any other text as a local file.
[[nodiscard]] QUrl DesktopUrlFor(const QString& text);

// The opener the program uses: QDesktopServices::openUrl of DesktopUrlFor(text).
void OpenWithDesktop(const QString& text);
