#pragma once

#include <QFont>

// The window's font: a narrow sans-serif face with characters 11 pixels high,
// the size the window's pixel widths were laid out for. Where MS Sans Serif is
// missing, DejaVu Sans Condensed comes closest to its width.
inline QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

// The fixed-pitch font of the trace, log and table views, asked for by name:
// the generic monospace match may resolve to a font that is not fixed-pitch.
inline QFont MonospaceFont(int pixelHeight) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    font.setFixedPitch(true);
    font.setPixelSize(pixelHeight);
    return font;
}
