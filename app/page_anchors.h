#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

// Keeps the widgets of a page laid out by hand where they belong as the window grows: each
// keeps its place in the form at the default size, and moves or stretches with the page's
// right and bottom edges as told. The first size the page is given is the default one.
class CPageAnchors : public QObject {
public:
    enum EEdge : unsigned { NONE = 0, MOVE_RIGHT = 1, MOVE_DOWN = 2, GROW_WIDE = 4, GROW_TALL = 8 };

    explicit CPageAnchors(QWidget* page);
    // `widget` follows the page's edges as `edges` (EEdge flags) say.
    void anchor(QWidget* widget, unsigned edges);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SAnchored {
        QWidget* widget;
        QRect design;
        unsigned edges;
    };
    void place(QSize page);

    QWidget* m_page;
    QSize m_default;
    std::vector<SAnchored> m_anchored;
};
