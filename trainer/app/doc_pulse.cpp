#include "doc_pulse.h"

#include "doc_helpers.h"

void appendPulseSample(IKavroDocument* doc, DATE time, int pulse)
{
    const int count = GetAttrPulseCount(doc);
    if (count > 0) {
        int p = 0;
        DATE t = 0;
        if (readPulseSample(doc, count - 1, &t, &p) && p == pulse)
            return;
    }
    Variant li;
    doc->get_Value(QStringLiteral("_pulse_li"), &li);
    int32_t i = 0;
    if (li.vt() == VT_I4) {
        i = int32_t(li.integer()) + 1;
    } else {
        doc->put_Value(QStringLiteral("_pulse_fi"), Variant(int32_t(0)));
    }
    doc->put_Value(QStringLiteral("_pulse_s%1").arg(i), Variant::fromInteger(VT_I2, pulse));
    doc->put_Value(QStringLiteral("_pulse_t%1").arg(i), Variant::fromDate(time));
    doc->put_Value(QStringLiteral("_pulse_li"), Variant(i));
}

bool readPulseSample(IKavroDocument* doc, int i, DATE* time, int* pulse)
{
    if (i < 0 || i >= GetAttrPulseCount(doc))
        return false;
    Variant fi, s, t;
    doc->get_Value(QStringLiteral("_pulse_fi"), &fi);
    const int64_t k = fi.integer() + i;
    doc->get_Value(QStringLiteral("_pulse_s%1").arg(k), &s);
    doc->get_Value(QStringLiteral("_pulse_t%1").arg(k), &t);
    if (s.vt() != VT_I2 || t.vt() != VT_DATE)
        return false;
    *pulse = int(s.integer());
    *time = t.r8();
    return true;
}

int pulseAt(IKavroDocument* doc, DATE moment)
{
    int pulse = 0;
    const int count = GetAttrPulseCount(doc);
    for (int i = 0; i < count; ++i) {
        DATE t = 0;
        if (!readPulseSample(doc, i, &t, &pulse))
            continue;
        if (t > moment)
            break;
    }
    return pulse;
}
