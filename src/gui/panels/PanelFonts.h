#pragma once
// Fonts of the panels, made by face name (mapped as kv::faceFont does) and pixel height as the panels were
// designed: a negative height is the character height, a positive one the cell
// height (ascent + descent); a width, when given, is the average character
// width, reached by stretching the face.
#include <QFont>
#include <QPalette>

class QWidget;

namespace kv {

QFont panelFont(const QString& face, int height, int weight, int averageWidth = 0);

// Grey panel background with black text, for the panel and all its controls.
void applyPanelColours(QWidget* w);

// Dialog units to pixels.
inline QRect dialogUnits(int x, int y, int w, int h) { return QRect(x * 2, y * 2, w * 2, h * 2); }

}  // namespace kv
