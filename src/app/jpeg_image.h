#pragma once

#include <QByteArray>
#include <QImage>

// Decodes a JPEG held in memory with libjpeg; a null image when the data is
// not a readable JPEG.
QImage decodeJpeg(const QByteArray &data);
