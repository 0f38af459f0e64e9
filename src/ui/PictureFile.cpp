#include "ui/PictureFile.h"

#include "ui/JpegDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace zek::ui {
namespace {

bool isJpegName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpe") ||
           suffix == QLatin1String("jfif");
}

std::optional<QImage> loadJpeg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > static_cast<qint64>(kMaxPictureBytes))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return std::nullopt;
    std::optional<DecodedJpeg> decoded =
        DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
    if (!decoded)
        return std::nullopt;
    // The image takes the decoded pixels over without copying them.
    auto* owned = new DecodedJpeg(std::move(*decoded));
    QImage image(owned->rgb.data(), owned->width, owned->height, qsizetype{owned->width} * 3, QImage::Format_RGB888,
                 [](void* info) { delete static_cast<DecodedJpeg*>(info); }, owned);
    return image;
}

}  // namespace

std::optional<QImage> LoadPictureFile(const QString& path) {
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    if (isJpegName(path))
        return loadJpeg(path);
    QImageReader reader(path, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(static_cast<int>(kMaxPictureBytes >> 20));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

}  // namespace zek::ui
