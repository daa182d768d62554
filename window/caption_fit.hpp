#pragma once
// Captions and the fixed control sizes of the form: wrapping a caption the
// way the classic controls do, and telling which captions do not fit their
// control in the font it has.
#include <QFontMetrics>
#include <QString>
#include <QStringList>

class QWidget;

namespace trevanix::window {

// Breaks a caption into lines that fit `width` pixels when the control is
// tall enough for two lines, as the classic buttons and check boxes wrap
// theirs. A caption that fits stays as it is; the "&" of an access key is
// kept and not measured.
QString wrap_caption(const QString& caption, const QFontMetrics& metrics, int width, int height);

// The object names of the labels, check boxes and buttons under `form` whose
// caption is cut: wider or taller than the room the control gives it. A
// caption must also end before a control that overlaps its own to the right
// (the ".mat" check box reaches under Check_all).
QStringList cut_captions(const QWidget* form);

} // namespace trevanix::window
