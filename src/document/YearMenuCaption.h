#pragma once
#include <QString>

// A year of the year menu with the era it mostly belongs to: "2026 (R8)",
// "2019 (R1)", "2018 (H30)", "1989 (H1)", "1988 (S63)".
QString YearMenuCaption(int year);
