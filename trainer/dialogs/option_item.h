#pragma once
// One line of a property tree: text from a template whose placeholders show live values of the
// fields they are bound to, and an optional mark (check box or radio item) bound to a flag.
//
// Template syntax: literal text; "%%" is a percent sign; a placeholder is "%N!fmt!" with N in
// 1..99 and fmt = [width][.precision][l|L]type, type one of d (int), u (unsigned), f (float; with
// l a double), s (string), r (colour). Placeholder N takes the N-th argument.
#include "com/hresult.h"

#include <QString>

#include <initializer_list>
#include <optional>
#include <variant>
#include <vector>

namespace kavro::trainer {

enum class OptionValueKind { Int, Unsigned, Float, Double, String, Color };

// A colour is a COLORREF, which is also an unsigned integer: it gets a type of its own so the two
// cannot be taken for each other.
struct ColorField {
    COLORREF* value = nullptr;
};

// The field a placeholder shows and edits, in the order of OptionValueKind.
using OptionField = std::variant<int*, uint32_t*, float*, double*, QString*, ColorField>;

// The field a placeholder is bound to, with its limits.
struct OptionArg {
    OptionField field;
    double min = 0, max = 0, step = 0;
    int bufferSize = 0; // strings: characters including the terminator

    OptionValueKind kind() const { return OptionValueKind(field.index()); }
    bool bound() const;

    static OptionArg integer(int* f, int min, int max) { return {f, double(min), double(max), 1, 0}; }
    static OptionArg unsignedInt(uint32_t* f, uint32_t min, uint32_t max)
    {
        return {f, double(min), double(max), 1, 0};
    }
    static OptionArg real(float* f, double min, double max, double step) { return {f, min, max, step, 0}; }
    static OptionArg real(double* f, double min, double max, double step) { return {f, min, max, step, 0}; }
    static OptionArg text(QString* f, int bufferSize) { return {f, 0, 0, 0, bufferSize}; }
    static OptionArg color(COLORREF* f) { return {ColorField{f}, 0, 0, 0, 0}; }
};

struct OptionPart {
    QString literal; // the text before the value
    bool hasValue = false; // false only for the literal tail of a line
    int placeholder = 0; // N of "%N!fmt!"
    int width = 0;
    int precision = 1;
    OptionArg arg;
};

enum class OptionCheck { None, Box, Radio };

class OptionItem {
public:
    // Null when the template breaks the syntax, an argument is missing or of another kind than
    // its placeholder, or a field pointer is null.
    static std::optional<OptionItem> create(OptionCheck check, bool* mark, const QString& templ,
                                            const std::vector<OptionArg>& args);

    OptionCheck check() const { return check_; }
    bool* mark() const { return mark_; }
    const std::vector<OptionPart>& parts() const { return parts_; }
    std::vector<int> valueParts() const;
    bool isValuePart(int part) const;

    // The whole line; a colour shows as 13 blanks, over which its swatch is drawn.
    QString text() const;
    QString valueText(int part) const;

    // Takes typed text: integers in base 10, floats as plain decimals, clamped to the limits;
    // text that is no number leaves the value. A string is cut to its buffer. True when the
    // value changed.
    bool commit(int part, const QString& text);
    // Steps by one (integers) or the part's step (floats), clamped; false when nothing changed.
    bool step(int part, int steps);
    COLORREF color(int part) const;
    void setColor(int part, COLORREF color);
    double number(int part) const;

    // Points the parts of placeholder N at another field of the same kind (the record they live
    // in moved); false when no part of that placeholder has the field's kind.
    bool rebind(int placeholder, OptionField field);

private:
    OptionCheck check_ = OptionCheck::None;
    bool* mark_ = nullptr;
    std::vector<OptionPart> parts_;
};

// Clamps typed integer text: digits beyond any range clamp to the nearer limit.
std::optional<double> parseClampedInteger(const QString& text, double min, double max);

} // namespace kavro::trainer
