#include "CommandLine.h"

#include <QDir>

namespace {

CommandLine refusal(const QString &why)
{
    return {CommandLine::Action::Refuse,
            {},
            QStringLiteral("quorvel: %1 (quorvel --help tells more)").arg(why)};
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments, const QString &currentFolder)
{
    QStringList names;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        // A lone "-" is an ordinary name.
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.startsWith('-');
        if (!isOption) {
            names.append(argument);
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--version")) {
            return {Action::PrintVersion, {}, kVersionLine};
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            return {Action::PrintHelp, {}, kHelpLine};
        } else {
            return refusal(QStringLiteral("unknown option %1").arg(argument));
        }
    }
    if (names.size() > 1)
        return refusal(QStringLiteral("one picture or folder at a time"));
    if (names.isEmpty())
        return {};
    const QString &name = names.constFirst();
    if (name.isEmpty())
        return refusal(QStringLiteral("an empty name names no picture or folder"));
    return {Action::Start, QDir::cleanPath(QDir(currentFolder).absoluteFilePath(name)), {}};
}
