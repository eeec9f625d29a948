#include "app/slot_line_delegate.h"

#include "audio/waveform_overview.h"
#include "library/song_name.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>

namespace {

// The line as far as the list shows it: a column past the view's right edge would be
// seen only by scrolling.
QRect visible_line(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    QRect line = option.rect;
    if (view)
        line.setRight(std::min(line.right(), view->viewport()->rect().right()));
    return line;
}

// Wide enough for any slot's head, so the columns after it align: the digits of a size
// are as wide as each other in the fonts of desktops.
const QString kWidestHead = QStringLiteral("Song 000 -- (000.00  MB)");

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

SSlotLineColumns CSlotLineDelegate::columns(const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    QStyleOptionViewItem head = option;
    initStyleOption(&head, index);
    head.text = index.data(kHeadRole).toString();
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // Where the style puts the text after the icon, and its margins on both sides.
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &head, option.widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    const int head_width = text.left() - option.rect.left() + 2 * margin +
                           std::max(head.fontMetrics.horizontalAdvance(head.text),
                                    head.fontMetrics.horizontalAdvance(kWidestHead));
    SSlotLineTexts texts;
    texts.head = head.text;
    texts.name = index.data(kNameRole).toString();
    texts.length = index.data(kLengthRole).toString();
    texts.loudness = index.data(kLoudnessRole).toString();
    texts.strip = !index.data(kOverviewRole).toByteArray().isEmpty();
    return slot_line_columns(visible_line(option), head_width, head.fontMetrics, texts);
}

void CSlotLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    if (index.data(kHeadRole).toString().isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const SSlotLineColumns at = columns(option, index);
    QStyleOptionViewItem line = option;
    initStyleOption(&line, index);
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // The line's background and selection under every column, then the icon and the head.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &line, painter, option.widget);
    QStyleOptionViewItem head = line;
    head.text = index.data(kHeadRole).toString();
    head.rect = at.head;
    style->drawControl(QStyle::CE_ItemViewItem, &head, painter, option.widget);

    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(line.font);
    const auto draw_text = [&](const QRect& column, int role, Qt::Alignment align) {
        if (!column.isEmpty())
            painter->drawText(
                column, int(align | Qt::AlignVCenter),
                line.fontMetrics.elidedText(index.data(role).toString(), Qt::ElideRight, column.width()));
    };
    draw_text(at.name, kNameRole, Qt::AlignLeft);
    draw_text(at.length, kLengthRole, Qt::AlignRight);
    draw_text(at.loudness, kLoudnessRole, Qt::AlignRight);
    if (!at.strip.isEmpty()) {
        const QRect strip = at.strip.adjusted(0, 3, 0, -3);
        draw_overview(*painter, strip, index.data(kOverviewRole).toByteArray());
        const QVariant place = index.data(kPlaceRole);
        if (place.isValid()) {
            const int x = strip.left() + int(std::clamp(place.toDouble(), 0.0, 1.0) * (strip.width() - 1));
            painter->setPen(QPen(QColor(220, 40, 40), 2));
            painter->drawLine(x, option.rect.top() + 1, x, option.rect.bottom() - 1);
        }
    }
    painter->restore();
}

QSize CSlotLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::min(size.height(), kLineHeight));
    // A song's line fits the view: its columns give way instead.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (view && !index.data(kHeadRole).toString().isEmpty())
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
