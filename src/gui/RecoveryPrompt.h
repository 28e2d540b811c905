#pragma once
// Start-up recovery of a recording that was interrupted (a crash, a kill, a
// power cut): the question to the user and what each answer does.
class QWidget;
class MeterSession;

inline constexpr const char* kRecoverQuestion = "A recording was interrupted. Recover it?";

// Looks for the newest interrupted recording in the session's journal folder
// and asks whether to recover it. Yes puts its samples back into the live
// series (the journal is kept until the run is saved); No sets it aside.
// Returns true when samples were restored. Quick when there is nothing to offer.
bool offerRecovery(QWidget* parent, MeterSession& session);
