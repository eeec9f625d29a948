#pragma once

#include <QImage>
#include <QObject>

class QWidget;

// `picture` drawn at its own size at the top left of an area of `size`; where the area is
// wider, the picture's last column stretches to its right edge, and where it is taller, its
// last row to the bottom, so a panel of the picture (the title panel, the tab-bar strip)
// goes on to the edge instead of stopping in the middle. An area smaller than the picture
// shows its top left.
QImage extended_picture(const QImage& picture, const QSize& size);

// Paints a page's picture, extended to the page's size, under the page's widgets.
class CPagePicture : public QObject {
public:
    // `picture`: a resource path; the object belongs to `page`.
    CPagePicture(QWidget* page, const QString& picture);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_page;
    QImage m_picture;
    // The picture extended to the page's last size: drawn again only when that changes.
    QImage m_drawn;
};
