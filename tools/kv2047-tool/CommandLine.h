#pragma once
// The command line of kv2047-tool and of each of its commands, read with
// QCommandLineParser::parse() so that this program decides the exit status:
// 0 after --help, 2 after a message naming the problem and the usage on
// standard error.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>
#include <string>
#include <vector>

#include "session/Folders.h"

class CommandLine {
public:
    // `who` names the program or command in messages ("kv2047-tool info"),
    // `synopsis` follows it on the usage line ("FILE"), `about` is the
    // paragraph under that and `epilog` what follows the table of options.
    CommandLine(const char* who, const char* synopsis, const char* about, const char* epilog = "");

    // Adds an option; a value name makes it take a value ("--rate SECONDS").
    QCommandLineOption add(const QStringList& names, const char* description, const char* valueName = nullptr);
    // A positional argument, named in the help and in "missing NAME".
    void addArgument(const char* name, const char* description, const char* syntax);
    QCommandLineParser& parser() { return parser_; }

    // Parses `args`, whose first element is the program or command name.
    // Returns -1 when the command goes on, else its exit status: 0 after the
    // help was printed, 2 after an unknown or repeated option, a missing value,
    // or fewer or more arguments than `minArgs` to `maxArgs`.
    int parse(const QStringList& args, int minArgs, int maxArgs);

    // Prints "<who>: <message>" and the usage line on standard error; returns 2.
    int refuse(const std::string& message) const;
    void printHelp(std::FILE* out) const;
    // 0 once standard output is written out, else 1 after a message.
    int flushOutput() const;

    // True when two paths name one file (device and inode, links followed), or
    // one place once neither is there yet (kv::sameFile).
    static bool sameFile(const std::string& a, const std::string& b);
    // A whole number from `lo` to `hi` written plainly (no blanks, sign of plus
    // or trailing characters) into `out`; false, `out` untouched, otherwise.
    static bool parseInt(const std::string& text, int lo, int hi, int& out);

    bool isSet(const QCommandLineOption& o) const { return parser_.isSet(o); }
    // A value as the bytes the system takes for a file or device name.
    // As the core takes paths: the file system's bytes on Linux, UTF-8 on Windows.
    std::string value(const QCommandLineOption& o) const { return corePath(parser_.value(o)); }
    std::string argument(int i) const { return corePath(parser_.positionalArguments().at(i)); }
    int arguments() const { return int(parser_.positionalArguments().size()); }

private:
    QCommandLineParser parser_;
    QCommandLineOption help_;
    std::string who_, synopsis_, epilog_;
    std::vector<std::string> argNames_;
};
