#include "core/link/CommandStates.h"

namespace kv {

CommandStates commandStates(const Model& m, bool browsing, bool loggerShown) {
    CommandStates c;
    c.save = c.print = c.exportImage = m.run.n != 0;
    c.open = !loggerShown;
    c.run = m.run.runEnable != 0;
    c.stop = m.run.stopEnable != 0;
    c.undoZoom = browsing;
    for (int i = 0; i < 4; ++i) {
        c.com[i] = m.link.comEnable[i] != 0;
        c.comChecked[i] = m.link.comCheck[i] != 0;
    }
    c.otherCom = m.link.otherComEnable != 0;
    return c;
}

}  // namespace kv
