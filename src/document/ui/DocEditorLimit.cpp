#include "document/ui/DocElements.h"

#include "templates/KindTable.h"

#include <QApplication>
#include <QTextCursor>

// The in-place editor's character limit: text fields hold what their column
// holds, so typing stops there instead of the save refusing the text later.

void DocEditor::setText(const QString &text)
{
    m_settingText = true;
    setPlainText(text);
    m_settingText = false;
    m_length = StoredLength(text);
}

void DocEditor::keepWithinLimit(int position, int added)
{
    if (m_settingText)
        return;
    const int length = StoredLength(toPlainText());
    const int allowed = std::max(m_maxLength, m_length);
    if (m_maxLength <= 0 || length <= allowed || added <= 0) {
        m_length = length;
        return;
    }
    // Only what was just put in is cut back, from its end.
    QTextCursor cursor(document());
    cursor.setPosition(position + added);
    for (int excess = length - allowed; excess > 0 && cursor.position() > position; --excess)
        cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
    m_settingText = true;
    cursor.removeSelectedText();
    m_settingText = false;
    m_length = StoredLength(toPlainText());
    QApplication::beep();
}
