#include "window/caption_fit.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace trevanix::window {

namespace {

QString shown_text(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

// Blanks at the end of a line take no visible room.
int line_width(const QFontMetrics& metrics, const QString& line)
{
    QString visible = shown_text(line);
    while (visible.endsWith(QLatin1Char(' ')))
        visible.chop(1);
    return metrics.horizontalAdvance(visible);
}

QSize caption_size(const QFontMetrics& metrics, const QString& caption)
{
    const QStringList lines = caption.split(QLatin1Char('\n'));
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, line_width(metrics, line));
    const int height = metrics.size(Qt::TextShowMnemonic, caption).height();
    return {width, height};
}

// The right edge, in the control's own coordinates, that its caption must
// stay left of: its own, or the left edge of a sibling that overlaps it
// further to the right.
int caption_right_edge(const QWidget* control)
{
    const QRect own = control->geometry();
    int right = own.right() + 1;
    for (const QObject* child : control->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(child);
        if (sibling == nullptr || sibling == control)
            continue;
        const QRect other = sibling->geometry();
        const bool overlaps_rows = other.top() <= own.bottom() && other.bottom() >= own.top();
        if (overlaps_rows && other.left() > own.left() && other.left() < right)
            right = other.left();
    }
    return right - own.left();
}

// The room the style gives the caption of a check box or a button.
QRect caption_room(const QAbstractButton* button, QStyle::SubElement element)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QRect room = button->style()->subElementRect(element, &option, button);
    room.setRight(std::min(room.right(), caption_right_edge(button) - 1));
    return room;
}

bool fits(const QSize& needed, const QRect& room)
{
    return needed.width() <= room.width() && needed.height() <= room.height();
}

bool label_fits(const QLabel* label)
{
    const QFontMetrics metrics = label->fontMetrics();
    const QRect room(0, 0, caption_right_edge(label), label->height());
    if (!label->wordWrap())
        return fits(caption_size(metrics, label->text()), room);
    // A wrapped label breaks between words only: each word must fit a line,
    // and the lines together its height.
    for (const QString& word : label->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (line_width(metrics, word) > room.width())
            return false;
    return label->heightForWidth(room.width()) <= room.height();
}

} // namespace

QString wrap_caption(const QString& caption, const QFontMetrics& metrics, int width, int height)
{
    if (line_width(metrics, caption) <= width || height + 4 < 2 * metrics.height())
        return caption;
    QString wrapped;
    QString line;
    for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && line_width(metrics, candidate) > width) {
            wrapped += line + QLatin1Char('\n');
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}

QStringList cut_captions(const QWidget* form)
{
    QStringList cut;
    for (const QLabel* label : form->findChildren<QLabel*>())
        if (!label->text().isEmpty() && !label_fits(label))
            cut << label->objectName();
    for (const QCheckBox* box : form->findChildren<QCheckBox*>())
        if (!fits(caption_size(box->fontMetrics(), box->text()), caption_room(box, QStyle::SE_CheckBoxContents)))
            cut << box->objectName();
    for (const QPushButton* button : form->findChildren<QPushButton*>())
        if (!fits(caption_size(button->fontMetrics(), button->text()),
                  caption_room(button, QStyle::SE_PushButtonContents)))
            cut << button->objectName();
    return cut;
}

} // namespace trevanix::window
