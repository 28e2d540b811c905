#pragma once
// Where the programs keep their files: one resolver for the desktop program,
// kv2047-tool record, monitor and recover alike.
//
// The configuration folder is --config-dir, else $KV2047_CONFIG_DIR, else the
// user's configuration folder: $XDG_CONFIG_HOME or ~/.config on Linux,
// %LOCALAPPDATA%\KV2047 on Windows. The run journals go beside a configuration
// folder that was given, else into the user's state folder: $XDG_STATE_HOME/kv2047
// or ~/.local/state/kv2047 on Linux, %LOCALAPPDATA%\KV2047\Journals on Windows.
// Without HOME, Linux takes the account's home folder.
#include <QString>
#include <string>

struct Folders {
    QString config;     // the folder of KV2047config.ini
    QString journals;   // the run journals' folder
    bool configGiven = false;   // by --config-dir or $KV2047_CONFIG_DIR
};

// `configDirOption` is --config-dir's value, empty when not given.
Folders resolveFolders(const QString& configDirOption = {});

// A path as the core takes it (UTF-8 on Windows, the file system's bytes on
// Linux), and back.
std::string corePath(const QString& path);
QString fromCorePath(const std::string& path);
