#pragma once
// Save and Open of a run: the file dialogs, the files written beside each
// other, and the messages the user sees when something goes wrong.
#include <QString>
#include <ctime>

#include "core/record/DataFile.h"

class QWidget;
class MeterSession;
namespace kv { struct Model; }

// Save: asks for a path (proposed name: the current local time), writes the
// data file and the text table beside it, and tells the user about a failure.
// Returns false when the dialog was cancelled or the files could not be written.
bool saveRunInteractive(QWidget* parent, const kv::Model& model);
// The document's own Save (Ctrl+S): the same dialog, the data file alone.
bool saveDataFileInteractive(QWidget* parent, const kv::Model& model);
// Open (Ctrl+O): asks for a data file and has the session read it into the
// logged run. Returns false when cancelled or refused (the refusal is shown).
bool openDataFileInteractive(QWidget* parent, MeterSession& session);

// Writes the run's data file at `path` and, when `withText`, its text table
// beside it, as kv::writeRunFiles does for every program. On failure returns
// false and words it for a message box in *error.
bool saveRunTo(const QString& path, const kv::Model& model, bool withText, QString* error);

// Has the session read a data file into its logged run, with the wait cursor.
kv::ReadResult openRunFile(MeterSession& session, const QString& path);
// Shows what a refused file gets: "Invalid Format!" for a bad tag, else the reason.
void reportReadError(QWidget* parent, const QString& path, const kv::ReadResult& result);

// The name the save dialog proposes for a run saved at `now`.
QString proposedSaveName(std::time_t now);
// The save dialog's and the open dialog's filters.
extern const char* const kSaveFilter;
extern const char* const kOpenFilter;
