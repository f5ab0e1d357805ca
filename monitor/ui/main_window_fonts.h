#pragma once

#include <QFont>

// The fixed-pitch font of the trace, log and table views, asked for by name:
// the generic monospace match may resolve to a font that is not fixed-pitch.
inline QFont MonospaceFont(int pixelHeight) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    font.setFixedPitch(true);
    font.setPixelSize(pixelHeight);
    return font;
}
