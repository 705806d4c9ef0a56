#include "option_item.h"

#include "number_text.h"

#include <algorithm>
#include <cmath>

namespace kavro::trainer {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

struct Placeholder {
    int number = 0;
    int width = 0;
    int precision = 1;
    bool isLong = false;
    QChar type;
};

// Reads "N!fmt!" after a percent sign at `i`; advances `i` past it.
std::optional<Placeholder> readPlaceholder(const QString& t, qsizetype& i)
{
    Placeholder p;
    qsizetype digits = 0;
    while (i < t.size() && isDigit(t[i]) && digits < 3) {
        p.number = p.number * 10 + (t[i].unicode() - u'0');
        ++i;
        ++digits;
    }
    if (digits == 0 || p.number < 1 || p.number > 99 || i >= t.size() || t[i] != u'!')
        return std::nullopt;
    ++i;
    auto readNumber = [&](int* out) {
        qsizetype n = 0;
        int v = 0;
        while (i < t.size() && isDigit(t[i]) && n < 3) {
            v = v * 10 + (t[i].unicode() - u'0');
            ++i;
            ++n;
        }
        *out = v;
        return n > 0;
    };
    readNumber(&p.width);
    if (i < t.size() && t[i] == u'.') {
        ++i;
        if (!readNumber(&p.precision))
            return std::nullopt;
    }
    if (i < t.size() && (t[i] == u'l' || t[i] == u'L')) {
        p.isLong = true;
        ++i;
    }
    if (i >= t.size())
        return std::nullopt;
    p.type = t[i++];
    if (i >= t.size() || t[i] != u'!')
        return std::nullopt;
    ++i;
    return p;
}

std::optional<OptionValueKind> kindOf(const Placeholder& p)
{
    switch (p.type.unicode()) {
    case u'd': return OptionValueKind::Int;
    case u'u': return OptionValueKind::Unsigned;
    case u'f': return p.isLong ? OptionValueKind::Double : OptionValueKind::Float;
    case u's': return p.isLong ? std::nullopt : std::optional(OptionValueKind::String);
    case u'r': return p.isLong ? std::nullopt : std::optional(OptionValueKind::Color);
    }
    return std::nullopt;
}

} // namespace

std::optional<double> parseClampedInteger(const QString& text, double min, double max)
{
    const QString s = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < s.size() && s[i] == u'-';
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    if (i == s.size())
        return std::nullopt;
    double v = 0;
    for (; i < s.size(); ++i) {
        if (!isDigit(s[i]))
            return std::nullopt;
        v = std::min(v * 10 + (s[i].unicode() - u'0'), 1e300);
    }
    return std::clamp(negative ? -v : v, min, max);
}

std::optional<OptionItem> OptionItem::create(OptionCheck check, bool* mark, const QString& templ,
                                             const std::vector<OptionArg>& args)
{
    if (check != OptionCheck::None && !mark)
        return std::nullopt;
    OptionItem item;
    item.check_ = check;
    item.mark_ = check == OptionCheck::None ? nullptr : mark;
    OptionPart part;
    for (qsizetype i = 0; i < templ.size();) {
        if (templ[i] != u'%') {
            part.literal += templ[i++];
            continue;
        }
        ++i;
        if (i < templ.size() && templ[i] == u'%') {
            part.literal += u'%';
            ++i;
            continue;
        }
        const auto p = readPlaceholder(templ, i);
        if (!p)
            return std::nullopt;
        const auto kind = kindOf(*p);
        if (!kind || size_t(p->number) > args.size())
            return std::nullopt;
        const OptionArg& arg = args[size_t(p->number - 1)];
        if (arg.kind() != *kind || !arg.bound())
            return std::nullopt;
        part.hasValue = true;
        part.placeholder = p->number;
        part.width = p->width;
        part.precision = p->precision;
        part.arg = arg;
        item.parts_.push_back(part);
        part = OptionPart();
    }
    if (!part.literal.isEmpty())
        item.parts_.push_back(part);
    return item;
}

std::vector<int> OptionItem::valueParts() const
{
    std::vector<int> r;
    for (size_t i = 0; i < parts_.size(); ++i)
        if (parts_[i].hasValue)
            r.push_back(int(i));
    return r;
}

QString OptionItem::text() const
{
    QString out;
    for (size_t i = 0; i < parts_.size(); ++i) {
        out += parts_[i].literal;
        if (parts_[i].hasValue)
            out += valueText(int(i));
    }
    return out;
}

bool OptionItem::isValuePart(int index) const
{
    return index >= 0 && size_t(index) < parts_.size() && parts_[size_t(index)].hasValue;
}

QString OptionItem::valueText(int index) const
{
    if (!isValuePart(index))
        return {};
    const OptionPart& p = parts_[size_t(index)];
    switch (p.arg.kind()) {
    case OptionValueKind::Int: return QString::number(*std::get<int*>(p.arg.field));
    case OptionValueKind::Unsigned: return QString::number(*std::get<uint32_t*>(p.arg.field));
    case OptionValueKind::Float:
        return QString::asprintf("%*.*f", p.width, p.precision, double(*std::get<float*>(p.arg.field)));
    case OptionValueKind::Double:
        return QString::asprintf("%*.*f", p.width, p.precision, *std::get<double*>(p.arg.field));
    case OptionValueKind::String: return *std::get<QString*>(p.arg.field);
    case OptionValueKind::Color: return QString(13, u' ');
    }
    return {};
}

double OptionItem::number(int index) const
{
    if (!isValuePart(index))
        return 0;
    const OptionPart& p = parts_[size_t(index)];
    switch (p.arg.kind()) {
    case OptionValueKind::Int: return *std::get<int*>(p.arg.field);
    case OptionValueKind::Unsigned: return *std::get<uint32_t*>(p.arg.field);
    case OptionValueKind::Float: return *std::get<float*>(p.arg.field);
    case OptionValueKind::Double: return *std::get<double*>(p.arg.field);
    default: return 0;
    }
}

namespace {

bool store(const OptionPart& p, double v)
{
    switch (p.arg.kind()) {
    case OptionValueKind::Int: {
        auto* f = std::get<int*>(p.arg.field);
        const int n = int(v);
        return std::exchange(*f, n) != n;
    }
    case OptionValueKind::Unsigned: {
        auto* f = std::get<uint32_t*>(p.arg.field);
        const uint32_t n = uint32_t(v);
        return std::exchange(*f, n) != n;
    }
    case OptionValueKind::Float: {
        auto* f = std::get<float*>(p.arg.field);
        const float n = float(v);
        return std::exchange(*f, n) != n;
    }
    case OptionValueKind::Double: {
        auto* f = std::get<double*>(p.arg.field);
        return std::exchange(*f, v) != v;
    }
    default: return false;
    }
}

} // namespace

bool OptionItem::commit(int index, const QString& text)
{
    if (!isValuePart(index))
        return false;
    const OptionPart& p = parts_[size_t(index)];
    switch (p.arg.kind()) {
    case OptionValueKind::Int:
    case OptionValueKind::Unsigned:
        if (const auto v = parseClampedInteger(text, p.arg.min, p.arg.max))
            return store(p, *v);
        return false;
    case OptionValueKind::Float:
    case OptionValueKind::Double:
        if (const auto v = parseDecimal(text))
            return store(p, std::clamp(*v, p.arg.min, p.arg.max));
        return false;
    case OptionValueKind::String: {
        auto* f = std::get<QString*>(p.arg.field);
        const QString cut = text.left(std::max(0, p.arg.bufferSize - 1));
        return std::exchange(*f, cut) != cut;
    }
    case OptionValueKind::Color: return false;
    }
    return false;
}

bool OptionItem::step(int index, int steps)
{
    if (!isValuePart(index))
        return false;
    const OptionPart& p = parts_[size_t(index)];
    switch (p.arg.kind()) {
    case OptionValueKind::Int:
    case OptionValueKind::Unsigned: return store(p, std::clamp(number(index) + steps, p.arg.min, p.arg.max));
    case OptionValueKind::Float:
    case OptionValueKind::Double: return store(p, std::clamp(number(index) + steps * p.arg.step, p.arg.min, p.arg.max));
    default: return false;
    }
}

bool OptionArg::bound() const
{
    return std::visit(
        [](auto f) {
            if constexpr (std::is_same_v<decltype(f), ColorField>)
                return f.value != nullptr;
            else
                return f != nullptr;
        },
        field);
}

bool OptionItem::rebind(int placeholder, OptionField field)
{
    bool rebound = false;
    for (OptionPart& p : parts_)
        if (p.hasValue && p.placeholder == placeholder && p.arg.field.index() == field.index()) {
            p.arg.field = field;
            rebound = true;
        }
    return rebound;
}

COLORREF OptionItem::color(int index) const
{
    if (!isValuePart(index))
        return 0;
    const OptionPart& p = parts_[size_t(index)];
    return p.arg.kind() == OptionValueKind::Color ? *std::get<ColorField>(p.arg.field).value : 0;
}

void OptionItem::setColor(int index, COLORREF color)
{
    if (!isValuePart(index))
        return;
    const OptionPart& p = parts_[size_t(index)];
    if (p.arg.kind() == OptionValueKind::Color)
        *std::get<ColorField>(p.arg.field).value = color;
}

} // namespace kavro::trainer
