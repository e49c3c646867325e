#ifndef ROUNDIMAGE_H
#define ROUNDIMAGE_H

#include <QImage>

// The centred square of a picture, filled into a circle on a transparent
// background (company and user pictures are shown round).
QImage roundImage(const QImage &image);

#endif // ROUNDIMAGE_H
