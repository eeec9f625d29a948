#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Draws the song list's lines at most kLineHeight px high, so 30 of them fit a window 1000
// px high, with the song's waveform overview as a strip at the line's right end and, while
// it plays, its place on the strip; and edits a line's song name in place (F2 or a
// double-click): the editor holds the name alone, and a finished edit goes to `rename`
// instead of into the line's text.
class CSlotLineDelegate final : public QStyledItemDelegate {
public:
    static constexpr int kLineHeight = 26;
    // The role under which a line keeps its song's name for the editor.
    static constexpr int kNameRole = Qt::UserRole + 1;
    // The song's waveform overview (QByteArray; none: no strip) and, while it plays, the
    // share of it played (double, 0..1).
    static constexpr int kOverviewRole = Qt::UserRole + 2;
    static constexpr int kPlaceRole = Qt::UserRole + 3;
    using RenameHandler = std::function<void(int row, const QString& name)>;

    CSlotLineDelegate(RenameHandler rename, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    RenameHandler m_rename;
};
