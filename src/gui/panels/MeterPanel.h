#pragma once
// The virtual meter panel: the meter's front with its display and keys.
#include <QFrame>
#include <QPixmap>
#include <array>

class MeterSession;
class MeterKeyButton;

class MeterPanel : public QFrame {
    Q_OBJECT
public:
    MeterPanel(MeterSession& session, QWidget* parent);
    // Repaints the display window.
    void repaintDisplay();

    // The area inside the panel's sunken edge that shows the meter; keys and
    // display positions are in its pixels.
    QWidget* client() const { return client_; }
    MeterKeyButton* key(int i) const { return keys_[i]; }

private:
    MeterSession& session_;
    QWidget* client_;
    std::array<MeterKeyButton*, 9> keys_{};
};
