// Builds the bundled event definition files from their readable tables:
//   kavro_eventgen <output folder> <table>...
// Each event is written by the event's own Save, so the files come out exactly as the program
// writes them.
#include "event_table.h"

#include <QFile>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kavro_eventgen <output folder> <table>...\n");
        return 2;
    }
    qputenv("KAVRO_EVENTS_DIR", QByteArray(argv[1]));
    for (int i = 2; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            std::fprintf(stderr, "%s: cannot open\n", argv[i]);
            return 1;
        }
        ComPtr<IEventParams> event;
        QString error;
        HRESULT hr = eventgen::buildEvent(QString::fromUtf8(file.readAll()), &event, &error);
        if (FAILED(hr)) {
            std::fprintf(stderr, "%s: %s\n", argv[i], qPrintable(error));
            return 1;
        }
        hr = event->Save();
        if (FAILED(hr)) {
            std::fprintf(stderr, "%s: saving failed (0x%08X)\n", argv[i], static_cast<unsigned>(hr));
            return 1;
        }
    }
    return 0;
}
