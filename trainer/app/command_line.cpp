#include "command_line.h"

namespace {

enum class Switch { None, NewPractice, Register, Unregister, Automation, Unknown };

Switch switchNamed(QStringView name)
{
    auto is = [&](const char* s) { return name.compare(QLatin1String(s), Qt::CaseInsensitive) == 0; };
    if (is("n") || is("NewPractice"))
        return Switch::NewPractice;
    if (is("Register") || is("Regserver"))
        return Switch::Register;
    if (is("Unregister") || is("Unregserver"))
        return Switch::Unregister;
    if (is("Automation") || is("Embedding"))
        return Switch::Automation;
    return Switch::Unknown;
}

// The switch an argument names, or None for a plain argument.
Switch classify(const QString& arg)
{
    if (arg.startsWith(QLatin1Char('-')))
        return switchNamed(QStringView(arg).mid(1));
    if (arg.startsWith(QLatin1Char('/'))) {
        const Switch s = switchNamed(QStringView(arg).mid(1));
        return s == Switch::Unknown ? Switch::None : s;
    }
    return Switch::None;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& args)
{
    CommandLine cl;
    int hints = 0;
    for (const QString& arg : args) {
        switch (classify(arg)) {
        case Switch::NewPractice: cl.action = CommandLine::NewPractice; break;
        case Switch::Register: cl.action = CommandLine::Register; break;
        case Switch::Unregister: cl.action = CommandLine::Unregister; break;
        case Switch::Automation: cl.automation = true; break;
        case Switch::Unknown: break;
        case Switch::None:
            if (cl.action == CommandLine::NewPractice) {
                if (hints == 0)
                    cl.practiceHint1 = arg;
                else if (hints == 1)
                    cl.practiceHint2 = arg;
                ++hints;
            } else if (cl.fileName.isEmpty()) {
                cl.fileName = arg;
            }
            break;
        }
    }
    if (cl.action == CommandLine::OpenFile && cl.fileName.isEmpty())
        cl.action = CommandLine::Nothing;
    return cl;
}
