#pragma once

#include "app/slot_line_columns.h"

#include <QStyledItemDelegate>
#include <functional>

// Draws the song list's lines at most kLineHeight px high, so 30 of them fit a window 1000
// px high; a song's line in aligned columns (slot_line_columns.h), with the song's waveform
// overview as a strip at the line's right end and, while it plays, its place on the strip; and edits a line's
// song name in place (F2 or a double-click): the editor holds the name alone, and a finished edit goes to
// `rename` instead of into the line's text.
class CSlotLineDelegate final : public QStyledItemDelegate {
public:
    static constexpr int kLineHeight = 26;
    // The role under which a line keeps its song's name for the editor.
    static constexpr int kNameRole = Qt::UserRole + 1;
    // The song's waveform overview (QByteArray; none: no strip) and, while it plays, the
    // share of it played (double, 0..1).
    static constexpr int kOverviewRole = Qt::UserRole + 2;
    static constexpr int kPlaceRole = Qt::UserRole + 3;
    // A song's line in parts (QString each): its head ("Song 004 -- (12.34  MB)"; none: the
    // line is drawn as its text), its length and its loudness (none: not known).
    static constexpr int kHeadRole = Qt::UserRole + 4;
    static constexpr int kLengthRole = Qt::UserRole + 5;
    static constexpr int kLoudnessRole = Qt::UserRole + 6;
    using RenameHandler = std::function<void(int row, const QString& name)>;

    CSlotLineDelegate(RenameHandler rename, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Where the columns of the line at `index` go, in `option`'s rectangle.
    SSlotLineColumns columns(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    RenameHandler m_rename;
};
