#pragma once
// Drawing a preview page: the sheet to scale, white with a black edge, the stock's label
// outlines in light grey, the lines drawn on the page and the texts in place. The preview window
// paints with it, and the admin tool's labels --preview-png writes its pages with it.

#include <QImage>

#include "core/labels/PageCapture.h"

class QPainter;
class Printer;

// Paints `page` with the paper's top-left corner at the painter's origin, `scale` painter units
// to a dot of `geometry` (the printer the page was laid out for). The painter's state is kept.
void PaintPreviewPage(QPainter& painter, const PreviewPage& page, const Printer& geometry, double scale);

// The page as an image of the whole sheet, round(dots × scale) pixels each way.
QImage RenderPreviewPage(const PreviewPage& page, const Printer& geometry, double scale);
