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

std::vector<PulseSample> readPulseSamples(IKavroDocument* doc)
{
    std::vector<PulseSample> samples;
    for (int i = 0, n = GetAttrPulseCount(doc); i < n; ++i) {
        PulseSample s;
        if (readPulseSample(doc, i, &s.time, &s.pulse))
            samples.push_back(s);
    }
    return samples;
}

int pulseAt(const std::vector<PulseSample>& samples, DATE moment)
{
    for (const PulseSample& s : samples)
        if (s.time > moment)
            return s.pulse;
    return samples.empty() ? 0 : samples.back().pulse;
}
