#include "app/slot_line_delegate.h"

#include "audio/waveform_overview.h"
#include "library/song_name.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>

namespace {

// The strip takes a quarter of a narrow line, at most this many pixels of a wide one: the
// name before it matters more.
constexpr int kStripWidest = 100;
constexpr int kStripMargin = 4;

// The line as far as the list shows it: a strip past the view's right edge would be
// seen only by scrolling.
QRect visible_line(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    QRect line = option.rect;
    if (view)
        line.setRight(std::min(line.right(), view->viewport()->rect().right()));
    return line;
}

QRect strip_rect(const QRect& line)
{
    const int width = std::min(kStripWidest, line.width() / 4);
    return QRect(line.right() - kStripMargin - width, line.top() + 3, width, line.height() - 6);
}

// Each pixel column draws the lowest and highest of the overview's columns it covers,
// scaled to the song's own peak: a quiet song shows its shape too (its loudness is in
// the line's text).
void draw_overview(QPainter& painter, const QRect& strip, const QByteArray& overview)
{
    int peak = 1;
    for (int column = 0; column < kOverviewColumns; ++column) {
        const SOverviewColumn drawn = overview_column(overview, column);
        peak = std::max({peak, -drawn.low, drawn.high});
    }
    const double middle = strip.top() + strip.height() / 2.0;
    const double half = strip.height() / 2.0;
    for (int x = 0; x < strip.width(); ++x) {
        const int first = x * kOverviewColumns / strip.width();
        const int last = std::max(first + 1, (x + 1) * kOverviewColumns / strip.width());
        int low = 0;
        int high = 0;
        for (int column = first; column < last; ++column) {
            const SOverviewColumn drawn = overview_column(overview, column);
            low = std::min(low, drawn.low);
            high = std::max(high, drawn.high);
        }
        const double top = middle - high * half / peak;
        const double bottom = middle - low * half / peak;
        painter.drawLine(QPointF(strip.left() + x + 0.5, top), QPointF(strip.left() + x + 0.5, bottom));
    }
}

}  // namespace

CSlotLineDelegate::CSlotLineDelegate(RenameHandler rename, QObject* parent)
    : QStyledItemDelegate(parent), m_rename(std::move(rename))
{
}

void CSlotLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const QByteArray overview = index.data(kOverviewRole).toByteArray();
    if (overview.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QRect strip = strip_rect(visible_line(option));
    // The text ends where the strip begins, elided there.
    QStyleOptionViewItem text_part = option;
    text_part.rect.setRight(strip.left() - kStripMargin);
    QStyledItemDelegate::paint(painter, text_part, index);
    // Under the strip, the line's background and selection alone.
    QStyleOptionViewItem rest = option;
    initStyleOption(&rest, index);
    rest.rect.setLeft(text_part.rect.right() + 1);
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &rest, painter, option.widget);

    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    draw_overview(*painter, strip, overview);
    const QVariant place = index.data(kPlaceRole);
    if (place.isValid()) {
        const int x = strip.left() + int(std::clamp(place.toDouble(), 0.0, 1.0) * (strip.width() - 1));
        painter->setPen(QPen(QColor(220, 40, 40), 2));
        painter->drawLine(x, option.rect.top() + 1, x, option.rect.bottom() - 1);
    }
    painter->restore();
}

QSize CSlotLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::min(size.height(), kLineHeight));
    // A line with a strip fits the view: its text is elided before the strip instead.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (view && !index.data(kOverviewRole).toByteArray().isEmpty())
        size.setWidth(std::min(size.width(), view->viewport()->width()));
    return size;
}

QWidget* CSlotLineDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("m_editSongName"));
    editor->setMaxLength(kSongNameMax);
    editor->setPlaceholderText(QStringLiteral("Song name"));
    return editor;
}

void CSlotLineDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    static_cast<QLineEdit*>(editor)->setText(index.data(kNameRole).toString());
}

void CSlotLineDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    const QString name = static_cast<QLineEdit*>(editor)->text();
    if (name != index.data(kNameRole).toString())
        m_rename(index.row(), name);
}
