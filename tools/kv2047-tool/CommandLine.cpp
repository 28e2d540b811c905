#include "CommandLine.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "core/io/AtomicFile.h"

CommandLine::CommandLine(const char* who, const char* synopsis, const char* about, const char* epilog)
    : help_(QStringList{"h", "help"}, "Show this help and exit."), who_(who), synopsis_(synopsis), epilog_(epilog) {
    parser_.setApplicationDescription(QString::fromUtf8(about));
    parser_.addOption(help_);
}

QCommandLineOption CommandLine::add(const QStringList& names, const char* description, const char* valueName) {
    QCommandLineOption o(names, QString::fromUtf8(description));
    if (valueName) o.setValueName(QString::fromUtf8(valueName));
    parser_.addOption(o);
    return o;
}

void CommandLine::addArgument(const char* name, const char* description, const char* syntax) {
    argNames_.push_back(name);
    parser_.addPositionalArgument(QString::fromUtf8(name), QString::fromUtf8(description), QString::fromUtf8(syntax));
}

int CommandLine::parse(const QStringList& args, int minArgs, int maxArgs) {
    if (!parser_.parse(args)) return refuse(parser_.errorText().toStdString());
    if (parser_.isSet(help_)) {
        printHelp(stdout);
        return flushOutput();
    }
    // The parser keeps the last of repeated values; which one was meant is a guess.
    for (const QString& name : parser_.optionNames())
        if (parser_.values(name).size() > 1)
            return refuse("option '" + std::string(name.size() > 1 ? "--" : "-") + name.toStdString() +
                          "' given more than once");
    const int n = arguments();
    if (n < minArgs) return refuse("missing " + (n < int(argNames_.size()) ? argNames_[n] : "argument"));
    if (n > maxArgs)
        return refuse("unexpected argument '" + parser_.positionalArguments().at(maxArgs).toStdString() + "'");
    for (int i = 0; i < n && i < int(argNames_.size()); ++i)
        if (parser_.positionalArguments().at(i).isEmpty()) return refuse(argNames_[i] + " is empty");
    return -1;
}

bool CommandLine::sameFile(const std::string& a, const std::string& b) { return kv::sameFile(a, b); }

bool CommandLine::parseInt(const std::string& text, int lo, int hi, int& out) {
    int x = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, x);
    if (r.ec != std::errc() || r.ptr != end || x < lo || x > hi) return false;
    out = x;
    return true;
}

int CommandLine::flushOutput() const {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "%s: cannot write the output: %s\n", who_.c_str(), std::strerror(errno));
    return 1;
}

int CommandLine::refuse(const std::string& message) const {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\nusage: %s %s\nTry '%s --help' for more information.\n", who_.c_str(),
                 message.c_str(), who_.c_str(), synopsis_.c_str(), who_.c_str());
    return 2;
}

void CommandLine::printHelp(std::FILE* out) const {
    // Qt's help text starts with its own usage line; ours names the command.
    const QString text = parser_.helpText();
    const QByteArray rest = text.mid(text.indexOf('\n') + 1).toUtf8();
    std::fprintf(out, "usage: %s %s\n%s%s", who_.c_str(), synopsis_.c_str(), rest.constData(), epilog_.c_str());
}
