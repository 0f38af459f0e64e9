#pragma once
// Files dropped on the main window: one local file becomes the source (and
// is compiled with `auto` 1); anything else is ignored. With `show` 1 the
// window comes to the front first, whatever was dropped.
#include "settings/Settings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

namespace zek::app {

class WindowHost;

// The one dropped source file; nothing for no or several items, a folder,
// an address that is not a local file, or a name that is not valid UTF-8
// (it could not be passed on to the compiler or the editor as it is).
std::optional<QString> droppedSourceFile(const QList<QUrl>& urls);

class FileDrop : public QObject {
    Q_OBJECT
public:
    // The whole window, its boxes included, becomes one drop target.
    FileDrop(QWidget* window, const settings::Settings& settings, WindowHost& host);

    // What a drop does; the window's drop handler queues it, so that the
    // dragging program has its answer before a compile starts.
    void drop(const QList<QUrl>& urls);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    const settings::Settings& settings_;
    WindowHost& host_;
};

}  // namespace zek::app
