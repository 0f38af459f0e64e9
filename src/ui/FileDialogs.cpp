#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QStringList>

namespace zek::ui {
namespace {

constexpr int kPreviewSize = 160;

// "*.SMC" -> "*.[sS][mM][cC]": the extension in any letter case.
QString anyCase(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper());
        else
            out += c;
    }
    return out;
}

// What a Windows mask stands for here, as the user reads it.
QString shownPattern(const QString& pattern) {
    if (pattern.compare(QStringLiteral("*.EXE"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("*");
    if (pattern.compare(QStringLiteral("*.DLL"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("*.so");
    return pattern;
}

void addPreview(QFileDialog& dialog) {
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid)
        return;  // a native dialog: it has its own preview, if any
    auto* preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("imgPreview"));
    preview->setFixedSize(kPreviewSize, kPreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > kPreviewSize || size.height() > kPreviewSize))
            reader.setScaledSize(size.scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        preview->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    });
}

}  // namespace

QString nameFilter(const QString& filter) {
    const int bar = filter.indexOf('|');
    if (bar < 0)
        return filter;
    QString description = filter.left(bar);
    const QStringList masks = filter.mid(bar + 1).split(';', Qt::SkipEmptyParts);
    QStringList shown;
    QStringList patterns;
    for (const QString& mask : masks) {
        shown << shownPattern(mask);
        patterns << (shown.back() == mask ? anyCase(mask) : shown.back());
    }
    // The description's own "(*.EXE)" names what is really listed.
    const int open = description.lastIndexOf('(');
    if (open >= 0 && description.endsWith(')'))
        description = description.left(open) + '(' + shown.join(';') + ')';
    return description + " (" + patterns.join(' ') + ")";
}

QString chooseOpenFile(QWidget* parent, const QString& objectName, const QString& title, const QString& filter,
                       const QString& initial, bool preview) {
    QFileDialog dialog(parent, title);
    dialog.setObjectName(objectName);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (preview)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(nameFilter(filter));
    if (initial.isEmpty() || initial.endsWith('/')) {
        if (!initial.isEmpty())
            dialog.setDirectory(initial);
    } else {
        const int slash = initial.lastIndexOf('/');
        dialog.setDirectory(slash >= 0 ? initial.left(slash + 1) : QStringLiteral("."));
        dialog.selectFile(initial);
    }
    if (preview)
        addPreview(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

}  // namespace zek::ui
