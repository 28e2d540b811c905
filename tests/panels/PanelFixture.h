#pragma once
// A main window with its view and panels, configured in a temporary folder and
// pointed at a port that does not exist, shown offscreen.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/graph/LiveGraphView.h"
#include "session/MeterSerialPort.h"
#include "core/link/CommandPacket.h"

class PanelTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // Writes the configuration file before the frame reads it.
    void writeConfig(const QByteArray& text) {
        QFile f(dir_.path() + "/KV2047config.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    MainWindow& frame(const QString& port = {}) {
        if (!frame_) {
            AppOptions o;
            o.configDir = dir_.path();
            o.port = port.isEmpty() ? dir_.path() + "/no-such-device" : port;
            frame_ = std::make_unique<MainWindow>(o);
            frame_->resize(1024, 768);
            frame_->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
            // Key commands only: the link's own initialisation and acknowledgement are not ours.
            frame_->session().port().tap = [this](bool incoming, const QByteArray& b) {
                if (incoming || b.size() == 1) return;
                const kv::Command init = kv::makeCommand(kv::kInitPayload);
                if (b == QByteArray(reinterpret_cast<const char*>(init.data()), init.size())) return;
                written_.push_back(b.toHex(' ').toUpper());
            };
        }
        return *frame_;
    }

    // Counts paints of the real-time view from now on.
    void countViewPaints() {
        viewPaints_ = 0;
        struct Counter : QObject {
            int* n;
            explicit Counter(int* c, QObject* parent) : QObject(parent), n(c) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++*n;
                return false;
            }
        };
        frame().view()->installEventFilter(new Counter(&viewPaints_, frame().view()));
    }

    // Runs `act` and, meanwhile, hands the modal dialog of type D that it opens to `answer`.
    template <class D>
    static bool withModal(const std::function<void()>& act, const std::function<void(D*)>& answer) {
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
                poll.stop();
                seen = true;
                answer(d);
            }
        });
        poll.start(10);
        act();
        return seen;
    }

    QTemporaryDir dir_;
    std::unique_ptr<MainWindow> frame_;
    std::vector<QByteArray> written_;
    int viewPaints_ = 0;
};
