#pragma once
// Start-up recovery of a recording that was interrupted (a crash, a kill, a
// power cut): the question to the user and what each answer does.
#include <QString>

class QWidget;
namespace kv {
struct Model;
class RunJournal;
}

inline constexpr const char* kRecoverQuestion = "A recording was interrupted. Recover it?";

// The folder of the run journals: beside the configuration when its folder was
// given (`configDirGiven`, from --config-dir or $KV2047_CONFIG_DIR), else the
// user's state folder ($XDG_STATE_HOME/kv2047, ~/.local/state/kv2047).
QString journalFolder(const QString& configDirGiven);

// Looks for the newest unfinished journal in the journal's folder and asks
// whether to recover it. Yes restores its samples into the live series and
// keeps the journal (unfinished, held by `journal`) until the run is saved;
// No renames it aside. Returns true when samples were restored. Quick when
// there is nothing to offer.
bool offerRecovery(QWidget* parent, kv::Model& model, kv::RunJournal& journal);
