#include "app/FileDrop.h"

#include "app/WindowHost.h"
#include "platform/TextCodec.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

namespace zek::app {

std::optional<QString> droppedSourceFile(const QList<QUrl>& urls) {
    if (urls.size() != 1)
        return std::nullopt;
    const QUrl& url = urls.first();
    if (!url.isLocalFile() || !url.host().isEmpty())
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!platform::isValidUtf8(bytes.constData(), bytes.size()))
        return std::nullopt;
    const QString path = url.toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return std::nullopt;
    return path;
}

FileDrop::FileDrop(QWidget* window, const settings::Settings& settings, WindowHost& host)
    : QObject(window), window_(window), settings_(settings), host_(host) {
    // A drop on an edit box would otherwise insert the file's address as text.
    for (QWidget* child : window_->findChildren<QWidget*>())
        child->setAcceptDrops(false);
    window_->setAcceptDrops(true);
    window_->installEventFilter(this);
}

void FileDrop::drop(const QList<QUrl>& urls) {
    if (settings_.show == 1)
        host_.bringToFront();
    const std::optional<QString> source = droppedSourceFile(urls);
    if (!source)
        return;
    host_.setSourceFile(*source);
    if (settings_.auto_ == 1)
        host_.runCompile();
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (enter->mimeData()->hasUrls())
            enter->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* dropped = static_cast<QDropEvent*>(event);
        const QList<QUrl> urls = dropped->mimeData()->urls();
        dropped->acceptProposedAction();
        QTimer::singleShot(0, this, [this, urls] { drop(urls); });
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zek::app
