#pragma once

#include <QObject>
#include <QRect>
#include <vector>

class QWidget;

// Keeps the widgets of a page laid out by hand where they belong as the window grows: each
// keeps its place in the form at the window's smallest (its default) size, and moves or
// stretches with the page's right and bottom edges as told, by as much as the window has
// grown. The window's growth is what counts, not the page's: the page is shorter while the
// progress bar shows, and the form's places fit that at the default size already.
class CPageAnchors : public QObject {
public:
    enum EEdge : unsigned { NONE = 0, MOVE_RIGHT = 1, MOVE_DOWN = 2, GROW_WIDE = 4, GROW_TALL = 8 };

    CPageAnchors(QWidget* page, const QWidget* window);
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
    void place();

    QWidget* m_page;
    const QWidget* m_window;
    std::vector<SAnchored> m_anchored;
};
