#include "app/ListExport.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <string>

#include "errors/OvException.h"

namespace {

struct FileKind {
    ListFormat format;
    const char* filter;
    const char* extension;
};

constexpr FileKind kFormats[] = {
    {ListFormat::Csv, "CSV (*.csv)", ".csv"},
    {ListFormat::Json, "JSON (*.json)", ".json"},
};

[[noreturn]] void RaiseWriteError(const QString& path, const QString& reason) {
    throw OvException(
        QStringLiteral("Could not write %1: %2.").arg(QDir::toNativeSeparators(path), reason).toStdString());
}

}  // namespace

QString ExportFilters() {
    QStringList filters;
    for (const FileKind& kind : kFormats) filters << QString::fromLatin1(kind.filter);
    return filters.join(QStringLiteral(";;"));
}

ExportTarget ExportTargetFor(const ExportChoice& choice) {
    for (const FileKind& kind : kFormats) {
        if (choice.fileName.endsWith(QLatin1String(kind.extension), Qt::CaseInsensitive))
            return {choice.fileName, kind.format};
    }
    const FileKind* chosen = &kFormats[0];
    for (const FileKind& kind : kFormats) {
        if (choice.filter == QLatin1String(kind.filter)) chosen = &kind;
    }
    return {choice.fileName + QLatin1String(chosen->extension), chosen->format};
}

ExportChoice AskExportFile(QWidget& parent) {
    ExportChoice choice;
    choice.filter = QString::fromLatin1(kFormats[0].filter);
    choice.fileName = QFileDialog::getSaveFileName(&parent, QStringLiteral("Export list"), QString(),
                                                   ExportFilters(), &choice.filter);
    return choice;
}

void WriteDeviceListFile(const ExportTarget& target, std::span<const ListedDevice> devices) {
    const std::string text = DeviceListText(devices, target.format);
    // The text goes to a temporary file beside the target, which takes its place on commit.
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) RaiseWriteError(target.path, file.errorString());
    const auto size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size) {
        const QString reason = file.errorString();
        file.cancelWriting();
        RaiseWriteError(target.path, reason);
    }
    if (!file.commit()) RaiseWriteError(target.path, file.errorString());
}
