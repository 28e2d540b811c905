#pragma once
// One key of the meter picture: draws its key image and reports presses. It
// sends nothing itself and nothing when it is merely repainted: the panel
// sends the key's command once for every press. From the keyboard, Space
// presses it and Shift+Space is its double-click.
#include <QAbstractButton>
#include <QPixmap>

namespace kv { struct MeterKey; }

class MeterKeyButton : public QAbstractButton {
    Q_OBJECT
public:
    MeterKeyButton(const kv::MeterKey& key, QWidget* parent);
    const kv::MeterKey& key() const { return key_; }

signals:
    // The second press of a double-click (after its own pressed()).
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    const QPixmap& image();

    const kv::MeterKey& key_;
    QPixmap image_;
};
