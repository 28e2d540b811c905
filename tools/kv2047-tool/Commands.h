#pragma once
// Each command takes its arguments, its own name first, and returns the exit
// status: 0 success, 1 I/O error, 2 bad arguments or refused input.
#include <QStringList>

int cmdDecode(const QStringList& args);
int cmdInfo(const QStringList& args);
int cmdExport(const QStringList& args);
int cmdStats(const QStringList& args);
int cmdReport(const QStringList& args);
int cmdRecord(const QStringList& args);
int cmdRecover(const QStringList& args);
int cmdMonitor(const QStringList& args);
