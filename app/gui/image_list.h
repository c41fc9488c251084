// TImageList: a list of equally sized images cut from one horizontal strip, with one colour of
// the strip made transparent; the tool bar and the actions take their icons from it.
#pragma once

#include <QIcon>
#include <QImage>
#include <QRgb>
#include <QString>
#include <vector>

class TImageList {
  public:
    TImageList(int width = 16, int height = 16) : width_(width), height_(height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return static_cast<int>(images_.size()); }
    void Clear() { images_.clear(); }

    // Appends the images of the strip, left to right, as many as fit whole; pixels of the
    // transparent colour become fully transparent. Answers how many were added.
    int AddStrip(const QImage& strip, QRgb transparent);
    // Loads the strip from a file or a resource (":/image1.bmp"); raises Exception when the
    // image cannot be read.
    int LoadStrip(const QString& fileName, QRgb transparent);

    // The image at index (ARGB32); a null image outside 0..Count()-1.
    QImage Image(int index) const;
    // The image as an icon; an empty icon outside 0..Count()-1.
    QIcon Icon(int index) const;

  private:
    int width_;
    int height_;
    std::vector<QImage> images_;
};
