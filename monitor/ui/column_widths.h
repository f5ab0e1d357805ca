#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStringList>

// Column widths that hold their longest values in the font in use: a column
// keeps its designed width unless a value would be cut off in it.

// The longest values of the kinds the views show, built from the characters
// that are widest in the font.
QString WidestDigits(const QFontMetrics& metrics, int count);       // decimal
QString WidestHexBytes(const QFontMetrics& metrics, int byteCount); // "FF FF ... FF"
QString WidestHexDigits(const QFontMetrics& metrics, int count);

// The designed width, or the width the widest sample needs plus padding.
int FittedWidth(const QFontMetrics& metrics, int designed, const QStringList& samples, int padding);
