#pragma once
// A graph with its run and samples, painted at a fixed view size.
#include <memory>

#include "core/graph/GraphState.h"
#include "core/graph/ZoomCursor.h"

struct GraphFixture {
    std::unique_ptr<kv::SampleStore> doc = std::make_unique<kv::SampleStore>();
    kv::RunState run;
    std::unique_ptr<kv::GraphState> g = std::make_unique<kv::GraphState>();
    kv::PlotGeometry geo = kv::plotGeometry(1920, 1020);   // W 1576, H 702

    kv::GraphFrame paint() { return kv::computeGraph(*g, geo, run, *doc); }

    // n committed samples, every quantity reading v.
    void samples(int n, float v) {
        run.n = n;
        for (int q = 0; q < kv::kQuantities; ++q)
            for (int i = 0; i <= n && i < kv::kMaxSamples; ++i) doc->live[q][i] = v;
    }
    // Paints until the live axis stops growing.
    kv::GraphFrame settle() {
        kv::GraphFrame f = paint();
        for (int i = 0; i < 50 && f.repaint; ++i) f = paint();
        return f;
    }
    // A drag from one view point to another; returns what the release did.
    kv::ReleaseEffects drag(int x1, int y1, int x2, int y2) {
        kv::pressAt(*g, geo, run, x1, y1);
        kv::MoveEffects mv;
        kv::moveTo(*g, geo, run, x2, y2, mv);
        kv::ReleaseEffects up;
        kv::releaseAt(*g, geo, run, x2, y2, up);
        return up;
    }
};
