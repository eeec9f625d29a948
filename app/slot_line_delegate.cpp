#include "app/slot_line_delegate.h"

#include "library/song_name.h"

#include <QLineEdit>
#include <algorithm>

CSlotLineDelegate::CSlotLineDelegate(RenameHandler rename, QObject* parent)
    : QStyledItemDelegate(parent), m_rename(std::move(rename))
{
}

QSize CSlotLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::min(size.height(), kLineHeight));
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
