#pragma once
// The virtual meter panel: the meter's front with its display and keys.
#include <QFrame>
#include <QPixmap>
#include <array>

class CMainFrame;
class CKeyButton;

class CMeterPanelDlg : public QFrame {
    Q_OBJECT
public:
    explicit CMeterPanelDlg(CMainFrame* frame);
    // Repaints the display window (after every accepted frame).
    void repaintDisplay();

    // The area inside the panel's sunken edge that shows the meter; keys and
    // display positions are in its pixels.
    QWidget* client() const { return client_; }
    CKeyButton* key(int i) const { return keys_[i]; }

private:
    void sendPress(int i);
    void sendDoubleClick(int i);

    CMainFrame* frame_;
    QWidget* client_;
    std::array<CKeyButton*, 9> keys_{};
};
