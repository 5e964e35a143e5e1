// Any bytes as a template DATA/ini/<kind>.ini: reading never fails, every
// family ends at its first gap, and whatever converts stays inside the page
// limits the builder relies on.
#include "FuzzCheck.h"

#include "storage/Ini.h"
#include "templates/TemplateReader.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr int kLimit = 10'000'000;

void checkRect(const TemplateRect &r)
{
    if (!r)
        return;
    FUZZ_CHECK(r->width() >= 0 && r->height() >= 0);
    FUZZ_CHECK(r->left() >= -kLimit && r->left() <= kLimit);
    FUZZ_CHECK(r->top() >= -kLimit && r->top() <= kLimit);
    FUZZ_CHECK(r->width() <= kLimit && r->height() <= kLimit);
}

void checkText(const TemplateTextElement &e)
{
    checkRect(e.geometry);
    if (e.alignment)
        FUZZ_CHECK(*e.alignment >= 0 && *e.alignment <= 2);
    if (e.fontSize)
        FUZZ_CHECK(*e.fontSize > 0 && *e.fontSize <= 2048);
    if (e.textColor)
        FUZZ_CHECK(*e.textColor >= 0 && *e.textColor <= 0xFFFFFF);
    if (e.tabIndex)
        FUZZ_CHECK(*e.tabIndex >= 0);
    FUZZ_CHECK(!e.fields.isEmpty());
}

void checkLine(const TemplateLine &l)
{
    for (const auto &c : {l.x1, l.y1, l.x2, l.y2})
        if (c)
            FUZZ_CHECK(*c >= -kLimit && *c <= kLimit);
    if (l.color)
        FUZZ_CHECK(*l.color >= 0 && *l.color <= 0xFFFFFF);
    if (l.style)
        FUZZ_CHECK(*l.style >= 0 && *l.style <= 6);
    if (l.width)
        FUZZ_CHECK(*l.width >= 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const IniSection section = IniSection::parse(bytes);
    const Template t = TemplateFromSection(QStringLiteral("紹介状"), section);
    FUZZ_CHECK(t.kind == QStringLiteral("紹介状"));
    FUZZ_CHECK(t.width >= 0 && t.width <= kLimit);
    FUZZ_CHECK(t.height >= 0 && t.height <= kLimit);
    // Element n of a family is key <prefix>n: the family is as long as its
    // unbroken run from 0.
    const auto runLength = [&](const char *prefix) {
        qsizetype n = 0;
        while (!section.value(QString::fromLatin1(prefix) + QString::number(n)).isEmpty())
            ++n;
        return n;
    };
    FUZZ_CHECK(t.labels.size() == runLength("label_"));
    FUZZ_CHECK(t.items.size() == runLength("lbItem_"));
    FUZZ_CHECK(t.patientFields.size() == runLength("lbKanja_Data_"));
    FUZZ_CHECK(t.listButtons.size() == runLength("lbList_"));
    FUZZ_CHECK(t.lines.size() == runLength("LineG_"));
    FUZZ_CHECK(t.pageLines.size() == runLength("LinePage_"));
    FUZZ_CHECK(t.checks.size() == runLength("ImgCheck_"));
    for (const auto &e : t.labels)
        checkText(e);
    for (const auto &e : t.items)
        checkText(e);
    for (const auto &e : t.patientFields) {
        checkText(e);
        FUZZ_CHECK(!e.text);
    }
    for (const auto &e : t.listButtons)
        checkRect(e.geometry);
    for (const auto &e : t.lines)
        checkLine(e);
    for (const auto &e : t.pageLines)
        checkLine(e);
    for (const auto &e : t.checks)
        checkRect(e.geometry);
    return 0;
}
