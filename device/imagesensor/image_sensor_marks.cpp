#include "device/imagesensor/image_sensor_marks.h"

#include "device/usb/usb_image_sensor.h"

#include <cmath>

namespace kavro {

namespace {

ImageSensorMark mark(bool dark, bool truncate, float x, float y, int8_t dx = 0, int8_t dy = 0)
{
    ImageSensorMark m;
    m.dark = dark;
    m.truncate = truncate;
    m.dx = dx;
    m.dy = dy;
    m.x = x;
    m.y = y;
    return m;
}

void ringTargetMarks(float black, std::vector<ImageSensorMark>* out)
{
    const float r = black / 2;
    const float in = 0.55f * r; // well inside the black
    const float off = 1.6f * r; // well outside it
    const float diag = off / std::sqrt(2.0f);
    *out = {mark(true, false, 0, 0),          mark(true, false, -in, 0),       mark(true, false, in, 0),
            mark(true, false, 0, -in),        mark(true, false, 0, in),        mark(false, false, -off, 0),
            mark(false, false, off, 0),       mark(false, false, 0, -off),     mark(false, false, 0, off),
            mark(false, false, -diag, -diag), mark(false, false, diag, -diag), mark(false, false, -diag, diag),
            mark(false, false, diag, diag)};
}

void outlineTargetMarks(std::vector<ImageSensorMark>* out)
{
    struct Corner {
        float x, y;
        int8_t dx, dy; // two pixels into the outline
    };
    static constexpr Corner corners[] = {{-115, -255, 2, 2}, {115, -255, -2, 2}, {115, -70, -2, 2}, {255, -70, -2, 2},
                                         {255, 255, -2, -2}, {-255, 255, 2, -2}, {-255, -70, 2, 2}, {-115, -70, 2, 2}};
    out->clear();
    out->push_back(mark(true, true, 0, 0));
    for (const Corner& c : corners)
        out->push_back(mark(true, true, c.x, c.y, c.dx, c.dy));
    for (const Corner& c : corners)
        out->push_back(mark(false, false, c.x, c.y, static_cast<int8_t>(-c.dx), static_cast<int8_t>(-c.dy)));
}

} // namespace

bool buildImageSensorMarks(int kind, float black, std::vector<ImageSensorMark>* out)
{
    if (kind == ImageSensorTarget::Rings) {
        if (!(black > 0))
            return false;
        ringTargetMarks(black, out);
        return true;
    }
    if (kind == ImageSensorTarget::Outline) {
        outlineTargetMarks(out);
        return true;
    }
    return false;
}

} // namespace kavro
