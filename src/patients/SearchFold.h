#pragma once
#include <QString>

// The form of a text that the patient search compares: hiragana as katakana,
// half-width katakana and full-width letters and digits in their ordinary
// width, lower case, without spaces of either width. "やまだ たろう",
// "ﾔﾏﾀﾞﾀﾛｳ" and "ヤマダ　タロウ" all fold to "ヤマダタロウ".
QString FoldForSearch(const QString &text);
