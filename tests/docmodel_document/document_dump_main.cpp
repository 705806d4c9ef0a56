// Loads one document file and prints it as JSON: the tests compare this against the document they
// saved and against an independent reader, in a process that never held the original objects.
#include "document_dump.h"

#include <QJsonDocument>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: document_dump FILE\n");
        return 2;
    }
    qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
    QJsonObject result = doctest::loadAndDump(QString::fromLocal8Bit(argv[1]));
    std::fwrite(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), 1,
                size_t(QJsonDocument(result).toJson(QJsonDocument::Compact).size()), stdout);
    return 0;
}
