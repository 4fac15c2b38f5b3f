#include "ui/HotRowDelegate.h"

void THotRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_MouseOver)
        option->font.setUnderline(true);
}
