#pragma once

#include <QString>
#include <span>

#include "device/DeviceListWriters.h"
#include "device/ListedDevice.h"

class QWidget;

// What the user picked in the export dialog: the file and the filter chosen with it. The name is
// empty when the user cancelled.
struct ExportChoice {
    QString fileName;
    QString filter;
};

// Where and how the list is written.
struct ExportTarget {
    QString path;
    ListFormat format = ListFormat::Csv;
};

// The dialog's filters: "CSV (*.csv)" and "JSON (*.json)", separated as QFileDialog takes them.
[[nodiscard]] QString ExportFilters();

// The file and its format: a name that ends in .csv or .json (in any case) is written in that format
// whatever the filter; any other name takes the chosen filter's format and gains its extension.
[[nodiscard]] ExportTarget ExportTargetFor(const ExportChoice& choice);

// Asks with the desktop's save dialog, over the parent window.
[[nodiscard]] ExportChoice AskExportFile(QWidget& parent);

// Writes the devices to the file as DeviceListText does, all or nothing: the file is created or
// replaced only once every byte has been written. Raises OvException with the file and the
// system's reason when it cannot.
void WriteDeviceListFile(const ExportTarget& target, std::span<const ListedDevice> devices);
