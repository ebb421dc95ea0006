#include "Command.h"

#include <cstdio>

namespace tools {

void print(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printError(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

QString optionValue(const QStringList& args, const QString& option)
{
    const int at = args.indexOf(option);
    return at >= 0 ? args.value(at + 1) : QString();
}

} // namespace tools
