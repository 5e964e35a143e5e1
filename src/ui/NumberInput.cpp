#include "ui/NumberInput.h"

QString AsciiNumber(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        // Compatibility normalisation maps the full-width forms (digits, minus,
        // full stop, letters) onto ASCII and leaves everything else alone.
        const QString folded = c.isDigit() || (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
                                   ? QString(c).normalized(QString::NormalizationForm_KC)
                                   : QString(c);
        result += folded;
    }
    return result;
}

QValidator::State DigitsValidator::validate(QString &input, int &pos) const
{
    input = AsciiNumber(input);
    pos = std::min(pos, int(input.size()));
    for (const QChar c : input) {
        if (c < u'0' || c > u'9')
            return Invalid;
    }
    return Acceptable;
}

void DigitsValidator::fixup(QString &input) const
{
    input = AsciiNumber(input);
}

QValidator::State AsciiFolder::validate(QString &input, int &pos) const
{
    input = AsciiNumber(input);
    pos = std::min(pos, int(input.size()));
    return Acceptable;
}
