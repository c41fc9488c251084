#include "app/gui/image_list.h"

#include <QPixmap>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

int TImageList::AddStrip(const QImage& strip, QRgb transparent) {
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    int added = 0;
    for (int left = 0; left + width_ <= argb.width() && height_ <= argb.height(); left += width_) {
        QImage image = argb.copy(left, 0, width_, height_);
        for (int y = 0; y < height_; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width_; ++x)
                if ((line[x] & 0xFFFFFFu) == (transparent & 0xFFFFFFu)) line[x] = 0;
        }
        images_.push_back(std::move(image));
        ++added;
    }
    return added;
}

int TImageList::LoadStrip(const QString& fileName, QRgb transparent) {
    QImage strip(fileName);
    if (strip.isNull())
        throw Exception(
            Format("Cannot load the image strip %s", Utf8ToAnsi(fileName.toStdString()).c_str()));
    return AddStrip(strip, transparent);
}

QImage TImageList::Image(int index) const {
    if (index < 0 || index >= Count()) return QImage();
    return images_[static_cast<size_t>(index)];
}

QIcon TImageList::Icon(int index) const {
    if (index < 0 || index >= Count()) return QIcon();
    return QIcon(QPixmap::fromImage(images_[static_cast<size_t>(index)]));
}
