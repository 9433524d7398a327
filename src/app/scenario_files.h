#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace fd::app {

// A file dialog filter in the design's form ("Текстовые файлы|*.txt", patterns joined by "; ") as
// Qt's file dialog takes it, each pattern also in capitals.
QString QtFileFilter(const QString& designFilter);

// The program's file chooser: Qt's open-file dialog over owner with the given design filter.
std::function<QString(const QString& designFilter)> FileDialogChooser(QWidget* owner);

}  // namespace fd::app
