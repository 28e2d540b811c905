#pragma once
// Keeps Enter and Esc from pressing a default button or closing the embedded
// panels, the logger viewer and the run settings dialog. A list keeps Enter,
// which opens its row.
class QWidget;

namespace kv {
// Installs the filter on `w` and on every child it has now or gets later.
void installPanelKeyFilter(QWidget* w);
}  // namespace kv
