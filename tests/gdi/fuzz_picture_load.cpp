// Feeds arbitrary bytes to the picture loader; a loaded picture is also drawn.
#include "gdi/picture.h"
#include "storage/stream/memory_stream.h"

#include <QGuiApplication>
#include <QPainter>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_picture_load";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    // The font database is built once, on first use; do that before the inputs run so that its
    // one-time allocations are not taken for leaks of an input.
    QImage image(8, 8, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(QFont(QStringLiteral("Liberation Serif")));
    painter.drawText(0, 8, QStringLiteral("0"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto picture = kavro::Picture::create();
    auto stream
        = kavro::MemoryStream::create(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (SUCCEEDED(picture->Load(stream.get()))) {
        QImage image(32, 32, QImage::Format_RGB32);
        QPainter painter(&image);
        picture->Render(&painter, 0, 0, 32, 32);
    }
    return 0;
}
