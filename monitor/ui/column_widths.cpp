#include "column_widths.h"

#include <algorithm>

namespace {

QChar WidestOf(const QFontMetrics& metrics, const QString& alphabet) {
    QChar widest = alphabet.front();
    for (const QChar c : alphabet)
        if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest))
            widest = c;
    return widest;
}

} // namespace

QString WidestDigits(const QFontMetrics& metrics, int count) {
    return QString(count, WidestOf(metrics, QStringLiteral("0123456789")));
}

QString WidestHexDigits(const QFontMetrics& metrics, int count) {
    return QString(count, WidestOf(metrics, QStringLiteral("0123456789ABCDEF")));
}

QString WidestHexBytes(const QFontMetrics& metrics, int byteCount) {
    const QString byte = WidestHexDigits(metrics, 2) + QLatin1Char(' ');
    return byte.repeated(byteCount).chopped(byteCount > 0 ? 1 : 0);
}

int FittedWidth(const QFontMetrics& metrics, int designed, const QStringList& samples,
                int padding) {
    int needed = 0;
    for (const QString& sample : samples)
        needed = std::max(needed, metrics.horizontalAdvance(sample));
    return std::max(designed, needed + padding);
}
