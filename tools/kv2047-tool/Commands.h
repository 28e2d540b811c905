#pragma once
// Each command takes the arguments after its name and returns the exit status:
// 0 success, 1 I/O error, 2 bad arguments or refused input.
int cmdDecode(int argc, char** argv);
int cmdInfo(int argc, char** argv);
int cmdExport(int argc, char** argv);
int cmdReport(int argc, char** argv);
int cmdRecord(int argc, char** argv);
int cmdRecover(int argc, char** argv);
