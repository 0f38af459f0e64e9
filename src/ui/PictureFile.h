#pragma once
// Loads a picture file for the wallpaper, the format chosen by the file's
// extension: JPEG through our own decoder over libjpeg, the rest (BMP, PNG
// and whatever else Qt reads) through Qt.
#include <QImage>
#include <QString>

#include <optional>

namespace zek::ui {

// nullopt when the file is missing, unreadable, not of the format its
// extension names, or too large to show (about 256 MB decoded).
std::optional<QImage> LoadPictureFile(const QString& path);

}  // namespace zek::ui
