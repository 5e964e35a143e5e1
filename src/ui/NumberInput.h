#pragma once
#include <QValidator>

// Numbers typed with the input method still on arrive as full-width digits
// ("１２"); they are the same numbers, so they are taken as ASCII.
QString AsciiNumber(const QString &text);

// Accepts digits only, turning full-width digits into ASCII as they are typed.
class DigitsValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
};

// Accepts any text, turning full-width digits and letters into ASCII as they
// are typed (patient numbers).
class AsciiFolder : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};
