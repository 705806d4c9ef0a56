// kavro-serialsim: a serial sensor on a pseudo-terminal, for tests that need the whole road
// from the line to the events without hardware.
//
//   kavro-serialsim [--model vantage|vantagei|vantages|classic|biathlon] [--model-number N]
//                   [--link PATH] [--script FILE] [--rate N] [--print-slave] [--loop]
//
// The sensor answers the host's identification (the purge of its receive buffer while the line
// runs at 1200 baud; a pty has no modem lines) with a banner 200 ms later, checks every command's
// checksum, streams frames at the commanded rate between the start and stop commands, and plays
// the script while it streams. stdout carries only slave paths, one a line, flushed: the first
// at start (with --print-slave or without --link), then one after each replug. Events go to stderr.
//
// Script (one step a line, "#" starts a comment; durations in ms of sample time, i.e.
// ms x rate / 1000 frames, except silence and unplug, which are wall time):
//   wait MS            keep the current position and signal
//   nosignal MS        no signal, position back to 0 0
//   aim X Y SIGNAL MS  a straight path from the current position to X Y at SIGNAL (MS 0 jumps)
//   shot PIEZO         one frame with a piezo spike at the current position and signal
//   lose MS            the signal is lost where the aim is
//   trigger VALUE      Classic: the trigger channel from now on (0..1023)
//   pulse BPM          Classic: a pulse wave of BPM beats a minute from now on (0: flat)
//   silence MS         nothing is sent; the line stays up
//   unplug MS          the line goes (the pty is closed); after MS a new pty, --link re-pointed
//   end                the simulator exits
// After the last step without "end" the sensor sends no-signal frames until it is stopped.
// Vantage and Classic X Y are the sensor's own coordinates (-512..511), SIGNAL 0..511, PIEZO
// 0..1020. Biathlon X Y are the aiming position the host computes on the five-target row
// (centres at -500, -250, 0, 250, 500 on X; |X| <= 750, |Y| <= 250), SIGNAL the targets'
// intensity (below 32 they are unseen), PIEZO 0..1023.
#include "pty_endpoint.h"
#include "sensor_session.h"
#include "serialsim/models.h"
#include "serialsim/script.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "kavro-serialsim: %s\n", message.c_str());
    return 2;
}

void logLine(const std::string& line)
{
    std::fprintf(stderr, "kavro-serialsim: %s\n", line.c_str());
}

void announce(const std::string& path)
{
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace kavro::serialsim;
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("A serial sensor on a pseudo-terminal.");
    parser.addHelpOption();
    parser.addOptions({
        {"model", "Sensor model: vantage, vantagei, vantages, classic or biathlon.", "model"},
        {"model-number", "Model number in the banner (frames as --model, else as the model it names, else Vantage).",
         "n"},
        {"link", "Keep a symbolic link to the slave side at this path.", "path"},
        {"script", "Script of aimings to play.", "file"},
        {"rate", "Samples per second until a rate command comes (default 100).", "n", "100"},
        {"print-slave", "Print the slave path as the first line of stdout."},
        {"loop", "Play the script again from its first step after its last one."},
    });
    parser.process(app);

    const SensorModel* model = nullptr;
    int number = 0;
    bool ok = true;
    if (parser.isSet("model-number")) {
        number = parser.value("model-number").toInt(&ok);
        if (!ok || number < 0 || number > 99999)
            return fail("--model-number takes a number from 0 to 99999");
        model = findSensorModel(number);
    }
    if (parser.isSet("model")) {
        model = findSensorModel(parser.value("model").toStdString());
        if (!model)
            return fail("unknown model \"" + parser.value("model").toStdString()
                        + "\" (vantage, vantagei, vantages, classic, biathlon)");
    }
    if (!model)
        model = findSensorModel("vantage");
    if (!parser.isSet("model-number"))
        number = model->number;

    const int rate = parser.value("rate").toInt(&ok);
    if (!ok || rate < 1 || rate > 2000)
        return fail("--rate takes a number from 1 to 2000");

    std::vector<ScriptStep> steps;
    if (parser.isSet("script")) {
        QFile file(parser.value("script"));
        if (!file.open(QIODevice::ReadOnly))
            return fail("cannot read the script " + file.fileName().toStdString() + ": "
                        + file.errorString().toStdString());
        const QByteArray text = file.readAll();
        std::string error;
        if (!parseScript(std::string_view(text.constData(), size_t(text.size())), &steps, &error))
            return fail(file.fileName().toStdString() + ": " + error);
    }

    PtyEndpoint pty;
    std::string error;
    if (parser.isSet("link") && !pty.setLinkPath(parser.value("link").toStdString(), &error))
        return fail(error);
    if (!pty.open(&error))
        return fail(error);
    if (parser.isSet("print-slave") || !parser.isSet("link"))
        announce(pty.slavePath());

    struct sigaction action { };
    action.sa_handler = requestStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ScriptPlayer player(std::move(steps));
    player.setLoop(parser.isSet("loop"));
    SensorSession session(
        *model, number, rate, std::move(player), pty,
        (parser.isSet("print-slave") || !parser.isSet("link")) ? announce : [](const std::string&) {}, logLine);
    const int result = session.run(stopRequested);
    pty.removeLink();
    pty.close();
    return result;
}
